#pragma once
// A text-to-speech component: voices, output formats, speaking aloud and to a file,
// with word notifications. Created afresh for every spoken test and conversion.
#include <QObject>
#include <QString>
#include <QVector>

namespace parlivo {

// A word of a text written to a file: where it stands in the text and when it begins in
// the written audio.
struct TimedWord
{
    int start = 0;    // QString index into the spoken text
    int length = 0;   // QString units
    qint64 ms = 0;    // from the start of the audio
};

class SpeechEngine : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;
    ~SpeechEngine() override = default;

    virtual int voiceCount() = 0;
    virtual QString voiceName(int voice) = 0;
    virtual void selectVoice(int voice) = 0;

    virtual int outputFormat() = 0;
    virtual void setOutputFormat(int format) = 0;
    virtual int optionCount() = 0;
    virtual void selectOption(int option) = 0;
    virtual QString optionName() = 0;

    // 1: rate (-10..10), 2: volume (0..100), 3: pitch (-10..10)
    virtual void setSetting(int which, int value) = 0;

    virtual void speak(const QString &text, int mode) = 0;
    // Starts writing the text as audio to path in the current output format;
    // speakToFileFinished reports the outcome.
    virtual void speakToFile(const QString &text, const QString &path, int mode) = 0;
    virtual void stop() = 0;

signals:
    void OnTTSStart();
    void OnTTSWord(int nStart, int nLength);   // QString indexes into the spoken text
    void OnTTSEnd();
    void speakToFileFinished(bool ok, const QString &error);
    // Sent just before a successful speakToFileFinished: when each spoken word begins in
    // the file just written, in the order spoken, and how long that audio lasts.
    void fileWordTimes(const QVector<parlivo::TimedWord> &words, qint64 audioMs);
    // Speaking aloud could not be done (no synthesiser, no sound output).
    void speakFailed(const QString &error);
};

} // namespace parlivo
