// A long recording encoded in two halves on two threads and joined: it must decode to the
// source's exact length everywhere, sound like one encoding, and carry an info frame that
// describes the joined stream as the encoder would have.
#include "audio/Mp3Info.h"
#include "platform/audio/AudioDecoder.h"
#include "platform/audio/Mp3Encoder.h"
#include "platform/audio/Mp3Frames.h"
#include "platform/audio/Mp3MonoFile.h"

#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

namespace parlivo {
namespace {

constexpr int Rate = 44100;

// Syllables of a voice gliding in pitch, with breath noise under them: the encoder switches
// block types at their onsets, which is where a badly joined seam would show.
std::vector<float> speechLike(double seconds)
{
    std::vector<float> s(size_t(seconds * Rate));
    quint32 state = 7;
    double phase = 0;
    for (size_t i = 0; i < s.size(); ++i) {
        state = state * 1664525u + 1013904223u;
        const double t = double(i) / Rate;
        const double inSyllable = std::fmod(t, 0.23);
        phase += 2 * M_PI * (120 + 40 * std::sin(2 * M_PI * 1.3 * t)) / Rate;
        double v = 0.01 * (double(state >> 8) / double(1u << 23) - 1.0);
        if (inSyllable < 0.17)
            v += 0.3 * std::sin(M_PI * inSyllable / 0.17)
                 * (std::sin(phase) + 0.5 * std::sin(3 * phase) + 0.3 * std::sin(5 * phase));
        s[i] = float(v);
    }
    return s;
}

std::vector<float> decoded(const QString &path)
{
    return decodeAudioFileMono(path, 3600 * 1000).samples;
}

double errorRms(const std::vector<float> &a, const std::vector<float> &b, qint64 from, qint64 to)
{
    double sum = 0;
    for (qint64 i = from; i < to; ++i)
        sum += double(a[size_t(i)] - b[size_t(i)]) * (a[size_t(i)] - b[size_t(i)]);
    return std::sqrt(sum / double(to - from));
}

double snrDb(const std::vector<float> &source, const std::vector<float> &out)
{
    double signal = 0;
    for (float v : source)
        signal += double(v) * v;
    const double noise = errorRms(source, out, 0, qint64(source.size()));
    return 10 * std::log10(signal / double(source.size()) / (noise * noise));
}

QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

TEST(Mp3MonoFile, TheInfoFrameRewrittenForItsOwnStreamIsTheEncodersOwn)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("one.mp3"));
    const std::vector<float> source = speechLike(3.0);
    Mp3Encoder encoder;
    ASSERT_TRUE(encoder.open(path, Rate, Rate, 1, 128));
    ASSERT_TRUE(encoder.encodeMono(source.data(), int(source.size())));
    ASSERT_TRUE(encoder.close());

    const QByteArray file = readAll(path);
    const std::vector<qsizetype> frames = mp3FrameOffsets(file);
    ASSERT_GT(frames.size(), 100u);
    ASSERT_EQ(frames.back(), file.size());
    const QByteArray original = file.left(frames[1]);
    const QByteArray audio = file.mid(frames[1]);
    std::vector<qsizetype> offsets;
    for (size_t i = 1; i < frames.size(); ++i)
        offsets.push_back(frames[i] - frames[1]);
    const Mp3Info info = readMp3Info(file);

    QByteArray rewritten = original;
    // Blank what the rewrite must fill in: counts, part of the seek table, delay and padding,
    // music length and both checksums.
    rewritten.replace(4 + 17 + 8, 100, QByteArray(100, '\0'));
    rewritten.replace(141 + 21, 3, QByteArray(3, '\0'));
    rewritten.replace(141 + 28, 8, QByteArray(8, '\0'));
    ASSERT_TRUE(rewriteMp3InfoFrame(rewritten, audio, offsets, info.encoderDelay, info.padding));
    EXPECT_EQ(rewritten, original);   // checksums and seek table included

    QByteArray notInfo = audio.left(offsets[1]);
    EXPECT_FALSE(rewriteMp3InfoFrame(notInfo, audio, offsets, 576, 100));
    EXPECT_FALSE(rewriteMp3InfoFrame(rewritten, audio, offsets, 576, 5000));   // padding has 12 bits
}

TEST(Mp3MonoFile, TwoHalvesJoinedDecodeToTheExactLengthAndSoundLikeOneEncoding)
{
    QTemporaryDir dir;
    const std::vector<float> source = speechLike(20.0);
    const qint64 n = qint64(source.size());
    const qint64 join = mp3JoinSample(n, Rate, Rate);
    ASSERT_GT(join, n / 3);
    EXPECT_EQ(mp3JoinSample(qint64(ShortestSplitMs) * Rate / 1000 - 1, Rate, Rate), 0);
    EXPECT_EQ(mp3JoinSample(n, 48000, Rate), 0);   // resampled: one piece

    const QString joinedPath = dir.filePath(QStringLiteral("joined.mp3"));
    const QString singlePath = dir.filePath(QStringLiteral("single.mp3"));
    QString error;
    ASSERT_TRUE(encodeMonoMp3File(joinedPath, source.data(), n, Rate, Rate, 128, &error)) << qPrintable(error);
    Mp3Encoder encoder;
    ASSERT_TRUE(encoder.open(singlePath, Rate, Rate, 1, 128));
    ASSERT_TRUE(encoder.encodeMono(source.data(), int(n)));
    ASSERT_TRUE(encoder.close());

    const Mp3Info info = readMp3InfoFile(joinedPath);
    const Mp3Info single = readMp3InfoFile(singlePath);
    ASSERT_TRUE(info.hasInfoFrame);
    EXPECT_TRUE(info.constantBitrate);
    EXPECT_EQ(info.infoFrameCount, info.audioFrames);
    EXPECT_EQ(info.audioFrames, single.audioFrames);
    EXPECT_EQ(info.encoderDelay, single.encoderDelay);
    EXPECT_EQ(info.padding, single.padding);

    const std::vector<float> joined = decoded(joinedPath);
    const std::vector<float> whole = decoded(singlePath);
    ASSERT_EQ(qint64(joined.size()), n);
    ASSERT_EQ(qint64(whole.size()), n);

    // Without the bit reservoir the second half has a little less to spend on hard frames.
    const double joinedSnr = snrDb(source, joined), singleSnr = snrDb(source, whole);
    EXPECT_GT(joinedSnr, singleSnr - 0.5) << "single " << singleSnr << " dB, joined " << joinedSnr << " dB";

    // No click: around the join the decoded audio is as close to the source as one
    // encoding's is there, and differs from it no more than elsewhere in the second half.
    const qint64 from = join - 2304, to = join + 2304;
    EXPECT_LT(errorRms(source, joined, from, to), 1.5 * errorRms(source, whole, from, to));
    auto largestDifference = [&](qint64 a, qint64 b) {
        float most = 0;
        for (qint64 i = a; i < b; ++i)
            most = std::max(most, std::fabs(joined[size_t(i)] - whole[size_t(i)]));
        return most;
    };
    EXPECT_LE(largestDifference(from, to), largestDifference(to, n));

    // Another decoder reads the same length from the info frame.
    if (QStandardPaths::findExecutable(QStringLiteral("ffmpeg")).isEmpty())
        GTEST_SKIP() << "ffmpeg missing";
    QProcess ffmpeg;
    ffmpeg.start(QStringLiteral("ffmpeg"), {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-i"),
                                            joinedPath, QStringLiteral("-f"), QStringLiteral("s16le"),
                                            QStringLiteral("-")});
    ASSERT_TRUE(ffmpeg.waitForFinished(30000));
    EXPECT_EQ(ffmpeg.readAllStandardOutput().size(), n * 2);
}

} // namespace
} // namespace parlivo
