#pragma once
// Copies of the sender's files that carry nothing the sender did not see or hear: no place
// where a photo was taken, no camera, no names in tags, no comments, no thumbnails. Sound
// keeps every sample as it was; a picture is rewritten from its pixels only where its
// orientation or colour profile must be applied, otherwise only the hidden parts are left out.
#include <QByteArray>
#include <QSize>
#include <QString>

#include <functional>
#include <utility>
#include <vector>

namespace parlivo {

// Reads up to `length` bytes of the file at `offset` (fewer at its end, none past it).
using ReadAt = std::function<QByteArray(qint64 offset, qint64 length)>;

// An MP3 without its ID3v2, ID3v1, APE and Lyrics3 tags: where its audio frames begin and
// how long they run. Length 0 when the file holds nothing but tags.
struct ByteRange
{
    qint64 offset = 0;
    qint64 length = 0;
};
ByteRange mp3AudioRange(const ReadAt &read, qint64 size);

// A WAV file as a new RIFF made of its "fmt ", "fact" and "data" chunks only (no LIST/INFO,
// id3, bext, iXML ...): the new header, then the samples copied from the source.
struct WavLayout
{
    bool ok = false;
    QByteArray header;        // "RIFF" size "WAVE" + fmt (+ fact) + "data" size
    ByteRange data;           // the samples in the source
};
WavLayout wavLayout(const ReadAt &read, qint64 size);

// The picture's bytes without metadata, or a null array when they cannot be cleaned
// losslessly (the caller then rewrites the pixels). Handles JPEG (APPn and COM segments
// and any trailer after the image), PNG (ancillary chunks that are not about how it looks),
// GIF (comments and application blocks other than the loop count) and WebP (EXIF, XMP
// and ICC chunks). `needsRewrite` is set when a JPEG's orientation or colour profile must
// be applied to its pixels.
QByteArray pictureWithoutMetadata(const QByteArray &bytes, const QByteArray &format, bool *needsRewrite);

struct PictureOptions
{
    // At most this many pixels on the long side (0: the picture's own size); a larger
    // picture is scaled down and rewritten.
    int maxLongSide = 0;
    int jpegQuality = 92;
    // When rewritten, an opaque picture of many colours (a photo) is written as JPEG, whatever
    // it was: as PNG it would weigh several times as much. Few colours or transparency stay PNG.
    bool photosAsJpeg = false;
};

struct CleanPicture
{
    bool ok = false;
    QString error;           // in plain words
    QByteArray format;       // the type written: "jpeg", "png", "gif", "bmp" or "webp"
    QSize size;              // as shown, orientation applied
    bool rewritten = false;  // the pixels were encoded anew
};

// Writes a clean copy of the picture at `source` to `target`; a copy that cannot be made
// leaves no target behind.
CleanPicture writeCleanPicture(const QString &source, const QString &target, const PictureOptions &options = {});

// Clean copies of sound: the same samples, no tags.
bool writeCleanMp3(const QString &source, const QString &target, QString *why);
bool writeCleanWav(const QString &source, const QString &target, QString *why);

} // namespace parlivo
