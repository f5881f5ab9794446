#pragma once
// Plays one named audio file (MP3 or WAV) through the default output.
#include <QObject>
#include <QString>

namespace parlivo {

class AudioPlayer : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;
    ~AudioPlayer() override = default;

    virtual void setFileName(const QString &path) = 0;
    virtual QString fileName() const = 0;
    virtual void prepare() = 0;      // open and decode; failures arrive as errorNotification
    virtual void play() = 0;         // from the start
    virtual void stop() = 0;
    virtual void release() = 0;      // close the file
    virtual qint64 time() const = 0; // playback position in milliseconds

signals:
    void timeNotification(int index);
    void errorNotification(int index, int code, const QString &message);
};

} // namespace parlivo
