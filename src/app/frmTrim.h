#pragma once
// The trim window of Step 2: the message's waveform between two handles, "Play selection"
// to hear what would be kept, "Trim" to keep it and "Undo" to go back to the audio before
// the last edit. The window only shows and asks; the main window does the edits.
#include <QDialog>

#include <vector>

class QLabel;
class QPushButton;
class QThread;

namespace parlivo {

class TrimWaveform;

class frmTrim : public QDialog
{
    Q_OBJECT
public:
    // scratchFolder: where the selection is written for playing.
    explicit frmTrim(const QString &scratchFolder, QWidget *parent = nullptr);
    ~frmTrim() override;

    // Loads the audio's waveform in the background; the handles then span all of it.
    void showAudio(const QString &path);
    // While an edit runs nothing can be trimmed or undone.
    void setEditing(bool editing);
    void setCanUndo(bool canUndo);
    bool isLoading() const { return m_loader != nullptr; }
    QString audioPath() const { return m_path; }

    TrimWaveform *waveform = nullptr;
    QLabel *lblSelection = nullptr;
    QLabel *lblNote = nullptr;
    QPushButton *cmdPlaySelection = nullptr, *cmdStopPlaying = nullptr, *cmdTrim = nullptr, *cmdUndo = nullptr,
                *cmdClose = nullptr;

Q_SIGNALS:
    void playRequested(const QString &wavPath);
    void stopRequested();
    void trimRequested(qint64 startMs, qint64 endMs);
    void undoRequested();
    void audioShown();

private:
    void playSelection();
    void showSelection(qint64 startMs, qint64 endMs);
    void updateButtons();

    QString m_scratchFolder;
    QString m_selectionFile;   // the last selection written for playing
    QString m_path;
    QThread *m_loader = nullptr;
    quint64 m_loadSerial = 0;
    std::vector<float> m_samples;
    int m_rate = 0;
    bool m_editing = false;
    bool m_canUndo = false;
};

} // namespace parlivo
