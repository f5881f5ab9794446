#include "WebPicture.h"

#include "CleanCopy.h"

#include <QFile>
#include <QImageReader>

namespace parlivo {

WebPicture writeWebPicture(const QString &source, const QString &folder, const QString &baseName)
{
    WebPicture r;
    QImageReader reader(source);
    reader.setDecideFormatFromContent(true);
    // Scaling an animation would keep its first picture only.
    const bool animated = reader.supportsAnimation() && reader.imageCount() != 1;
    PictureOptions options;
    options.maxLongSide = animated ? 0 : WebPictureLongSide;
    options.jpegQuality = WebPictureJpegQuality;
    options.photosAsJpeg = true;
    // Its type is known once it is written; until then it waits under a name of no type.
    const QString pending = folder + baseName + QStringLiteral(".picture");
    const CleanPicture clean = writeCleanPicture(source, pending, options);
    if (!clean.ok) {
        QFile::remove(pending);
        r.error = clean.error;
        return r;
    }
    // A JPEG is named ".jpeg": ".jpg" is the video poster's, under the same base name.
    struct Kind { const char *format, *extension, *type; };
    static const Kind kinds[] = {
        {"jpeg", ".jpeg", "image/jpeg"}, {"png", ".png", "image/png"}, {"gif", ".gif", "image/gif"},
        {"webp", ".webp", "image/webp"}, {"bmp", ".bmp", "image/bmp"},
    };
    QString extension = QStringLiteral(".png");
    for (const Kind &k : kinds) {
        if (clean.format == k.format) {
            extension = QString::fromLatin1(k.extension);
            r.mediaType = QString::fromLatin1(k.type);
        }
    }
    r.path = folder + baseName + extension;
    QFile::remove(r.path);
    if (!QFile::rename(pending, r.path)) {
        QFile::remove(pending);
        r.error = QStringLiteral("its copy could not be named %1").arg(r.path);
        return r;
    }
    r.size = clean.size;
    r.ok = true;
    return r;
}

} // namespace parlivo
