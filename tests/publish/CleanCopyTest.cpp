#include "publish/CleanCopy.h"

#include <QBuffer>
#include <QFile>
#include <QImage>
#include <QImageReader>
#include <QTemporaryDir>
#include <QtEndian>
#include <gtest/gtest.h>

using namespace parlivo;

namespace {

QByteArray be16(int v) { return QByteArray(1, char(v >> 8)) + char(v & 0xFF); }
QByteArray le32(quint32 v)
{
    QByteArray b(4, '\0');
    qToLittleEndian(v, b.data());
    return b;
}

ReadAt readerOf(const QByteArray &bytes)
{
    return [bytes](qint64 offset, qint64 length) { return offset < 0 ? QByteArray() : bytes.mid(offset, length); };
}

QByteArray encoded(const QImage &image, const char *format)
{
    QBuffer b;
    b.open(QIODevice::WriteOnly);
    image.save(&b, format, 95);
    return b.data();
}

QImage gradient(int w, int h)
{
    QImage image(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            image.setPixel(x, y, qRgb(x * 255 / w, y * 255 / h, 90));
    return image;
}

// An APP1 Exif segment with the orientation and a GPS pointer, as phones write them.
QByteArray exifSegment(int orientation)
{
    QByteArray tiff = QByteArray("MM\0\x2a", 4) + QByteArray("\0\0\0\x08", 4);
    tiff += be16(2);
    tiff += be16(0x0112) + be16(3) + QByteArray("\0\0\0\x01", 4) + be16(orientation) + be16(0);
    tiff += be16(0x8825) + be16(4) + QByteArray("\0\0\0\x01", 4) + QByteArray("\0\0\0\0", 4);
    tiff += QByteArray(4, '\0') + "GPS 48.8584 N 2.2945 E Make PhoneMaker";
    const QByteArray payload = QByteArray("Exif\0\0", 6) + tiff;
    return QByteArray("\xFF\xE1", 2) + be16(payload.size() + 2) + payload;
}

QByteArray withSegments(const QByteArray &jpeg, const QByteArray &segments)
{
    return jpeg.left(2) + segments + jpeg.mid(2);
}

QByteArray segment(int marker, const QByteArray &payload)
{
    return QByteArray(1, char(0xFF)) + char(marker) + be16(payload.size() + 2) + payload;
}

QByteArray pngChunk(const QByteArray &type, const QByteArray &data)
{
    QByteArray length(4, '\0');
    qToBigEndian(quint32(data.size()), length.data());
    return length + type + data + QByteArray(4, '\0');
}

} // namespace

TEST(CleanCopy, Mp3LosesEveryKindOfTagAndKeepsItsFramesExactly)
{
    QByteArray frames;
    for (int i = 0; i < 40; ++i)
        frames += QByteArray("\xFF\xFB\x90\x64", 4) + QByteArray(413, char(i));
    const QByteArray cover = QByteArray("APIC") + QByteArray(3000, 'c');   // cover art in the tag
    const QByteArray id3 = QByteArray("ID3\x03\x00\x00", 6) + QByteArray("\x00\x00\x17\x40", 4) + cover.leftJustified(0x17 * 128 + 0x40, '\0');
    const QByteArray apeBody = QByteArray(60, 'a');
    const QByteArray ape = apeBody + QByteArray("APETAGEX") + le32(2000) + le32(quint32(apeBody.size() + 32)) + le32(1)
                           + le32(0) + QByteArray(8, '\0');
    const QByteArray lyrics = QByteArray("LYRICSBEGIN") + "la la" + QByteArray("000016") + "LYRICS200";
    const QByteArray id3v1 = QByteArray("TAG") + QByteArray(125, 'n');
    const QByteArray file = id3 + id3 + frames + ape + lyrics + id3v1;
    const ByteRange r = mp3AudioRange(readerOf(file), file.size());
    EXPECT_EQ(file.mid(r.offset, r.length), frames);

    // Nothing but tags, and tags that claim more than the file holds.
    const QByteArray tagsOnly = id3 + id3v1;
    EXPECT_EQ(mp3AudioRange(readerOf(tagsOnly), tagsOnly.size()).length, 0);
    const QByteArray lying = QByteArray("ID3\x03\x00\x00\x7f\x7f\x7f\x7f", 10) + frames;
    EXPECT_EQ(mp3AudioRange(readerOf(lying), lying.size()).length, 0);
    for (qsizetype n = 0; n < file.size(); n += 97)
        mp3AudioRange(readerOf(file.left(n)), n);   // any cut is read without harm
}

TEST(CleanCopy, WavKeepsFormatAndSamplesOnly)
{
    const QByteArray fmt = QByteArray("fmt ") + le32(16) + QByteArray::fromHex("0100020044ac000010b1020004001000");
    const QByteArray samples = QByteArray(1001, '\x11') + QByteArray(1000, '\x22');   // odd: padded
    const QByteArray info = QByteArray("LIST") + le32(24) + "INFOIART" + le32(12) + QByteArray("Someone Me\0\0", 12);
    const QByteArray id3 = QByteArray("id3 ") + le32(10) + QByteArray(10, 'x');
    const QByteArray body = "WAVE" + info + fmt + "data" + le32(quint32(samples.size())) + samples + '\0' + id3;
    const QByteArray wav = "RIFF" + le32(quint32(body.size())) + body;

    const WavLayout layout = wavLayout(readerOf(wav), wav.size());
    ASSERT_TRUE(layout.ok);
    EXPECT_EQ(wav.mid(layout.data.offset, layout.data.length), samples);
    const QByteArray clean = layout.header + samples + '\0';
    EXPECT_EQ(clean, QByteArray("RIFF" + le32(quint32(clean.size() - 8)) + "WAVE" + fmt + "data" + le32(quint32(samples.size()))
                                + samples + '\0'));
    EXPECT_FALSE(clean.contains("Someone"));

    // A writer that streamed left the data size 0: the samples run to the end.
    QByteArray streamed = wav.left(wav.indexOf("data") + 4) + le32(0) + samples;
    const WavLayout s = wavLayout(readerOf(streamed), streamed.size());
    ASSERT_TRUE(s.ok);
    EXPECT_EQ(s.data.length, samples.size());
    EXPECT_FALSE(wavLayout(readerOf(wav.left(30)), 30).ok);
}

TEST(CleanCopy, JpegLosesExifCommentsAndTrailersLosslesslyUnlessItMustTurn)
{
    const QByteArray plain = encoded(gradient(64, 32), "jpeg");
    const QByteArray xmp = segment(0xE1, QByteArray("http://ns.adobe.com/xap/1.0/\0<x:xmpmeta>Creator Someone</x:xmpmeta>", 67));
    const QByteArray iptc = segment(0xED, "Photoshop 3.0\0 city Paris");
    const QByteArray comment = segment(0xFE, "taken at home");
    const QByteArray phone = withSegments(plain, exifSegment(1) + xmp + iptc + comment) + "MotionPhoto-video-bytes";

    bool rewrite = true;
    const QByteArray clean = pictureWithoutMetadata(phone, "jpeg", &rewrite);
    EXPECT_FALSE(rewrite);
    for (const char *hidden : {"Exif", "GPS", "xmpmeta", "Paris", "taken at home", "MotionPhoto"})
        EXPECT_FALSE(clean.contains(hidden)) << hidden;
    EXPECT_EQ(clean, pictureWithoutMetadata(plain, "jpeg", &rewrite));   // the same image data, byte for byte
    EXPECT_TRUE(clean.endsWith("\xFF\xD9"));

    // Turned on its side by the phone: the pixels are turned and written anew.
    QTemporaryDir dir;
    const QString source = dir.filePath("side.jpg"), target = dir.filePath("out.jpg");
    QFile f(source);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(withSegments(plain, exifSegment(6) + segment(0xE2, QByteArray("ICC_PROFILE\0\x01\x01 comment", 22))));
    f.close();
    EXPECT_TRUE(pictureWithoutMetadata(withSegments(plain, exifSegment(6)), "jpeg", &rewrite).size() > 0 && rewrite);
    const CleanPicture picture = writeCleanPicture(source, target);
    ASSERT_TRUE(picture.ok) << picture.error.toStdString();
    EXPECT_TRUE(picture.rewritten);
    EXPECT_EQ(picture.format, "jpeg");
    EXPECT_EQ(picture.size, QSize(32, 64));
    QFile out(target);
    ASSERT_TRUE(out.open(QIODevice::ReadOnly));
    const QByteArray written = out.readAll();
    EXPECT_FALSE(written.contains("Exif"));
    EXPECT_FALSE(written.contains("ICC_PROFILE"));
    EXPECT_EQ(QImage::fromData(written).size(), QSize(32, 64));

    for (qsizetype n = 0; n < phone.size(); n += 53)
        pictureWithoutMetadata(phone.left(n), "jpeg", &rewrite);
}

TEST(CleanCopy, PngAndGifKeepTheirPixelsAndAnimationButNotTheirNotes)
{
    const QImage image = gradient(20, 10);
    QByteArray png = encoded(image, "png");
    const qsizetype iend = png.size() - 12;
    png = png.left(iend) + pngChunk("tEXt", "Author\0Someone") + pngChunk("eXIf", "MM GPS") + pngChunk("tIME", "1234567")
          + pngChunk("iCCP", "profile\0\0zz") + png.mid(iend);
    bool rewrite = false;
    const QByteArray cleanPng = pictureWithoutMetadata(png, "png", &rewrite);
    for (const char *hidden : {"tEXt", "Someone", "eXIf", "tIME", "iCCP"})
        EXPECT_FALSE(cleanPng.contains(hidden)) << hidden;
    EXPECT_EQ(QImage::fromData(cleanPng, "png").convertToFormat(QImage::Format_RGB32), image);

    const QByteArray header = QByteArray("GIF89a") + QByteArray("\x02\x00\x01\x00\x80\x00\x00", 7) + QByteArray("\0\0\0\xff\xff\xff", 6);
    const QByteArray loop = QByteArray("\x21\xFF\x0BNETSCAPE2.0\x03\x01\x00\x00\x00", 19);
    const QByteArray xmp = QByteArray("\x21\xFF\x0BXMP DataXMP\x07<x:xmp>\x00", 23);
    const QByteArray comment = QByteArray("\x21\xFE\x08Our home\x00", 12);
    const QByteArray control = QByteArray("\x21\xF9\x04\x00\x0a\x00\x00\x00", 8);
    const QByteArray frame = QByteArray("\x2C\0\0\0\0\x02\0\x01\0\0\x02\x02\x44\x01\x00", 15);
    const QByteArray gif = header + loop + xmp + comment + control + frame + control + frame + "\x3B" + "trailer";
    const QByteArray cleanGif = pictureWithoutMetadata(gif, "gif", &rewrite);
    EXPECT_EQ(cleanGif, QByteArray(header + loop + control + frame + control + frame + "\x3B"));
    for (qsizetype n = 0; n < gif.size(); ++n)
        pictureWithoutMetadata(gif.left(n), "gif", &rewrite);
}
