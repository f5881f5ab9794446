#pragma once
// The microphone: capture through Qt's audio input, the catalogue, ports and volume
// through the audio server. The devices are the server's capture inputs (monitors of
// outputs left out), the default device is the server's default source, and the record
// sources are every input, or each usable port of an input that has several, whichever
// device is selected: choosing one makes its input the one recorded. Audio is handed
// over in blocks of the configured size; a meter level is reported from small chunks
// several times a second.
#include "platform/audio/PulseSources.h"
#include "platform/AudioRecorder.h"

#include <QAudioFormat>
#include <QPointer>
#include <deque>

class QAudioSource;
class QIODevice;

namespace parlivo {

class QtAudioRecorder : public AudioRecorder
{
    Q_OBJECT
public:
    explicit QtAudioRecorder(QObject *parent = nullptr);
    ~QtAudioRecorder() override;

    int deviceCount() override;
    int defaultDevice() override;
    void selectDevice(int device) override;
    int isInputDevice() override;
    QString deviceName() override;

    int highestSourceNumber() override;
    int currentSource() override;
    void selectSource(int source) override;
    QString sourceName() override;
    bool sourceIsActive() override;
    void makeSourceActive(bool active) override;

    int volume() override;
    void setVolume(int value) override;
    int volumeMaximum() const override { return 100; }

    void setFormat(int sampleRate, int channels) override;
    int sizeForDuration(int milliseconds) override;
    void setBlockSize(int bytes) override;

    void start() override;
    int startStatus() override { return m_startStatus; }
    QString lastError() const override { return m_lastError; }
    void stop() override;
    QByteArray takeBlock() override;

    void setMonitoring(bool on) override;

    // The device list as the server reports it now (names as shown to the user).
    QStringList deviceNames();
    bool isRecording() const { return m_recording; }

private:
    struct Catalogue
    {
        QVector<PulseSourceInfo> inputs;
        QVector<RecordSource> entries;
        QString defaultInput;
        bool operator==(const Catalogue &other) const;
    };
    Catalogue readCatalogue();
    void refreshCatalogue();
    void serverChanged();
    int inputIndex(const QString &name) const;
    // The input recorded: the selected device while the server still has it, else the default.
    QString recordedInput() const;
    const RecordSource *selectedEntry() const;
    // The input the volume belongs to: the selected source's, else the recorded one.
    QString volumeInput() const;
    void followWithMeterSoon();

    bool openCapture(QString *error);
    void closeCapture();
    void consume(const char *data, qint64 bytes);
    void deliverBlocks(bool includePartial);

    PulseSources m_server;
    PulseSourceWatcher *m_watcher = nullptr;
    Catalogue m_catalogue;
    bool m_catalogueLoaded = false;
    QString m_device;   // name of the selected input, "" when none is
    int m_source = -1;
    QString m_captureInput;   // the input the open capture listens to
    bool m_meterFollowQueued = false;

    QAudioFormat m_format;
    int m_blockSize = 0;

    QPointer<QAudioSource> m_capture;
    QIODevice *m_io = nullptr;
    bool m_recording = false;
    bool m_monitoring = false;
    int m_startStatus = 0;
    QString m_lastError;

    QByteArray m_pending;                // audio of the block being filled
    std::deque<QByteArray> m_completed;  // blocks announced but not yet taken
    int m_blockNumber = 0;
    float m_peak = 0;
    qint64 m_meterBytes = 0;
};

} // namespace parlivo
