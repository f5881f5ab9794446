#include "WebPicture.h"

#include <QImageIOHandler>
#include <QImageReader>

namespace parlivo {

PictureFacts pictureFacts(const QString &path)
{
    PictureFacts facts;
    facts.extension = QStringLiteral(".gif");
    QImageReader reader(path);
    reader.setDecideFormatFromContent(true);
    if (!reader.canRead())
        return facts;
    // A JPEG is named ".jpeg": ".jpg" is the video poster's, under the same base name.
    struct Kind { const char *format, *extension, *type; };
    static const Kind kinds[] = {
        {"jpeg", ".jpeg", "image/jpeg"}, {"png", ".png", "image/png"}, {"gif", ".gif", "image/gif"},
        {"bmp", ".bmp", "image/bmp"},    {"webp", ".webp", "image/webp"},
    };
    const QByteArray format = reader.format();
    for (const Kind &k : kinds) {
        if (format == k.format) {
            facts.extension = QString::fromLatin1(k.extension);
            facts.mediaType = QString::fromLatin1(k.type);
        }
    }
    const QSize size = reader.size();
    if (size.isValid()) {
        const bool turned = reader.transformation() & QImageIOHandler::TransformationRotate90;
        facts.width = turned ? size.height() : size.width();
        facts.height = turned ? size.width() : size.height();
    }
    return facts;
}

} // namespace parlivo
