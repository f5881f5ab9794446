#pragma once
// The message's waveform with a start and an end handle: what lies between them is kept.
// The handles move with the mouse (drag a handle, or click near one) and with the arrow
// keys (Shift for bigger steps); Tab goes from the start handle to the end handle.
#include <QWidget>

#include <vector>

namespace parlivo {

class TrimWaveform : public QWidget
{
    Q_OBJECT
public:
    enum class Handle { Start, End };
    static constexpr qint64 StepMs = 50;
    static constexpr qint64 BigStepMs = 500;
    static constexpr qint64 ShortestKeptMs = 100;

    explicit TrimWaveform(QWidget *parent = nullptr);

    // peaks: the loudest sample (0..1) of each of equal slices of the audio.
    void setAudio(std::vector<float> peaks, qint64 durationMs);
    qint64 durationMs() const { return m_durationMs; }
    qint64 startMs() const { return m_startMs; }
    qint64 endMs() const { return m_endMs; }
    Handle activeHandle() const { return m_active; }
    // Where a handle's grip is drawn, in the widget's coordinates.
    QRect handleRect(Handle handle) const;
    int xOf(qint64 ms) const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

Q_SIGNALS:
    void selectionChanged(qint64 startMs, qint64 endMs);

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    bool focusNextPrevChild(bool next) override;
    void focusInEvent(QFocusEvent *event) override;

private:
    QRect plotRect() const;
    qint64 msAt(int x) const;
    void moveHandle(Handle handle, qint64 ms);
    void describe();

    std::vector<float> m_peaks;
    qint64 m_durationMs = 0;
    qint64 m_startMs = 0;
    qint64 m_endMs = 0;
    Handle m_active = Handle::Start;
    bool m_dragging = false;
};

} // namespace parlivo
