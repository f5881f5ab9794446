// Trimming and levelling the message's audio: automatically after a recording, by hand in
// the trim window for any audio, and undoing the last edit. Every edit is written to a new
// working file and the message then points at it: the file before (a recording, a converted
// text, or the person's own MP3) is never changed, which is also what makes undo exact.
#include "frmMAIN.h"

#include "app/frmTrim.h"
#include "audio/AudioEditJob.h"
#include "platform/desktop/WindowSheet.h"

#include <QAction>
#include <QFile>
#include <QFileInfo>
#include <QFrame>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRegularExpression>
#include <QSet>

namespace parlivo {

struct frmMAIN::TrimState
{
    bool autoTrim = true;   // for this session; the menu entry switches it
    struct Before
    {
        QString recording;
        QString fileName;
        SpokenCaptions captions;
        QString editedPath;   // the edit's file, which the message must still point at
    };
    QVector<Before> history;
    AudioEditJob *job = nullptr;
    bool automatic = false;   // the running edit is the one after a recording
    int edits = 0;            // numbers the edits' files
    // Every edit's file still on disk. Each is removed once nothing can come back to it: a
    // session of many trims would otherwise leave a copy of the message behind for each.
    QStringList files;
    // An edit the message still played when its edits were forgotten: a new recording that
    // fails to start or to save goes back to it, so it stays until a recording is saved.
    QString parked;

    // Removes the files of edits that are neither the message's audio nor a step Undo returns to.
    void sweep(const QString &current)
    {
        QSet<QString> needed{current, parked};
        for (const Before &b : std::as_const(history))
            needed << b.recording << b.editedPath;
        for (auto it = files.begin(); it != files.end();) {
            if (needed.contains(*it)) {
                ++it;
                continue;
            }
            QFile::remove(*it);
            it = files.erase(it);
        }
    }
};

namespace {

// "<Temp>/<name of the first audio>_e<n>.mp3": beside the working files, never over one.
QString editFileFor(const QString &tempFolder, const QString &source, int number)
{
    QString base = QFileInfo(source).completeBaseName();
    static const QRegularExpression earlierEdit(QStringLiteral("_e\\d+$"));
    base.remove(earlierEdit);
    if (base.isEmpty())
        base = QStringLiteral("audio");
    return tempFolder + QLatin1Char('/') + base + QStringLiteral("_e%1.mp3").arg(number);
}

QString secondsText(double seconds)
{
    return QString::number(seconds, 'f', 1);
}

} // namespace

void frmMAIN::setupTrim()
{
    trimming = std::make_shared<TrimState>();
    trimming->job = new AudioEditJob(this);
    connect(trimming->job, &AudioEditJob::finished, this,
            [this](const AudioEditResult &result, const QString &input, const QString &output) {
                TrimState &ts = *trimming;
                const bool automatic = std::exchange(ts.automatic, false);
                if (trimWindow)
                    trimWindow->setEditing(false);
                if (draft.my_recording != input) {
                    // The message has other audio by now; this edit is of no use.
                    if (result.written)
                        QFile::remove(output);
                } else if (!result.ok()) {
                    if (automatic)
                        setStatus(QStringLiteral("The recording was kept as it was: ") + result.error);
                    else
                        reportFailure(QStringLiteral("The audio could not be trimmed: ") + result.error);
                } else if (!result.written) {
                    setStatus(automatic ? autoEditStatusText(result) : QString());
                } else {
                    // Edits of audio the message has since left can no longer be undone to.
                    if (!ts.history.isEmpty() && ts.history.last().editedPath != input)
                        ts.history.clear();
                    ts.files.append(output);
                    ts.history.append({draft.my_recording, txtRecFilename->text(), draft.my_captions, output});
                    draft.my_recording = output;
                    txtRecFilename->setText(output);
                    if (!draft.my_captions.isEmpty()) {
                        draft.my_captions.webVtt = retimedWebVtt(draft.my_captions.webVtt, result.cutStartMs, result.keptMs);
                        if (draft.my_captions.webVtt.isEmpty())
                            draft.my_captions = {};
                    }
                    setStatus(automatic ? autoEditStatusText(result)
                                        : QStringLiteral("Trimmed %1 s: %2 s are kept")
                                              .arg(secondsText(result.trimmedSeconds()), secondsText(result.keptMs / 1000.0)));
                    if (trimWindow)
                        trimWindow->showAudio(output);
                }
                ts.sweep(draft.my_recording);
                if (trimWindow)
                    trimWindow->setCanUndo(canUndoAudioEdit());
                Q_EMIT audioEditFinished();
            });

    cmdAudioTrim = new QPushButton(QStringLiteral("Trim..."), Frame3);
    cmdAudioTrim->setObjectName(QStringLiteral("cmdAudioTrim"));
    cmdAudioTrim->setGeometry(8, 165, 177, 22);
    cmdAudioTrim->setAccessibleName(QStringLiteral("Trim the message"));
    cmdAudioTrim->setToolTip(QStringLiteral("Cut the start or the end of the message, or undo the last cut"));
    QWidget::setTabOrder(cmdAudioStop, cmdAudioTrim);
    connect(cmdAudioTrim, &QPushButton::clicked, this, &frmMAIN::cmdAudioTrim_Click);

    mnuAutoTrim = mnu_advanced_options->addAction(
        QStringLiteral("Trim the silence and even out the level of each recording"));
    mnuAutoTrim->setObjectName(QStringLiteral("mnuAutoTrim"));
    mnuAutoTrim->setCheckable(true);
    mnuAutoTrim->setChecked(true);
    connect(mnuAutoTrim, &QAction::toggled, this, &frmMAIN::mnuAutoTrim_Click);
}

void frmMAIN::mnuAutoTrim_Click(bool on)
{
    trimming->autoTrim = on;
}

void frmMAIN::startAutoAudioEdit()
{
    TrimState &ts = *trimming;
    // A recording was saved: the audio before it is not coming back.
    ts.parked.clear();
    ts.sweep(draft.my_recording);
    if (!ts.autoTrim || !m_platform.createLoudnessMeter || !draft.i_recorded || !QFileInfo(draft.my_recording).isFile())
        return;
    AudioEdit edit;
    edit.trimSilence = true;
    edit.level = true;
    ts.automatic = true;
    setStatus(QStringLiteral("Trimming the recording..."));
    ts.job->start(draft.my_recording, editFileFor(m_folders.tempFolder(), draft.my_recording, ++ts.edits), edit,
                  m_platform.createLoudnessMeter);
}

void frmMAIN::trimAudio(qint64 startMs, qint64 endMs)
{
    TrimState &ts = *trimming;
    if (ts.job->isRunning() || draft.my_recording.isEmpty())
        return;
    AudioEdit edit;
    edit.startMs = startMs;
    edit.endMs = endMs;
    edit.alwaysWrite = true;
    ts.automatic = false;
    if (trimWindow)
        trimWindow->setEditing(true);
    ts.job->start(draft.my_recording, editFileFor(m_folders.tempFolder(), draft.my_recording, ++ts.edits), edit,
                  m_platform.createLoudnessMeter);
}

bool frmMAIN::canUndoAudioEdit() const
{
    return trimming && !trimming->job->isRunning() && !trimming->history.isEmpty()
        && trimming->history.last().editedPath == draft.my_recording;
}

bool frmMAIN::audioEditRunning() const
{
    return trimming && trimming->job->isRunning();
}

bool frmMAIN::undoAudioEdit()
{
    TrimState &ts = *trimming;
    if (!canUndoAudioEdit()) {
        if (!ts.job->isRunning()) {
            ts.history.clear();   // the message moved on to other audio since
            ts.sweep(draft.my_recording);
        }
        return false;
    }
    const TrimState::Before before = ts.history.takeLast();
    draft.my_recording = before.recording;
    draft.my_captions = before.captions;
    txtRecFilename->setText(before.fileName);
    ts.sweep(draft.my_recording);
    setStatus(QStringLiteral("The last edit of the audio was undone"));
    if (trimWindow) {
        trimWindow->showAudio(draft.my_recording);
        trimWindow->setCanUndo(canUndoAudioEdit());
    }
    return true;
}

void frmMAIN::forgetAudioEdits(bool recordingMayReturn)
{
    if (!trimming)
        return;
    TrimState &ts = *trimming;
    ts.job->cancel();
    ts.automatic = false;
    ts.history.clear();
    // The message leaves its audio now; only a recording that fails comes back to it.
    ts.parked = recordingMayReturn && ts.files.contains(draft.my_recording) ? draft.my_recording : QString();
    ts.sweep(ts.parked);
    if (trimWindow)
        trimWindow->close();
}

void frmMAIN::cmdAudioTrim_Click()
{
    if (!draft.i_recorded || draft.my_recording.isEmpty() || !QFileInfo(draft.my_recording).isFile()) {
        setStatus(QStringLiteral("There is no audio to trim yet: record, convert or choose it in Step 1"));
        return;
    }
    const bool opening = !trimWindow;
    if (opening) {
        trimWindow = new frmTrim(m_folders.tempFolder(), this);
        trimWindow->setAttribute(Qt::WA_DeleteOnClose);
        connect(trimWindow, &frmTrim::playRequested, this, [this](const QString &wav) {
            if (!SMAudioPlayAndRecordX1)
                return;
            SMAudioPlayAndRecordX1->setFileName(wav);
            SMAudioPlayAndRecordX1->prepare();
            SMAudioPlayAndRecordX1->play();
            setStatus(QStringLiteral("Playing the selection..."));
        });
        connect(trimWindow, &frmTrim::stopRequested, this, &frmMAIN::cmdAudioStop_Click);
        connect(trimWindow, &frmTrim::trimRequested, this, &frmMAIN::trimAudio);
        connect(trimWindow, &frmTrim::undoRequested, this, [this] { undoAudioEdit(); });
    }
    trimWindow->setEditing(audioEditRunning());
    trimWindow->setCanUndo(canUndoAudioEdit());
    trimWindow->showAudio(draft.my_recording);
    if (opening) {
        openOverWindow(trimWindow);
    } else {
        trimWindow->raise();
        trimWindow->activateWindow();
    }
}

} // namespace parlivo
