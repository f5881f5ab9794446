// Recording from the microphone, playback, and choosing an existing MP3.
#include "frmMAIN.h"

#include "app/widgets/LevelMeter.h"
#include "audio/RecordingText.h"
#include "message/VoiceFormat.h"

#include <QApplication>
#include <QComboBox>
#include <QEvent>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QSignalBlocker>
#include <QSlider>
#include <QTimer>

namespace parlivo {

namespace {

constexpr int BlockMilliseconds = 1000;

// Follows the recording panel on and off screen so the meter runs only while it can be seen.
class PanelWatcher : public QObject
{
public:
    PanelWatcher(QObject *parent, std::function<void()> changed) : QObject(parent), m_changed(std::move(changed)) {}

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Show || event->type() == QEvent::Hide)
            m_changed();
        return QObject::eventFilter(watched, event);
    }

private:
    std::function<void()> m_changed;
};

} // namespace

struct frmMAIN::RecordingState
{
    bool running = false;              // a recording is in progress
    bool recorderConnected = false;
    bool monitoring = false;
    bool sourceChosen = false;         // the user picked a record source
    QString chosenFile;                // an MP3 the user picked: never recorded over
    QByteArray block;                  // the block between recorder and file writer
    // What a failed start or save puts back.
    bool previousRecorded = false;
    QString previousRecording;
    SpokenCaptions previousCaptions;
    QString previousFileName;
};

void frmMAIN::setupRecordingPanel()
{
    recording = std::make_shared<RecordingState>();
    auto *watcher = new PanelWatcher(this, [this] {
        // Queued: visibility settles only after the show or hide has been processed.
        QTimer::singleShot(0, this, [this] {
            if (!recording || !AudioRecord)
                return;
            const bool wanted = Frame2->isVisible();
            if (wanted == recording->monitoring)
                return;
            recording->monitoring = wanted;
            AudioRecord->setMonitoring(wanted);
            if (!wanted && !recording->running)
                levelMeter->setLevel(0);
        });
    });
    Frame2->installEventFilter(watcher);
}

// The recorder's notifications, wired once it exists (it is made during the deferred load).
void frmMAIN::connectRecorder()
{
    if (!recording || recording->recorderConnected || !AudioRecord)
        return;
    recording->recorderConnected = true;
    connect(AudioRecord.get(), &AudioRecorder::EndArrayRecord, this, &frmMAIN::AudioRecord_EndArrayRecord);
    connect(AudioRecord.get(), &AudioRecorder::levelChanged, levelMeter, &LevelMeter::setLevel);
    connect(AudioRecord.get(), &AudioRecorder::sourcesChanged, this, &frmMAIN::AudioRecord_SourcesChanged);
}

void frmMAIN::setupRecording()
{
    if (!AudioRecord)
        return;
    connectRecorder();
    fillRecordingLists();
    if (Frame2->isVisible() && !recording->monitoring) {
        recording->monitoring = true;
        AudioRecord->setMonitoring(true);
    }
}

void frmMAIN::fillRecordingLists()
{
    AudioRecorder &rec = *AudioRecord;
    const int n = rec.deviceCount();

    // Device list: n + 1 device numbers are asked, as the recorder has always been driven.
    const int d = rec.defaultDevice();
    {
        const QSignalBlocker block(cmbDevInput);
        cmbDevInput->clear();
        for (int i = 0; i <= n; ++i) {
            rec.selectDevice(i);
            if (rec.isInputDevice() != 0)
                cmbDevInput->addItem(rec.deviceName(), i);
        }
        // The default input records. Letting the last listed device win instead picked,
        // from a list of every capture input in no meaningful order, whichever came last.
        rec.selectDevice(d);
        cmbDevInput->setCurrentIndex(cmbDevInput->findData(d));
    }
    fillSourceList();
}

void frmMAIN::fillSourceList()
{
    AudioRecorder &rec = *AudioRecord;
    {
        const QSignalBlocker block(cmbSrcInput);
        cmbSrcInput->clear();
        const int m = rec.highestSourceNumber();
        if (m >= 0) {
            int s = rec.currentSource();
            for (int j = 0; j <= m; ++j) {
                rec.selectSource(j);
                cmbSrcInput->addItem(rec.sourceName());
                if (rec.sourceIsActive())
                    s = j;
            }
            rec.selectSource(s);
            cmbSrcInput->setCurrentIndex(s);
        }
    }
    rec.selectSource(cmbSrcInput->currentIndex());

    // The slider shows the server's volume on the recorder's own scale; showing it is
    // not a change by the user, so nothing is written back.
    const QSignalBlocker block(sldrVolumeInp);
    sldrVolumeInp->setRange(0, rec.volumeMaximum());
    sldrVolumeInp->setValue(rec.volume());
}

void frmMAIN::AudioRecord_SourcesChanged()
{
    if (!AudioRecord || !recording)
        return;
    // Until the user has chosen, the default input records, wherever it moves; a choice
    // stays while its input is there.
    if (recording->sourceChosen)
        fillSourceList();
    else
        fillRecordingLists();
}

void frmMAIN::cmdRecRecord_Click()
{
    RecordingState &rs = *recording;
    if (rs.running)
        return;   // one recording at a time; the running one goes on
    if (!AudioRecord || !AudioFile) {
        reportFailure(recordingNotStartedText(QStringLiteral("no recording device is available")));
        return;
    }
    connectRecorder();

    rs.previousRecorded = draft.i_recorded;
    rs.previousRecording = draft.my_recording;
    rs.previousFileName = txtRecFilename->text();
    rs.previousCaptions = draft.my_captions;
    forgetAudioEdits(true);
    auto restore = [&] {
        draft.i_recorded = rs.previousRecorded;
        draft.my_recording = rs.previousRecording;
        draft.my_captions = rs.previousCaptions;
        if (txtRecFilename->text() != rs.previousFileName)
            txtRecFilename->setText(rs.previousFileName);
    };

    draft.i_recorded = true;
    // The words of a converted text are not what this recording says.
    draft.my_captions = {};
    draft.my_time2 = 0;
    cmdAudioStop_Click();
    // The user's own MP3 is never recorded over: the recording gets a working file of its own.
    if (!rs.chosenFile.isEmpty() && txtRecFilename->text() == rs.chosenFile)
        IssueAudioFileName();
    draft.my_recording = txtRecFilename->text();

    AudioFile->setMp3Output(voice_format::SampleRate, voice_format::BitrateKbps, voice_format::Channels);
    AudioRecord->setFormat(voice_format::SampleRate, voice_format::Channels);
    AudioFile->createFile(draft.my_recording, 0);
    if (AudioFile->openStatus() < 0) {
        const QString why = AudioFile->lastError();
        restore();
        reportFailure(recordingNotStartedText(why.isEmpty() ? QStringLiteral("the audio file could not be created") : why));
        return;
    }
    AudioRecord->setFormat(AudioFile->fileSampleRate(), AudioFile->fileChannelCount());
    const int b = AudioRecord->sizeForDuration(BlockMilliseconds);
    AudioRecord->setBlockSize(b);
    AudioRecord->start();
    if (AudioRecord->startStatus() < 0) {
        const QString why = AudioRecord->lastError();
        AudioFile->abandon();
        restore();
        reportFailure(recordingNotStartedText(why.isEmpty() ? QStringLiteral("the recording device did not start") : why));
        return;
    }

    rs.running = true;
    lblRecInfoMS->setVisible(true);
    setStatus(QStringLiteral("Recording..."));
    draft.my_time2 = 0;
    Timer2->start();
}

void frmMAIN::cmdRecStop_Click()
{
    RecordingState &rs = *recording;
    if (!rs.running)
        return;   // nothing is being recorded
    QApplication::setOverrideCursor(Qt::WaitCursor);
    // The recorder hands over its last partial block while stopping; the writer
    // must still be open for it, hence always this order.
    if (AudioRecord)
        AudioRecord->stop();
    rs.running = false;
    QString saveError;
    if (AudioFile) {
        AudioFile->close();
        saveError = AudioFile->lastError();
    }
    Timer2->stop();
    draft.my_time2 = 0;
    lblRecInfoMS->setVisible(false);
    lblLabRecInfoMS->setVisible(false);
    lblRecInfoMS->clear();
    setStatus(QString());
    if (!saveError.isEmpty()) {
        // The earlier file, if any, is still in place: the draft goes back to it.
        draft.i_recorded = rs.previousRecorded;
        draft.my_recording = rs.previousRecording;
        draft.my_captions = rs.previousCaptions;
        if (rs.previousFileName != txtRecFilename->text() && rs.previousFileName == rs.chosenFile)
            txtRecFilename->setText(rs.previousFileName);
        reportFailure(recordingNotSavedText(saveError));
    }
    QApplication::restoreOverrideCursor();
    if (!Frame2->isVisible())
        levelMeter->setLevel(0);
    if (saveError.isEmpty())
        startAutoAudioEdit();
}

void frmMAIN::AudioRecord_EndArrayRecord(int)
{
    if (!AudioRecord)
        return;
    RecordingState &rs = *recording;
    rs.block = AudioRecord->takeBlock();
    if (rs.running && AudioFile)
        AudioFile->write(rs.block);
    rs.block.clear();
}

void frmMAIN::Timer2_Timer()
{
    draft.my_time2 = qint16(draft.my_time2 + 1);
    lblRecInfoMS->setVisible(true);
    lblLabRecInfoMS->setVisible(true);
    lblRecInfoMS->setText(recordingCounterText(draft.my_time2));
    if (draft.my_time2 >= RecordingLimitSeconds) {
        cmdRecStop_Click();
        // A tick that outlived its recording must not keep counting.
        Timer2->stop();
        draft.my_time2 = 0;
        lblRecInfoMS->clear();
        lblRecInfoMS->setVisible(false);
        lblLabRecInfoMS->setVisible(false);
    }
}

void frmMAIN::Button4_Click()
{
    txtWaveFilename->setText(txtRecFilename->text());
    if (SMAudioPlayAndRecordX1) {
        SMAudioPlayAndRecordX1->setFileName(txtWaveFilename->text());
        SMAudioPlayAndRecordX1->prepare();
        SMAudioPlayAndRecordX1->play();
    }
    setStatus(QStringLiteral("Playing audio file..."));
}

void frmMAIN::cmdAudioStop_Click()
{
    if (SMAudioPlayAndRecordX1) {
        SMAudioPlayAndRecordX1->stop();
        SMAudioPlayAndRecordX1->release();
    }
    setStatus(QString());
}

void frmMAIN::Button6_Click()
{
    if (!m_platform.fileDialog)
        return;
    QPointer<frmMAIN> self(this);
    m_platform.fileDialog->showOpen(this, QStringLiteral("Select pre-recorded mp3 file..."),
                                    QStringLiteral("MP3 files (*.mp3)|*.mp3|"), [self](const QString &path) {
                                        if (!self || path.isEmpty())
                                            return;
                                        self->forgetAudioEdits();
                                        self->txtRecFilename->setText(path);
                                        self->draft.my_recording = path;
                                        self->draft.i_recorded = true;
                                        self->draft.my_captions = {};
                                        self->recording->chosenFile = path;
                                    });
}

void frmMAIN::cmbSrcInput_Click(int index)
{
    if (!AudioRecord)
        return;
    AudioRecord->selectSource(index);
    AudioRecord->makeSourceActive(true);
    recording->sourceChosen = true;
    sldrVolumeInp->setValue(AudioRecord->volume());
}

void frmMAIN::sldrVolumeInp_Change(int value)
{
    if (AudioRecord)
        AudioRecord->setVolume(value);
}

void frmMAIN::SMAudioPlayAndRecordX1_Time(int)
{
    if (SMAudioPlayAndRecordX1)
        lblRecInfoMS->setText(playerTimeText(SMAudioPlayAndRecordX1->time()));
}

void frmMAIN::SMAudioPlayAndRecordX1_Error(int, int, const QString &message)
{
    if (m_platform.messageBox)
        m_platform.messageBox->inform(this, message, QStringLiteral("Parlivo"), MessageBox::Icon::None);
}

} // namespace parlivo
