#pragma once
// The picture's copy for the page, which a phone may fetch over a slow line: at most 1600
// pixels on its long side (never enlarged), turned upright, without metadata, a photo as
// JPEG, a drawing or a transparent picture as PNG, an animated GIF as it is. It is named
// for what it is: JPEG bytes served under a ".gif" name go out as "image/gif", and
// link-preview crawlers that trust the type drop the picture.
#include <QSize>
#include <QString>

namespace parlivo {

inline constexpr int WebPictureLongSide = 1600;
inline constexpr int WebPictureJpegQuality = 82;

struct WebPicture
{
    bool ok = false;
    QString error;       // in plain words
    QString path;        // folder + baseName + its true extension
    QString mediaType;   // "image/jpeg", ...
    QSize size;          // as shown
};

// Writes the copy into folder (ending in "/"); a copy that cannot be made leaves nothing.
WebPicture writeWebPicture(const QString &source, const QString &folder, const QString &baseName);

} // namespace parlivo
