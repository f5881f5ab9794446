#include "fakes/MediaSamples.h"
#include "platform/audio/AudioDecoder.h"
#include "platform/audio/Mp3Copy.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace parlivo;
using parlivo::test::toneWav;

TEST(Mp3Copy, AnyChannelCountAndRateBecomesAPlayableMp3OfTheSameLength)
{
    QTemporaryDir dir;
    struct Case { int channels, rate, expectChannels, expectRate; };
    for (const Case c : {Case{1, 22050, 1, 22050}, Case{2, 44100, 2, 44100}, Case{6, 96000, 2, 44100}}) {
        SCOPED_TRACE(c.channels);
        const QString wav = dir.filePath("in.wav"), mp3 = dir.filePath("out.mp3");
        QFile f(wav);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(toneWav(c.channels, c.rate, 2.0));
        f.close();
        ASSERT_EQ(writeMp3Copy(wav, mp3), QString());
        const DecodedAudio back = decodeAudioFile(mp3);
        ASSERT_TRUE(back.ok()) << back.error.toStdString();
        EXPECT_EQ(back.channels, c.expectChannels);
        EXPECT_EQ(back.sampleRate, c.expectRate);
        EXPECT_NEAR(back.seconds(), 2.0, 0.1);
    }
    // What the decoder cannot read leaves no copy behind.
    QFile bad(dir.filePath("bad.wav"));
    ASSERT_TRUE(bad.open(QIODevice::WriteOnly));
    bad.write("RIFF....WAVEjunk");
    bad.close();
    EXPECT_FALSE(writeMp3Copy(bad.fileName(), dir.filePath("bad.mp3")).isEmpty());
    EXPECT_FALSE(QFile::exists(dir.filePath("bad.mp3")));
}
