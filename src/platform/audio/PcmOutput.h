#pragma once
// Plays a buffer of 16-bit PCM through the default audio output and reports how much of
// it has been heard. Shared by the file player and the speech engine's spoken output.
#include <QByteArray>
#include <QObject>
#include <QString>

namespace parlivo {

class PcmOutput : public QObject
{
    Q_OBJECT
public:
    explicit PcmOutput(QObject *parent = nullptr);
    ~PcmOutput() override;

    // Starts playing pcm (interleaved Int16 at sampleRate and channels) from the beginning,
    // replacing whatever played. Trailing silence is added so the tail is not cut off.
    bool start(const QByteArray &pcm, int sampleRate, int channels, QString *error = nullptr);
    void stop();                         // silent within a few tens of milliseconds
    bool isPlaying() const;
    // Microseconds of audio the device has actually played since start; 0 before sound is heard.
    qint64 playedUSecs() const;

Q_SIGNALS:
    void positionChanged(qint64 playedUSecs);   // about every 50 ms while playing
    void finished();                            // the buffer played to its end (not after stop)
    void failed(const QString &message);

private:
    struct Impl;
    Impl *d;
};

} // namespace parlivo
