// The MP3 encoder and file writer against the real encoder and decoder: format, exact
// duration, the tone's pitch, replacing files, and failures that must not lose audio.
#include "Mp3TestSignals.h"
#include "audio/Mp3Info.h"
#include "platform/audio/AudioDecoder.h"
#include "platform/audio/Mp3Encoder.h"
#include "platform/audio/Mp3FileWriter.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cmath>
#include <gtest/gtest.h>
#include <vector>

using namespace parlivo;

namespace {

using parlivo::test::bytesOf;
using parlivo::test::pitchOf;
using parlivo::test::tone;

QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

TEST(Mp3Encoding, ConstantRateMonoWithExactDurationAndPitch)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("tone.mp3"));
    Mp3Encoder enc;
    QString error;
    ASSERT_TRUE(enc.open(path, 44100, 44100, 1, 128, &error)) << qPrintable(error);
    const auto samples = tone(440, 2.5);
    // Fed in uneven pieces, as a recorder would.
    const int pieces[] = {1000, 44100, 17, 30000};
    size_t at = 0;
    for (int k = 0; at < samples.size(); ++k) {
        const int n = int(std::min<size_t>(pieces[k % 4], samples.size() - at));
        ASSERT_TRUE(enc.encode(samples.data() + at, n));
        at += n;
    }
    ASSERT_TRUE(enc.close(&error)) << qPrintable(error);
    EXPECT_TRUE(enc.close());   // twice is harmless

    const Mp3Info info = readMp3InfoFile(path);
    ASSERT_TRUE(info.valid);
    EXPECT_EQ(info.sampleRate, 44100);
    EXPECT_EQ(info.channels, 1);
    EXPECT_EQ(info.bitrateKbps, 128);
    EXPECT_TRUE(info.constantBitrate);
    EXPECT_TRUE(info.hasInfoFrame);
    EXPECT_EQ(info.infoKind, QStringLiteral("Info"));
    EXPECT_NEAR(info.seconds(), 2.5, 0.001);

    const DecodedAudio audio = decodeAudioFile(path);
    ASSERT_TRUE(audio.ok()) << qPrintable(audio.error);
    EXPECT_EQ(audio.sampleRate, 44100);
    EXPECT_EQ(audio.channels, 1);
    EXPECT_NEAR(audio.seconds(), 2.5, 0.03);
    EXPECT_NEAR(pitchOf(audio.pcm, audio.sampleRate), 440.0, 2.0);
}

TEST(Mp3Encoding, ResamplesAndRejectsBadInput)
{
    QTemporaryDir dir;
    Mp3Encoder enc;
    const QString path = dir.filePath(QStringLiteral("speech.mp3"));
    ASSERT_TRUE(enc.open(path, 22050, 44100, 1, 128));
    EXPECT_EQ(enc.outputRate(), 44100);
    const auto samples = tone(300, 1.0, 22050);
    ASSERT_TRUE(enc.encode(samples.data(), int(samples.size())));
    ASSERT_TRUE(enc.close());
    const DecodedAudio audio = decodeAudioFile(path);
    ASSERT_TRUE(audio.ok());
    EXPECT_EQ(audio.sampleRate, 44100);
    EXPECT_NEAR(audio.seconds(), 1.0, 0.03);
    EXPECT_NEAR(pitchOf(audio.pcm, audio.sampleRate), 300.0, 2.0);

    QString error;
    EXPECT_FALSE(enc.open(dir.filePath(QStringLiteral("no/such/folder/x.mp3")), 44100, 44100, 1, 128, &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_FALSE(enc.isOpen());
    EXPECT_FALSE(enc.encode(samples.data(), 10));
    EXPECT_FALSE(enc.open(path, 44100, 44100, 3, 128, &error));
}

TEST(Mp3Writer, CreateReplacesOnCloseAndFailuresKeepTheEarlierFile)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("rec.mp3"));
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("an earlier recording");
    }
    Mp3FileWriter w;
    w.setMp3Output(44100, 128, 1);
    w.createFile(path, 0);
    ASSERT_EQ(w.openStatus(), 0) << qPrintable(w.lastError());
    EXPECT_EQ(w.fileSampleRate(), 44100);
    EXPECT_EQ(w.fileChannelCount(), 1);
    const QByteArray block = bytesOf(tone(440, 1.0));
    w.write(block);
    w.write(block.left(1001));              // an odd byte is carried, not lost or misaligned
    w.write(block.mid(1001, 44100 * 2 - 1001));
    w.close();
    EXPECT_TRUE(w.lastError().isEmpty()) << qPrintable(w.lastError());
    EXPECT_FALSE(QFile::exists(path + QStringLiteral(".part")));
    const DecodedAudio audio = decodeAudioFile(path);
    ASSERT_TRUE(audio.ok()) << qPrintable(audio.error);
    EXPECT_NEAR(audio.seconds(), 2.0, 0.03);
    EXPECT_NEAR(pitchOf(audio.pcm, 44100), 440.0, 2.0);

    // A recording given up (the device did not start) leaves the earlier file alone.
    const QByteArray before = readAll(path);
    w.createFile(path, 0);
    ASSERT_EQ(w.openStatus(), 0);
    w.write(block);
    w.abandon();
    EXPECT_EQ(readAll(path), before);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("rec.mp3")});

    // A second recording replaces the first.
    w.createFile(path, 0);
    w.write(block.left(44100));
    w.close();
    EXPECT_NEAR(decodeAudioFile(path).seconds(), 0.5, 0.03);

    // A path that cannot be created reports why and writes nothing.
    w.createFile(dir.filePath(QStringLiteral("missing/rec.mp3")), 0);
    EXPECT_LT(w.openStatus(), 0);
    EXPECT_TRUE(w.lastError().contains(QStringLiteral("missing/rec.mp3"))) << qPrintable(w.lastError());
    w.write(block);
    w.close();
    w.createFile(dir.path(), 0);
    EXPECT_LT(w.openStatus(), 0);
}

TEST(AudioDecoding, ReadableErrorsAndWav)
{
    QTemporaryDir dir;
    EXPECT_EQ(decodeAudioFile(dir.filePath(QStringLiteral("absent.mp3"))).error, QStringLiteral("file not found"));
    EXPECT_EQ(decodeAudioFile(QString()).error, QStringLiteral("file not found"));
    EXPECT_EQ(decodeAudioFile(dir.path()).error, QStringLiteral("file not found"));
    const QString text = dir.filePath(QStringLiteral("notes.mp3"));
    {
        QFile f(text);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(QByteArray("this is not audio at all\n").repeated(50));
    }
    EXPECT_EQ(decodeAudioFile(text).error, QStringLiteral("not an audio file"));

    // A plain 16-bit WAV.
    const QByteArray pcm = bytesOf(tone(1000, 0.5, 22050));
    const QString wavPath = dir.filePath(QStringLiteral("chime.wav"));
    ASSERT_TRUE(parlivo::test::writeWav(wavPath, pcm, 22050));
    const DecodedAudio audio = decodeAudioFile(wavPath);
    ASSERT_TRUE(audio.ok());
    EXPECT_EQ(audio.sampleRate, 22050);
    EXPECT_EQ(audio.frames, 11025);
    EXPECT_EQ(audio.pcm, pcm);

    // For editing, channels are averaged into floats: a tone on the left alone comes out at half.
    std::vector<qint16> stereo;
    for (qint16 v : tone(440, 0.5))
        stereo.insert(stereo.end(), {v, 0});
    const QString stereoPath = dir.filePath(QStringLiteral("left.mp3"));
    Mp3Encoder encoder;
    ASSERT_TRUE(encoder.open(stereoPath, 44100, 44100, 2, 128) && encoder.encode(stereo.data(), int(stereo.size() / 2))
                && encoder.close());
    EXPECT_EQ(decodeAudioFileMono(stereoPath, 400).error, QStringLiteral("the audio is too long to edit here"));
    const DecodedMono mono = decodeAudioFileMono(stereoPath, 600);
    ASSERT_TRUE(mono.ok());
    EXPECT_EQ(mono.sampleRate, 44100);
    EXPECT_NEAR(double(mono.samples.size()), 22050, 60);
    double peak = 0;
    for (float v : mono.samples)
        peak = std::max(peak, double(std::fabs(v)));
    EXPECT_NEAR(peak, 0.25, 0.02);
    EXPECT_EQ(decodeAudioFileMono(text, 600).error, QStringLiteral("not an audio file"));
}
