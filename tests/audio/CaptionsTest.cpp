// Captions of converted text, timed by the real synthesiser in the MP3 it writes.
#include "audio/Captions.h"
#include "audio/Mp3Info.h"
#include "platform/speech/EspeakEngine.h"
#include "platform/speech/EspeakOutput.h"

#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

namespace parlivo {
namespace {

QStringList wordsOf(const QString &text)
{
    return text.split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts);
}

TEST(Captions, PhrasesFollowTheSpokenWordsInsideTheWrittenAudio)
{
    if (!EspeakEngine::available())
        GTEST_SKIP() << "the speech synthesiser's data files are not installed";
    const QString text = QStringLiteral(
        "Hello Anna, Tom & Lee!\r\nWe will meet at the old station on Friday, at seven in the evening, "
        "if the trains run <as planned>. Bring warm clothes; it gets cold by the river.\r\nSee you there.");
    QTemporaryDir dir;
    const QString mp3 = dir.filePath("m.mp3");
    EspeakEngine engine;
    engine.setOutputFormat(SpeechFormat::MP3);
    QVector<TimedWord> words;
    qint64 audioMs = -1;
    bool done = false, ok = false;
    QObject::connect(&engine, &SpeechEngine::fileWordTimes, [&](const QVector<TimedWord> &w, qint64 ms) {
        words = w;
        audioMs = ms;
    });
    QObject::connect(&engine, &SpeechEngine::speakToFileFinished, [&](bool good, const QString &) {
        done = true;
        ok = good;
    });
    engine.speakToFile(text, mp3, 1);
    ASSERT_TRUE(QTest::qWaitFor([&] { return done; }, 30000));
    ASSERT_TRUE(ok);
    const Mp3Info info = readMp3InfoFile(mp3);
    ASSERT_TRUE(info.valid);
    EXPECT_NEAR(double(audioMs), info.seconds() * 1000, 30);

    const QVector<CaptionCue> cues = captionCues(text, words, audioMs);
    ASSERT_GE(cues.size(), 6);
    QStringList spoken;
    for (int i = 0; i < cues.size(); ++i) {
        const CaptionCue &c = cues[i];
        SCOPED_TRACE(c.text.toStdString());
        EXPECT_LT(c.startMs, c.endMs);
        if (i > 0)
            EXPECT_EQ(c.startMs, cues[i - 1].endMs);
        EXPECT_LE(c.endMs, info.seconds() * 1000 + 30);
        EXPECT_FALSE(c.text.contains('\n'));
        EXPECT_LE(c.text.size(), 48);
        // A cue begins when the synthesiser says its first word begins.
        const auto first = std::find_if(words.begin(), words.end(), [&](const TimedWord &w) { return w.ms == c.startMs; });
        ASSERT_NE(first, words.end());
        EXPECT_TRUE(wordsOf(c.text).first().contains(text.mid(first->start, first->length)));
        spoken += wordsOf(c.text);
    }
    EXPECT_EQ(spoken, wordsOf(text));
    EXPECT_TRUE(cues.first().text.endsWith("Lee!"));   // a sentence ends its phrase

    // The WebVTT file gives back the same cues, markup characters and all.
    const QString vtt = webVttOf(cues);
    EXPECT_TRUE(vtt.startsWith("WEBVTT\n\n1\n00:00:00."));
    EXPECT_TRUE(vtt.contains("Tom &amp; Lee!"));
    EXPECT_TRUE(vtt.contains("&lt;as planned&gt;"));
    QVector<CaptionCue> read;
    QString why;
    ASSERT_TRUE(readWebVtt(vtt.toUtf8(), &read, &why)) << why.toStdString();
    EXPECT_EQ(read, cues);
    EXPECT_EQ(transcriptOf(read), wordsOf(text).join(' '));
}

TEST(Captions, OnlyWebVttWithCuesIsRead)
{
    QVector<CaptionCue> cues;
    QString why;
    EXPECT_FALSE(readWebVtt("1\n00:00:00.000 --> 00:00:01.000\nHi\n", &cues, &why));
    EXPECT_FALSE(readWebVtt("WEBVTT\n\nNOTE nothing here\n", &cues, &why));
    EXPECT_FALSE(readWebVtt("WEBVTT\n\n00:00:02.000 --> 00:00:01.000\nbackwards\n", &cues, &why));
    // Hours that would overflow the milliseconds and wrap to a time before the start.
    EXPECT_FALSE(readWebVtt("WEBVTT\n\n5124095576030431:00:00.000 --> 5124095576030431:00:01.000\nwrapped\n", &cues, &why));
    ASSERT_TRUE(readWebVtt("\xEF\xBB\xBFWEBVTT - mine\r\n\r\nNOTE a remark\r\n\r\nx\r\n01:02.500 --> 01:04.000 align:start\r\n"
                           "<v Ann>Hi</v> &amp;\r\nbye\r\n", &cues, &why)) << why.toStdString();
    EXPECT_EQ(cues, (QVector<CaptionCue>{{62500, 64000, "Hi & bye"}}));
}

TEST(Captions, AWordReachingPastTheTextEndsWithIt)
{
    const QVector<CaptionCue> cues = captionCues("Hi there", {{0, 2, 0}, {3, INT_MAX, 400}}, 1000);
    EXPECT_EQ(cues, (QVector<CaptionCue>{{0, 1000, "Hi there"}}));
}

} // namespace
} // namespace parlivo
