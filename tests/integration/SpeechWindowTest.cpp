// The text-to-speech panel with the real speech component: conversion to the message's
// MP3, repeated conversions, and, with the private sound server, speaking aloud, restarting
// and stopping as heard on the server's monitor.
#include "fakes/FakePlatform.h"
#include "platform/speech/EspeakAudioProbe.h"
#include "platform/speech/EspeakEngine.h"
#include "platform/speech/EspeakOutput.h"
#include "platform/Factories.h"
#include "audio/Captions.h"
#include "audio/SpeechText.h"
#include "platform/audio/AudioDecoder.h"

#include <QComboBox>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTextCursor>

#include <gtest/gtest.h>

namespace parlivo::test {
namespace {

class SpeechWindowTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (!EspeakEngine::available())
            GTEST_SKIP() << "the speech synthesiser's data files are not installed";
        fake.platform().createSpeechEngine = makeSpeechEngine;
        w = fake.makeWindow();
        ASSERT_NE(w->tts, nullptr);
    }

    // Converts and waits for the outcome; true when the draft has its audio.
    bool convertNow()
    {
        w->Button15_Click();
        return waitUntil([&] { return w->draft.i_recorded || w->status().contains("failed"); }) && w->draft.i_recorded;
    }

    // Seconds of speech the synthesiser makes of the panel's text with the panel's voice.
    double synthesisedSeconds()
    {
        QTemporaryDir dir;
        EspeakEngine e;
        bool done = false;
        QObject::connect(&e, &SpeechEngine::speakToFileFinished, [&](bool, const QString &) { done = true; });
        e.setOutputFormat(SpeechFormat::WAV);
        e.selectVoice(w->Combo2->currentIndex());
        e.speakToFile(speechTextOf(w->Text4->toPlainText()), dir.path() + "/ref.wav", 1);
        waitUntil([&] { return done; });
        return probeWav(dir.path() + "/ref.wav").seconds();
    }

    FakePlatform fake;
    std::unique_ptr<frmMAIN> w;
};

TEST_F(SpeechWindowTest, ConvertingTheInitialTextMakesTheMessagesMp3)
{
    ASSERT_TRUE(convertNow()) << qPrintable(w->status());
    const QString out = w->txtRecFilename->text();
    EXPECT_EQ(w->draft.my_recording, out);
    EXPECT_TRUE(out.startsWith(w->folders().tempFolder()));
    const Mp3Probe mp3 = probeMp3(out);
    ASSERT_TRUE(mp3.valid);
    EXPECT_EQ(mp3.sampleRate, 44100);
    EXPECT_TRUE(mp3.mono);
    EXPECT_EQ(mp3.infoFrames, mp3.frames);
    const double expected = synthesisedSeconds();
    EXPECT_GT(expected, 3.0);
    EXPECT_NEAR(mp3.seconds, expected, 0.1);
    EXPECT_EQ(w->status(), "Text 2 Speech engine work done!");
    EXPECT_FALSE(w->Text4->textCursor().hasSelection());
}

// Where in `audio` the 300 ms of `reference` that begin at fromMs sit best, searched near nearMs.
qint64 foundAt(const DecodedAudio &reference, qint64 fromMs, const DecodedAudio &audio, qint64 nearMs)
{
    const auto *ref = reinterpret_cast<const qint16 *>(reference.pcm.constData());
    const auto *a = reinterpret_cast<const qint16 *>(audio.pcm.constData());
    const qint64 rate = reference.sampleRate, len = rate * 3 / 10, from = fromMs * rate / 1000;
    qint64 best = -1;
    double bestDiff = 0;
    for (qint64 ms = nearMs - 200; ms <= nearMs + 200; ++ms) {
        const qint64 at = ms * rate / 1000;
        if (at < 0 || at + len > audio.frames || from + len > reference.frames)
            continue;
        double diff = 0;
        for (qint64 i = 0; i < len; i += 2)
            diff += std::abs(double(ref[from + i]) - a[at + i]);
        if (best < 0 || diff < bestDiff)
            best = ms, bestDiff = diff;
    }
    return best;
}

TEST_F(SpeechWindowTest, AHandTrimKeepsTheCaptionsWithTheirWords)
{
    w->Text4->setPlainText(QStringLiteral("One morning we walked down to the river. Later that day it rained, "
                                          "so we went home early and made some tea."));
    ASSERT_TRUE(convertNow()) << qPrintable(w->status());
    QVector<CaptionCue> before, after;
    QString why;
    ASSERT_TRUE(readWebVtt(w->draft.my_captions.webVtt.toUtf8(), &before, &why)) << qPrintable(why);
    ASSERT_GE(before.size(), 2);
    const DecodedAudio original = decodeAudioFile(w->draft.my_recording);
    ASSERT_TRUE(original.ok());

    // Cut all but the pause after the first phrase, and a little of the end.
    const qint64 cut = before[1].startMs - 50, end = qint64(original.seconds() * 1000) - 200;
    QSignalSpy edited(w.get(), &frmMAIN::audioEditFinished);
    w->trimAudio(cut, end);
    ASSERT_TRUE(edited.wait(15000));
    ASSERT_TRUE(readWebVtt(w->draft.my_captions.webVtt.toUtf8(), &after, &why)) << qPrintable(why);
    ASSERT_EQ(after.size(), before.size() - 1);   // the first phrase is no longer heard
    const DecodedAudio trimmed = decodeAudioFile(w->draft.my_recording);
    ASSERT_TRUE(trimmed.ok());
    for (int i = 0; i < after.size(); ++i) {
        // Each cue starts where the audio its words began with now is.
        EXPECT_EQ(after[i].text, before[i + 1].text);
        EXPECT_NEAR(foundAt(original, before[i + 1].startMs, trimmed, after[i].startMs), after[i].startMs, 50)
            << qPrintable(after[i].text);
    }
}

TEST_F(SpeechWindowTest, ASecondConversionReplacesTheFirst)
{
    w->Text4->setPlainText("A first message that is quite a bit longer than the one that follows it, "
                           "so the two files cannot be mistaken for each other.");
    ASSERT_TRUE(convertNow());
    const QString out = w->draft.my_recording;
    const qint64 first = QFileInfo(out).size();

    w->Text4->setPlainText("Second.");
    ASSERT_TRUE(convertNow());
    EXPECT_EQ(w->draft.my_recording, out);
    EXPECT_LT(QFileInfo(out).size(), first / 3);
    EXPECT_NEAR(probeMp3(out).seconds, synthesisedSeconds(), 0.1);

    // Pressed twice at once: only the second text ends up in the file, and the draft
    // has audio only once it is there.
    w->Text4->setPlainText("This text is released before it is ever written, because convert is pressed again.");
    w->Button15_Click();
    w->Text4->setPlainText("Last one.");
    w->Button15_Click();
    EXPECT_FALSE(w->draft.i_recorded);
    ASSERT_TRUE(waitUntil([&] { return w->draft.i_recorded; }));
    waitUntil([] { return false; }, 500);
    EXPECT_NEAR(probeMp3(out).seconds, synthesisedSeconds(), 0.1);
}

// Records the default sink's monitor; every chunk with the time it arrived.
class MonitorRecorder
{
public:
    static constexpr int Rate = 8000;
    bool start()
    {
        QObject::connect(&m_parec, &QProcess::readyReadStandardOutput, [this] {
            m_chunks.append({m_clock.elapsed(), m_parec.readAllStandardOutput()});
        });
        m_clock.start();
        m_parec.start("parec", {"-d", "@DEFAULT_MONITOR@", "--raw", "--format=s16le", "--channels=1",
                                "--rate=" + QString::number(Rate), "--latency-msec=20"});
        return m_parec.waitForStarted(3000);
    }
    ~MonitorRecorder()
    {
        m_parec.kill();
        m_parec.waitForFinished(2000);
    }
    qint64 now() const { return m_clock.elapsed(); }
    bool receiving() const { return !m_chunks.isEmpty(); }
    // Loudest sample among the chunks that arrived between from and to (ms on this clock).
    int peak(qint64 from, qint64 to) const
    {
        int p = 0;
        for (const auto &[at, data] : m_chunks) {
            if (at < from || at > to)
                continue;
            const auto *s = reinterpret_cast<const qint16 *>(data.constData());
            for (qsizetype i = 0; i < data.size() / 2; ++i)
                p = std::max(p, std::abs(int(s[i])));
        }
        return p;
    }

private:
    QProcess m_parec;
    QElapsedTimer m_clock;
    QList<QPair<qint64, QByteArray>> m_chunks;
};

class SpeechAloudTest : public SpeechWindowTest
{
protected:
    void SetUp() override
    {
        if (qEnvironmentVariableIsEmpty("PARLIVO_PULSE"))
            GTEST_SKIP() << "needs the private sound server (./dev test)";
        SpeechWindowTest::SetUp();
    }
    QString selected() const { return w->Text4->textCursor().selectedText(); }
};

TEST_F(SpeechAloudTest, PlayMarksTheWordsAsHeardAndRestartsWhenPressedAgain)
{
    QStringList marked;
    QObject::connect(w->Text4, &QPlainTextEdit::selectionChanged, [&] {
        if (w->Text4->textCursor().hasSelection())
            marked << w->Text4->textCursor().selectedText();
    });
    w->Button16_Click();
    ASSERT_TRUE(waitUntil([&] { return marked.size() >= 4; }, 10000)) << qPrintable(w->status());
    EXPECT_EQ(w->status(), "Text 2 Speech engine working...");
    EXPECT_EQ(marked.mid(0, 4), (QStringList{"Input", "what", "text", "you"}));
    EXPECT_FALSE(w->draft.i_recorded);

    marked.clear();
    w->Button16_Click();   // while still speaking
    ASSERT_TRUE(waitUntil([&] { return !marked.isEmpty(); }, 10000));
    EXPECT_EQ(marked.first(), "Input");

    ASSERT_TRUE(waitUntil([&] { return w->status() == "Text 2 Speech engine work done!"; }, 20000));
    EXPECT_EQ(marked.last(), "Convert");
    EXPECT_FALSE(w->Text4->textCursor().hasSelection());
}

TEST_F(SpeechAloudTest, StopSilencesTheOutput)
{
    MonitorRecorder monitor;
    ASSERT_TRUE(monitor.start());
    ASSERT_TRUE(waitUntil([&] { return monitor.receiving(); }, 10000)) << "the monitor records nothing";
    w->Button16_Click();
    ASSERT_TRUE(waitUntil([&] { return !selected().isEmpty(); }, 10000));
    const qint64 heardFrom = monitor.now();
    waitUntil([] { return false; }, 700);
    const qint64 stopAt = monitor.now();
    w->Button19_Click();
    EXPECT_EQ(w->status(), "Text 2 Speech engine work done!");
    waitUntil([] { return false; }, 800);
    EXPECT_GT(monitor.peak(heardFrom, stopAt), 1000) << "nothing was heard while speaking";
    EXPECT_LT(monitor.peak(stopAt + 150, monitor.now()), 50) << "still sounding after stop";
}

} // namespace
} // namespace parlivo::test
