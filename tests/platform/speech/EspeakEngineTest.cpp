// The speech component on the real synthesiser: voices, files in every format, the words
// it reports, and what stopping or releasing it leaves behind.
#include "platform/speech/EspeakAudioProbe.h"
#include "platform/Platform.h"
#include "platform/speech/EspeakEngine.h"
#include "platform/speech/EspeakOutput.h"
#include "platform/Factories.h"

#include <QDir>
#include <QFileInfo>
#include <QPointer>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace parlivo {
namespace {

using test::probeMp3;
using test::probeWav;
using test::waitUntil;

struct FileRun
{
    QStringList events;   // "start", "end", "finished ok|error"
    QList<QPair<int, int>> words;
    bool done = false;
    bool ok = false;
    QString error;

    void attach(SpeechEngine &e)
    {
        QObject::connect(&e, &SpeechEngine::OnTTSStart, [this] { events << "start"; });
        QObject::connect(&e, &SpeechEngine::OnTTSEnd, [this] { events << "end"; });
        QObject::connect(&e, &SpeechEngine::OnTTSWord, [this](int s, int l) { words.append({s, l}); });
        QObject::connect(&e, &SpeechEngine::speakToFileFinished, [this](bool good, const QString &why) {
            events << (good ? "finished ok" : "finished error");
            done = true;
            ok = good;
            error = why;
        });
    }
};

// Converts text with a fresh engine in the given format; the run's record.
FileRun convert(const QString &text, const QString &path, int format, int option = 0,
                std::function<void(EspeakEngine &)> tune = {})
{
    EspeakEngine e;
    FileRun run;
    run.attach(e);
    e.setOutputFormat(format);
    e.selectOption(option);
    e.selectVoice(0);
    if (tune)
        tune(e);
    e.speakToFile(text, path, 1);
    waitUntil([&] { return run.done; });
    return run;
}

class EspeakEngineTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (!EspeakEngine::available())
            GTEST_SKIP() << "the speech synthesiser's data files are not installed";
        ASSERT_TRUE(dir.isValid());
    }
    QString path(const QString &name) const { return dir.path() + QLatin1Char('/') + name; }
    QTemporaryDir dir;
};

TEST_F(EspeakEngineTest, VoicesAreListedInAStableOrderWithEnglishFirst)
{
    const QVector<SpeechVoice> voices = EspeakEngine::voices();
    ASSERT_GT(voices.size(), 20);
    EXPECT_EQ(voices.first().identifier, QStringLiteral("gmw/en"));
    bool leftEnglish = false;
    for (int i = 0; i < voices.size(); ++i) {
        const SpeechVoice &v = voices[i];
        EXPECT_FALSE(v.identifier.startsWith(QLatin1String("mb/"))) << qPrintable(v.identifier);
        EXPECT_FALSE(v.name.isEmpty());
        EXPECT_FALSE(v.name.contains(QLatin1Char('_'))) << qPrintable(v.name);
        const bool english = v.language == QLatin1String("en") || v.language.startsWith(QLatin1String("en-"));
        if (!english)
            leftEnglish = true;
        else
            EXPECT_FALSE(leftEnglish) << "English voice after the others: " << qPrintable(v.identifier);
        if (i > 1 && english == (voices[i - 1].language.startsWith(QLatin1String("en"))))
            EXPECT_LE(voices[i - 1].name.compare(v.name, Qt::CaseInsensitive), 0) << qPrintable(v.name);
    }
    EspeakEngine e;
    ASSERT_EQ(e.voiceCount(), voices.size());
    EXPECT_EQ(e.voiceName(3), voices[3].name);
    EXPECT_EQ(e.voiceName(-1), QString());
    EXPECT_EQ(e.voiceName(int(voices.size())), QString());
    EXPECT_EQ(EspeakEngine::voiceNumber(QStringLiteral("GMW/EN")), 0);
    EXPECT_EQ(EspeakEngine::voiceNumber(QStringLiteral("no/such")), -1);
    EXPECT_EQ(voices, EspeakEngine::voices());

    // Made by the class identifier, and by nothing else.
    EXPECT_NE(makeSpeechEngine(QString::fromLatin1(SpeechEngineClassId)), nullptr);
    EXPECT_EQ(makeSpeechEngine(QStringLiteral("Other.Component.1")), nullptr);
}

TEST_F(EspeakEngineTest, Mp3Is44100MonoAndAsLongAsTheSynthesisedSpeech)
{
    const QString text = QStringLiteral("Input what text you want to use as your message \r\n"
                                        "then click to Play (for testing) or select to Convert...\r\n");
    const FileRun wav = convert(text, path("speech.wav"), SpeechFormat::WAV);
    ASSERT_TRUE(wav.ok) << qPrintable(wav.error);
    const test::WavProbe w = probeWav(path("speech.wav"));
    ASSERT_TRUE(w.valid);
    EXPECT_EQ(w.sampleRate, 22050);
    EXPECT_EQ(w.channels, 1);
    EXPECT_GT(w.seconds(), 2.0);

    const FileRun mp3 = convert(text, path("speech.mp3"), SpeechFormat::MP3);
    ASSERT_TRUE(mp3.ok) << qPrintable(mp3.error);
    EXPECT_EQ(mp3.events.first(), "start");
    EXPECT_EQ(mp3.events.mid(mp3.events.size() - 2), (QStringList{"end", "finished ok"}));
    const test::Mp3Probe m = probeMp3(path("speech.mp3"));
    ASSERT_TRUE(m.valid);
    EXPECT_EQ(m.sampleRate, 44100);
    EXPECT_TRUE(m.mono);
    EXPECT_EQ(m.infoFrames, m.frames);
    // The frames hold the speech plus the encoder's delay and last partial frame.
    EXPECT_GE(m.seconds, w.seconds());
    EXPECT_LT(m.seconds, w.seconds() + 0.1);
    // Nothing but the finished file is left in the folder.
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden),
              (QStringList{"speech.mp3", "speech.wav"}));
}

TEST_F(EspeakEngineTest, EveryWritableFormatProducesAFileAndTheOthersSaySo)
{
    const QString text = QStringLiteral("Testing every format.");
    for (int f = 0; f < SpeechFormat::Count; ++f) {
        for (int o = 0; o < speechFormatOptions(f).size(); ++o) {
            const QString out = path(QStringLiteral("f%1_%2.out").arg(f).arg(o));
            const FileRun run = convert(text, out, f, o);
            if (speechFormatWritable(f)) {
                EXPECT_TRUE(run.ok) << f << "/" << o << ": " << qPrintable(run.error);
                EXPECT_GT(QFileInfo(out).size(), 1000) << f << "/" << o;
            } else {
                EXPECT_FALSE(run.ok) << f;
                EXPECT_TRUE(run.error.contains(speechFormatNames().at(f))) << qPrintable(run.error);
                EXPECT_FALSE(QFileInfo::exists(out));
            }
        }
    }
    // Option 1 of WAV is 44100 Hz: the same speech, twice the samples.
    ASSERT_TRUE(convert(text, path("a.wav"), SpeechFormat::WAV, 0).ok);
    ASSERT_TRUE(convert(text, path("b.wav"), SpeechFormat::WAV, 1).ok);
    const test::WavProbe a = probeWav(path("a.wav")), b = probeWav(path("b.wav"));
    EXPECT_EQ(b.sampleRate, 44100);
    EXPECT_NEAR(a.seconds(), b.seconds(), 0.01);
}

TEST_F(EspeakEngineTest, FailuresAreReportedAndLeaveNoFile)
{
    FileRun noFolder = convert(QStringLiteral("hello"), path("missing/x.mp3"), SpeechFormat::MP3);
    EXPECT_FALSE(noFolder.ok);
    EXPECT_FALSE(noFolder.error.isEmpty());

    FileRun blank = convert(QStringLiteral(" \r\n "), path("blank.mp3"), SpeechFormat::MP3);
    EXPECT_FALSE(blank.ok);
    EXPECT_FALSE(QFileInfo::exists(path("blank.mp3")));

    FileRun unknown = convert(QStringLiteral("hello"), path("u.mp3"), -1);
    EXPECT_FALSE(unknown.ok);
    EXPECT_FALSE(QFileInfo::exists(path("u.mp3")));
}

TEST_F(EspeakEngineTest, ConversionReplacesTheEarlierFileWhole)
{
    const QString out = path("msg.mp3");
    ASSERT_TRUE(convert(QStringLiteral("A much longer first message, spoken slowly and with care, "
                                       "so that its file is clearly the bigger of the two."),
                        out, SpeechFormat::MP3).ok);
    const qint64 first = QFileInfo(out).size();
    ASSERT_TRUE(convert(QStringLiteral("Short."), out, SpeechFormat::MP3).ok);
    EXPECT_LT(QFileInfo(out).size(), first / 2);
    EXPECT_TRUE(probeMp3(out).valid);
}

TEST_F(EspeakEngineTest, SettingsChangeTheSpeech)
{
    const QString text = QStringLiteral("The quick brown fox jumps over the lazy dog.");
    ASSERT_TRUE(convert(text, path("normal.wav"), SpeechFormat::WAV).ok);
    ASSERT_TRUE(convert(text, path("fast.wav"), SpeechFormat::WAV, 0, [](EspeakEngine &e) { e.setSetting(1, 10); }).ok);
    ASSERT_TRUE(convert(text, path("slow.wav"), SpeechFormat::WAV, 0, [](EspeakEngine &e) { e.setSetting(1, -10); }).ok);
    ASSERT_TRUE(convert(text, path("quiet.wav"), SpeechFormat::WAV, 0, [](EspeakEngine &e) { e.setSetting(2, 20); }).ok);
    const double normal = probeWav(path("normal.wav")).seconds();
    EXPECT_LT(probeWav(path("fast.wav")).seconds(), normal * 0.6);
    EXPECT_GT(probeWav(path("slow.wav")).seconds(), normal * 1.6);

    auto peak = [](const test::WavProbe &w) {
        int p = 0;
        const auto *s = reinterpret_cast<const qint16 *>(w.samples.constData());
        for (qsizetype i = 0; i < w.samples.size() / 2; ++i)
            p = std::max(p, std::abs(int(s[i])));
        return p;
    };
    EXPECT_LT(peak(probeWav(path("quiet.wav"))), peak(probeWav(path("normal.wav"))) / 2);
}

TEST_F(EspeakEngineTest, WordsSelectExactlyTheWrittenWords)
{
    const QString text = QStringLiteral("Hello café\r\nI don't know\r\na well-known naïve 😀 friend.\r\n\"The\" end");
    const FileRun run = convert(text, path("words.wav"), SpeechFormat::WAV);
    ASSERT_TRUE(run.ok) << qPrintable(run.error);
    QStringList words;
    for (const auto &[start, length] : run.words) {
        ASSERT_GE(start, 0);
        ASSERT_LE(start + length, text.size());
        words << text.mid(start, length);
    }
    // The emoji may or may not be read out; everything after it must still line up.
    words.removeAll(QStringLiteral("😀"));
    EXPECT_EQ(words, (QStringList{"Hello", "café", "I", "don't", "know", "a", "well-known", "naïve", "friend",
                                  "The", "end"}));
}

TEST_F(EspeakEngineTest, StoppingOrReleasingAConversionWritesNothing)
{
    QString longText;
    for (int i = 0; i < 400; ++i)
        longText += QStringLiteral("This sentence is here to make the synthesis take a while. ");

    {
        EspeakEngine e;
        FileRun run;
        run.attach(e);
        e.setOutputFormat(SpeechFormat::MP3);
        e.speakToFile(longText, path("stopped.mp3"), 1);
        e.stop();
        EXPECT_TRUE(run.done);
        EXPECT_FALSE(run.ok);
        // Results of the stopped text that arrive later are dropped.
        waitUntil([] { return false; }, 1500);
        EXPECT_EQ(run.events.count("finished ok") + run.events.count("finished error"), 1);
        e.stop();   // twice is harmless
    }
    {
        auto e = std::make_unique<EspeakEngine>();
        e->setOutputFormat(SpeechFormat::MP3);
        e->speakToFile(longText, path("released.mp3"), 1);
        e.reset();
    }
    // The next request is served at once: the abandoned ones were cut short.
    QElapsedTimer clock;
    clock.start();
    const FileRun after = convert(QStringLiteral("Next."), path("next.mp3"), SpeechFormat::MP3);
    EXPECT_TRUE(after.ok);
    EXPECT_LT(clock.elapsed(), 2000);
    waitUntil([] { return false; }, 300);
    EXPECT_FALSE(QFileInfo::exists(path("stopped.mp3")));
    EXPECT_FALSE(QFileInfo::exists(path("released.mp3")));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"next.mp3"});
}

TEST_F(EspeakEngineTest, TwoEnginesAtOnceDoNotDisturbEachOther)
{
    EspeakEngine a, b;
    FileRun ra, rb;
    ra.attach(a);
    rb.attach(b);
    a.setOutputFormat(SpeechFormat::WAV);
    b.setOutputFormat(SpeechFormat::WAV);
    a.speakToFile(QStringLiteral("First engine speaking."), path("a.wav"), 1);
    b.speakToFile(QStringLiteral("Second engine, another text."), path("b.wav"), 1);
    ASSERT_TRUE(waitUntil([&] { return ra.done && rb.done; }));
    EXPECT_TRUE(ra.ok);
    EXPECT_TRUE(rb.ok);
    EXPECT_EQ(ra.words.size(), 3);
    EXPECT_EQ(rb.words.size(), 4);
}

} // namespace
} // namespace parlivo
