#pragma once
// The help character's own window: frameless, always on top, never taking the focus, and
// shaped to the figure (or, where windows cannot be placed, the same shaped widget as a
// child of the window it explains). The shape is a per-frame bitmap mask as well as a translucent
// background: without a compositing window manager a translucent window alone is drawn
// as a black box.
#include <QImage>
#include <QWidget>

namespace parlivo {

class CharacterWindow : public QWidget
{
    Q_OBJECT
public:
    static constexpr Qt::WindowFlags OwnWindowFlags =
        Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::WindowDoesNotAcceptFocus;

    explicit CharacterWindow(QSize size);

    // Shows a frame (ARGB, premultiplied, the window's size at the frame's device pixel
    // ratio). Pixels are made either fully
    // opaque or fully clear, and the window's mask follows the opaque ones.
    void setFrame(QImage frame);
    const QImage &frame() const { return m_frame; }
    // True when the last frame had nothing opaque (the mask then hides the whole window).
    bool frameEmpty() const { return m_empty; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QImage m_frame;
    bool m_empty = true;
};

// Hard edges: a half-covered pixel takes the colour of the line art beneath it instead
// of being blended with whatever the screen shows. Returns false when nothing is opaque.
bool hardenAlpha(QImage &image, int threshold = 100);

} // namespace parlivo
