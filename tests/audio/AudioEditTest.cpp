// Trimming and levelling on real files: decoded, measured and encoded as the window does it.
#include "audio/AudioEdit.h"
#include "audio/Captions.h"
#include "platform/Factories.h"
#include "platform/audio/AudioDecoder.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cmath>

namespace parlivo {
namespace {

constexpr int Rate = 44100;

// Steady room noise, the same every run.
void addNoise(std::vector<float> &s, float amplitude)
{
    quint32 state = 12345;
    for (float &v : s) {
        state = state * 1664525u + 1013904223u;
        v += amplitude * (float(state >> 8) / float(1u << 23) - 1.0f);
    }
}

// Syllables: a voiced tone with harmonics, 180 ms sounding and 70 ms apart, rising and falling.
void addSpeechLike(std::vector<float> &s, double from, double seconds, float amplitude)
{
    const qint64 a = qint64(from * Rate), n = qint64(seconds * Rate);
    for (qint64 i = 0; i < n; ++i) {
        const double t = double(i) / Rate;
        const double inSyllable = std::fmod(t, 0.25);
        if (inSyllable > 0.18)
            continue;
        const double envelope = std::sin(M_PI * inSyllable / 0.18) * (0.6 + 0.4 * std::sin(2 * M_PI * 0.7 * t));
        const double voice = std::sin(2 * M_PI * 150 * t) + 0.5 * std::sin(2 * M_PI * 300 * t) + 0.25 * std::sin(2 * M_PI * 450 * t);
        s[size_t(a + i)] += float(amplitude * envelope * voice / 1.75);
    }
}

LoudnessFigures measureFile(const QString &path, qint64 *ms)
{
    const DecodedAudio audio = decodeAudioFile(path);
    const std::vector<float> mono = monoOf(audio);
    *ms = audio.frames * 1000 / qMax(1, audio.sampleRate);
    return makeLoudnessMeter()->measure(mono.data(), qint64(mono.size()), audio.sampleRate, true);
}

AudioEdit automatic()
{
    AudioEdit edit;
    edit.trimSilence = true;
    edit.level = true;
    return edit;
}

TEST(AudioEdit, ANoisyRoomStillTrimsAndTheLevelLandsOnTheTarget)
{
    QTemporaryDir dir;
    // 2 s of room noise with the click of the mouse in it, 3 s of a quiet voice, 2 s of noise.
    std::vector<float> s(size_t(7 * Rate));
    addNoise(s, 0.01f);
    for (int i = 0; i < Rate / 200; ++i)
        s[size_t(Rate / 2 + i)] += (i % 2 ? 0.5f : -0.5f);
    addSpeechLike(s, 2.0, 3.0, 0.2f);
    const QString in = dir.filePath("in.wav"), out = dir.filePath("out.mp3");
    ASSERT_TRUE(writeWavFile(in, s.data(), qint64(s.size()), Rate));

    const std::unique_ptr<LoudnessMeter> meter = makeLoudnessMeter();
    const AudioEditResult r = editAudioFile(in, out, automatic(), *meter);
    ASSERT_TRUE(r.ok()) << r.error.toStdString();
    ASSERT_TRUE(r.written);
    EXPECT_FALSE(r.almostSilent);
    // The last syllable ends 70 ms before the 3 s are over.
    EXPECT_NEAR(r.cutStartMs, 2000 - SilencePadMs, 30);
    EXPECT_NEAR(r.keptMs, 2930 + 2 * SilencePadMs, 40);
    EXPECT_EQ(autoEditStatusText(r), QStringLiteral("Trimmed %1 s of silence").arg(r.trimmedSeconds(), 0, 'f', 1));

    qint64 ms = 0;
    const LoudnessFigures after = measureFile(out, &ms);
    EXPECT_NEAR(ms, r.keptMs, 60);
    EXPECT_NEAR(after.integratedLufs, TargetLoudnessLufs, 1.0);
    EXPECT_LT(after.truePeakDbtp, TruePeakCeilingDbtp);
}

TEST(AudioEdit, NoiseAloneIsNeitherCutNorRaised)
{
    QTemporaryDir dir;
    std::vector<float> s(size_t(5 * Rate));
    addNoise(s, 0.02f);
    const QString in = dir.filePath("in.wav"), out = dir.filePath("out.mp3");
    ASSERT_TRUE(writeWavFile(in, s.data(), qint64(s.size()), Rate));
    const AudioEditResult r = editAudioFile(in, out, automatic(), *makeLoudnessMeter());
    ASSERT_TRUE(r.ok());
    EXPECT_TRUE(r.almostSilent);
    EXPECT_FALSE(r.written);
    EXPECT_FALSE(QFile::exists(out));
    EXPECT_EQ(autoEditStatusText(r), QStringLiteral("The recording is almost silent: check the microphone"));
}

TEST(AudioEdit, AHandTrimKeepsTheSpanAndItsCaptionsMoveWithIt)
{
    QTemporaryDir dir;
    std::vector<float> s(size_t(4 * Rate));
    addSpeechLike(s, 0.0, 4.0, 0.3f);
    const QString in = dir.filePath("in.wav"), out = dir.filePath("out.mp3");
    ASSERT_TRUE(writeWavFile(in, s.data(), qint64(s.size()), Rate));
    AudioEdit edit;
    edit.startMs = 1000;
    edit.endMs = 2500;
    edit.alwaysWrite = true;
    const AudioEditResult r = editAudioFile(in, out, edit, *makeLoudnessMeter());
    ASSERT_TRUE(r.written);
    EXPECT_EQ(r.cutStartMs, 1000);
    EXPECT_EQ(r.keptMs, 1500);
    qint64 ms = 0;
    measureFile(out, &ms);
    EXPECT_NEAR(ms, 1500, 30);

    const QString vtt = QStringLiteral("WEBVTT\n\n00:00:00.000 --> 00:00:01.100\nGone,\n\n"
                                       "00:00:01.100 --> 00:00:01.800\nHello there,\n\n"
                                       "00:00:01.800 --> 00:00:02.400\nhow are you\n\n"
                                       "00:00:02.600 --> 00:00:03.000\ntoday?\n");
    QVector<CaptionCue> cues;
    QString why;
    ASSERT_TRUE(readWebVtt(retimedWebVtt(vtt, r.cutStartMs, r.keptMs).toUtf8(), &cues, &why));
    // The first lost all its words but the pause after them, the last was spoken after the span.
    ASSERT_EQ(cues.size(), 2);
    EXPECT_EQ(cues[0], (CaptionCue{100, 800, QStringLiteral("Hello there,")}));
    EXPECT_EQ(cues[1], (CaptionCue{800, 1400, QStringLiteral("how are you")}));
}

TEST(AudioEdit, PeaksAreLimitedWithoutTouchingTheRest)
{
    std::vector<float> s(size_t(Rate / 2));
    for (size_t i = 0; i < s.size(); ++i)
        s[i] = 0.2f * float(std::sin(2 * M_PI * 200 * double(i) / Rate));
    const std::vector<float> before = s;
    EXPECT_FALSE(limitPeaks(s, 0.8f, Rate));
    EXPECT_EQ(s, before);
    for (size_t i = 10000; i < 10100; ++i)
        s[i] *= 6.0f;   // a burst to 1.2
    EXPECT_TRUE(limitPeaks(s, 0.8f, Rate));
    float peak = 0;
    for (float v : s)
        peak = std::max(peak, std::fabs(v));
    EXPECT_LE(peak, 0.8f + 1e-5f);
    EXPECT_EQ(s[5000], before[5000]);
    EXPECT_EQ(s[15000], before[15000]);

    // A quarter of the sample rate, sampled 45 degrees off its crests: the samples reach
    // only 0.71 of the peak that plays between them.
    std::vector<float> between(size_t(Rate / 10));
    for (size_t i = 0; i < between.size(); ++i)
        between[i] = 0.9f * float(std::sin(M_PI / 2 * double(i) + M_PI / 4));
    EXPECT_NEAR(truePeakDb(between, 0.3f), 20 * std::log10(0.9), 0.2);
}

} // namespace
} // namespace parlivo
