// What publishing accepts for each item, by content: a renamed file of another kind is named
// and refused, whatever its name says.
#include "fakes/MediaSamples.h"
#include "publish/ContentCheck.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace parlivo;
using namespace parlivo::test;

TEST(ContentCheck, EachItemMustBeWhatItsRoleNeeds)
{
    QTemporaryDir dir;
    const auto file = [&](const QString &name, const QByteArray &data) {
        const QString path = dir.path() + "/" + name;
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(data);
        return path;
    };
    const QString mp3 = file("voice.mp3", sampleMp3());
    const QString taggedMp3 = file("tagged.mp3", QByteArray("ID3\x04\0\0\0\0\0\x05", 10) + "xxxxx" + sampleMp3());
    const QString text = file("x.mp3", "Meet at 10 - Anna\n");
    const QString wav = file("birds.wav", sampleWav());
    const QString png = file("pic.gif", samplePicture());
    const QString exe = file("clip.avi", "MZ\x90\0\x03" + QByteArray(4000, '\0'));

    EXPECT_EQ(contentProblem(MediaRole::Audio, mp3), "");
    EXPECT_EQ(contentProblem(MediaRole::Audio, taggedMp3), "");
    EXPECT_EQ(contentProblem(MediaRole::Audio, text), "is not MP3 audio");
    EXPECT_EQ(contentProblem(MediaRole::Audio, wav), "is not MP3 audio");
    // Frames without a single one a player could decode: the encoder's header frame alone, or
    // frames whose audio data would begin before the file does.
    QByteArray header = sampleMp3().left(417), unreachable = header;
    header.replace(4 + 32, 4, "Info");
    unreachable[4] = char(0xff);
    unreachable[5] = char(0x80);
    EXPECT_EQ(contentProblem(MediaRole::Audio, file("header.mp3", header)), "is not MP3 audio");
    EXPECT_EQ(contentProblem(MediaRole::Audio, file("reservoir.mp3", unreachable + unreachable)), "is not MP3 audio");
    EXPECT_EQ(contentProblem(MediaRole::Audio, file("headed.mp3", header + sampleMp3())), "");
    EXPECT_EQ(contentProblem(MediaRole::Picture, png), "");
    EXPECT_EQ(contentProblem(MediaRole::Picture, QStringLiteral(PARLIVO_SOURCE_DIR "/assets/Images/Happy_Cat.jpg")), "");
    EXPECT_TRUE(contentProblem(MediaRole::Picture, mp3).startsWith("is not a picture"));
    EXPECT_EQ(contentProblem(MediaRole::BackgroundSound, wav), "");
    EXPECT_EQ(contentProblem(MediaRole::BackgroundSound, mp3), "is not a WAV sound");
    for (const char *format : {"AVI", "FLV", "MOV", "MPG", "MPEG", "SWF", "WMV"}) {
        SCOPED_TRACE(format);
        const QString video = file(QStringLiteral("v.") + format, sampleVideo(format));
        EXPECT_EQ(contentProblem(MediaRole::Video, video, format), "");
        EXPECT_EQ(contentProblem(MediaRole::Video, exe, format), QStringLiteral("is not a video in the %1 format").arg(format));
    }
    EXPECT_NE(contentProblem(MediaRole::Video, file("v2.avi", sampleVideo("WMV")), "AVI"), "") << "the chosen format counts";
}
