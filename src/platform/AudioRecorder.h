#pragma once
// Microphone capture as the recording handlers drive it: a device and record-source
// catalogue, an input volume, and block-wise delivery of PCM audio.
#include <QByteArray>
#include <QObject>
#include <QString>

namespace parlivo {

class AudioRecorder : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;
    ~AudioRecorder() override = default;

    // Device catalogue. Device numbers run from 0 to deviceCount() - 1.
    virtual int deviceCount() = 0;
    virtual int defaultDevice() = 0;
    virtual void selectDevice(int device) = 0;
    virtual int isInputDevice() = 0;          // non-zero: the selected device records
    virtual QString deviceName() = 0;

    // Record sources (input ports) of the selected device, numbered 0..highestSourceNumber().
    virtual int highestSourceNumber() = 0;    // negative: the device reports none
    virtual int currentSource() = 0;
    virtual void selectSource(int source) = 0;
    virtual QString sourceName() = 0;
    virtual bool sourceIsActive() = 0;
    virtual void makeSourceActive(bool active) = 0;

    // Input volume of the selected source, 0..volumeMaximum() (the slider's range).
    virtual int volume() = 0;
    virtual void setVolume(int value) = 0;
    virtual int volumeMaximum() const = 0;

    virtual void setFormat(int sampleRate, int channels) = 0;
    virtual int sizeForDuration(int milliseconds) = 0;
    virtual void setBlockSize(int bytes) = 0;

    virtual void start() = 0;
    virtual int startStatus() = 0;            // negative: recording did not start
    virtual QString lastError() const = 0;    // readable reason of the last failure
    virtual void stop() = 0;
    virtual QByteArray takeBlock() = 0;       // the block just completed (Int16 PCM)

    // Level metering, independent of recording; the meter shows the microphone works.
    virtual void setMonitoring(bool on) = 0;

signals:
    void EndArrayRecord(int nBlock);
    // An input came or went, its ports or plugs changed, or the default input moved:
    // the device and source lists are worth asking for again.
    void sourcesChanged();
    void levelChanged(float peak);            // 0..1, several times a second while monitoring or recording
};

// Encodes recorded blocks into an audio file as they arrive.
class AudioFileWriter : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;
    ~AudioFileWriter() override = default;

    virtual void setMp3Output(int sampleRate, int bitrateKbps, int channels) = 0;
    virtual void createFile(const QString &path, int mode) = 0;   // replaces any file at path
    virtual int openStatus() = 0;                                 // negative: not created
    virtual QString lastError() const = 0;
    virtual int fileSampleRate() = 0;
    virtual int fileChannelCount() = 0;
    virtual void write(const QByteArray &pcm) = 0;                // encode and append
    virtual void close() = 0;                                     // flush and release
    // Ends the file without keeping it: whatever was at the path before stays as it was.
    virtual void abandon() { close(); }
};

} // namespace parlivo
