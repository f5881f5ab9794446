#include "publish/WebPicture.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QImageReader>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace parlivo;

namespace {

QString saved(const QTemporaryDir &dir, const QString &name, const QImage &image)
{
    const QString path = dir.filePath(name);
    image.save(path, "PNG");
    return path;
}

} // namespace

TEST(WebPicture, PhotosBecomeJpegOfAtMost1600PixelsAndDrawingsStayPng)
{
    QTemporaryDir dir;
    const QString out = dir.path() + "/";
    QImage photo(2400, 1200, QImage::Format_RGB32);
    for (int y = 0; y < photo.height(); ++y)
        for (int x = 0; x < photo.width(); ++x)
            photo.setPixel(x, y, qRgb(x % 256, y % 256, (x + y) % 256));
    QImage drawing(2400, 1200, QImage::Format_RGB32);
    drawing.fill(QColor(Qt::darkBlue).rgb());
    QImage sticker(300, 200, QImage::Format_ARGB32);
    sticker.fill(Qt::transparent);

    struct Case { const char *name; QImage image; const char *ext, *type; QSize size; };
    const Case cases[] = {
        {"photo.png", photo, ".jpeg", "image/jpeg", {1600, 800}},
        {"drawing.png", drawing, ".png", "image/png", {1600, 800}},
        {"sticker.png", sticker, ".png", "image/png", {300, 200}},   // never enlarged
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const WebPicture r = writeWebPicture(saved(dir, c.name, c.image), out, "B");
        ASSERT_TRUE(r.ok) << r.error.toStdString();
        EXPECT_EQ(r.path, out + "B" + c.ext);
        EXPECT_EQ(r.mediaType, c.type);
        EXPECT_EQ(r.size, c.size);
        EXPECT_EQ(QImageReader(r.path).size(), c.size);
        QFile::remove(r.path);
    }
    // Nothing is left under the name that waits for the type.
    EXPECT_FALSE(QFile::exists(out + "B.picture"));
    EXPECT_FALSE(writeWebPicture(dir.filePath("missing.png"), out, "B").ok);
    EXPECT_EQ(QDir(out).entryList({"B*"}, QDir::Files), QStringList());
}

TEST(WebPicture, AnAnimationWiderThanTheLimitIsKeptWhole)
{
    // A 2000-pixel-wide screen holding two small frames.
    const QByteArray header = QByteArray("GIF89a") + QByteArray("\xD0\x07\x01\x00\x80\x00\x00", 7) + QByteArray("\0\0\0\xff\xff\xff", 6);
    const QByteArray loop = QByteArray("\x21\xFF\x0BNETSCAPE2.0\x03\x01\x00\x00\x00", 19);
    const QByteArray control = QByteArray("\x21\xF9\x04\x00\x0a\x00\x00\x00", 8);
    const QByteArray frame = QByteArray("\x2C\0\0\0\0\x02\0\x01\0\0\x02\x02\x44\x01\x00", 15);
    QTemporaryDir dir;
    QFile gif(dir.filePath("wide.gif"));
    ASSERT_TRUE(gif.open(QIODevice::WriteOnly));
    gif.write(header + loop + control + frame + control + frame + "\x3B");
    gif.close();
    const WebPicture r = writeWebPicture(gif.fileName(), dir.path() + "/", "B");
    ASSERT_TRUE(r.ok) << r.error.toStdString();
    EXPECT_EQ(r.path, dir.path() + "/B.gif");
    EXPECT_EQ(r.mediaType, "image/gif");
    EXPECT_EQ(QImageReader(r.path).imageCount(), 2);
}
