#pragma once
// What the page needs to know of its picture: the name its bytes deserve and the size it
// shows at. A JPEG served under a ".gif" name goes out as "image/gif": browsers guess
// past that, link-preview crawlers that trust the type drop the picture.
#include <QString>

namespace parlivo {

struct PictureFacts
{
    QString extension;     // ".jpeg", ".png", ".gif", ".bmp", ".webp"; ".gif" when unknown
    QString mediaType;     // "image/jpeg", ...; "" when unknown
    int width = 0;         // as shown: a photo's orientation tag applied; 0 when unknown
    int height = 0;
};

// Reads the picture's header only, never its pixels.
PictureFacts pictureFacts(const QString &path);

} // namespace parlivo
