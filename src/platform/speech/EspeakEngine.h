#pragma once
// The speech component on the eSpeak NG synthesiser. The synthesiser is one per process
// and not safe to enter from two threads, so all synthesis runs on one worker thread
// shared by every engine object; an engine object is a light handle that queues requests
// there and receives the results as queued calls on its own thread. Each request
// synthesises the whole text into a buffer (far faster than real time), which is then
// played with the words marked as they are heard, or written to a file.
#include "platform/SpeechEngine.h"

#include <QVector>
#include <memory>

namespace parlivo {

struct SpokenWord;

struct SpeechVoice
{
    QString identifier;   // e.g. "gmw/en", the name the synthesiser selects by
    QString name;         // shown to the user
    QString language;     // the voice's first language tag
    friend bool operator==(const SpeechVoice &, const SpeechVoice &) = default;
};

class EspeakEngine : public SpeechEngine
{
    Q_OBJECT
public:
    explicit EspeakEngine(QObject *parent = nullptr);
    ~EspeakEngine() override;

    // False when the synthesiser could not start (no data files); blocks the first time.
    static bool available();
    // The voices offered, in the order that gives them their numbers.
    static QVector<SpeechVoice> voices();
    // Voice number of an identifier (case-insensitive), or -1.
    static int voiceNumber(const QString &identifier);
    static constexpr int SampleRate = 22050;

    int voiceCount() override;
    QString voiceName(int voice) override;
    void selectVoice(int voice) override;

    int outputFormat() override;
    void setOutputFormat(int format) override;
    int optionCount() override;
    void selectOption(int option) override;
    QString optionName() override;

    void setSetting(int which, int value) override;

    void speak(const QString &text, int mode) override;
    void speakToFile(const QString &text, const QString &path, int mode) override;
    void stop() override;

    // Microseconds of the current spoken test heard so far (0 when nothing plays).
    qint64 playedUSecs() const;
    bool isSpeaking() const;

private:
    struct Impl;
    std::unique_ptr<Impl> d;
    // Cancels the synthesis or playback under way, silently: the caller starts the next piece.
    void abandonCurrentWork();
    void deliverSpoken(quint64 generation, bool ok, const QString &error, const QByteArray &pcm,
                       const QVector<SpokenWord> &words);
    void deliverFile(quint64 generation, bool ok, const QString &error, const QVector<SpokenWord> &words,
                     qint64 samples);
    void pollPlayback();
    void finishSpeaking(bool emitEnd);
};

} // namespace parlivo
