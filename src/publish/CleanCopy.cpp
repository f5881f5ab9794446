#include "CleanCopy.h"

#include <QBuffer>
#include <QColorSpace>
#include <QFile>
#include <QImage>
#include <QImageReader>
#include <QImageWriter>
#include <QSaveFile>
#include <QSet>
#include <QtEndian>

#include <cstring>

namespace parlivo {

namespace {

quint32 be32(const char *p) { return qFromBigEndian<quint32>(p); }
quint16 be16(const char *p) { return qFromBigEndian<quint16>(p); }
quint32 le32(const char *p) { return qFromLittleEndian<quint32>(p); }

QByteArray le32Bytes(quint32 v)
{
    QByteArray b(4, '\0');
    qToLittleEndian(v, b.data());
    return b;
}

// The 28-bit size of an ID3v2 header or footer, or -1 when its bytes are not syncsafe.
qint64 syncsafe(const QByteArray &b, int at)
{
    qint64 v = 0;
    for (int i = 0; i < 4; ++i) {
        const auto c = quint8(b.at(at + i));
        if (c & 0x80)
            return -1;
        v = (v << 7) | c;
    }
    return v;
}

QByteArray readFileAt(QFile &f, qint64 offset, qint64 length)
{
    if (offset < 0 || length <= 0 || !f.seek(offset))
        return {};
    return f.read(length);
}

// Writes `head` and then `range` of `source` to `target`; nothing stays of a failed copy.
bool writeRange(QFile &source, const QString &target, const QByteArray &head, ByteRange range,
                const QByteArray &tail, QString *why)
{
    QSaveFile out(target);
    if (!out.open(QIODevice::WriteOnly)) {
        *why = out.errorString();
        return false;
    }
    bool ok = out.write(head) == head.size() && source.seek(range.offset);
    QByteArray buffer(1 << 20, Qt::Uninitialized);
    for (qint64 left = range.length; ok && left > 0;) {
        const qint64 n = source.read(buffer.data(), qMin<qint64>(buffer.size(), left));
        if (n <= 0) {
            *why = n < 0 ? source.errorString() : QStringLiteral("the file became shorter while it was copied");
            out.cancelWriting();
            return false;
        }
        ok = out.write(buffer.constData(), n) == n;
        left -= n;
    }
    ok = ok && out.write(tail) == tail.size();
    if (!ok || !out.commit()) {
        *why = out.errorString();
        out.cancelWriting();
        return false;
    }
    return true;
}

// --- JPEG ---

// The orientation (1..8) in an APP1 "Exif" payload, 1 when it names none.
int exifOrientation(const QByteArray &payload)
{
    if (!payload.startsWith(QByteArrayLiteral("Exif\0\0")) || payload.size() < 6 + 8)
        return 1;
    const QByteArray tiff = payload.mid(6);
    const bool little = tiff.startsWith("II");
    if (!little && !tiff.startsWith("MM"))
        return 1;
    const auto u16 = [&](qint64 at) -> int {
        if (at < 0 || at + 2 > tiff.size())
            return -1;
        return little ? qFromLittleEndian<quint16>(tiff.constData() + at) : be16(tiff.constData() + at);
    };
    const auto u32 = [&](qint64 at) -> qint64 {
        if (at < 0 || at + 4 > tiff.size())
            return -1;
        return little ? qFromLittleEndian<quint32>(tiff.constData() + at) : be32(tiff.constData() + at);
    };
    const qint64 ifd = u32(4);
    const int count = u16(ifd);
    for (int i = 0; ifd >= 0 && i < count; ++i) {
        const qint64 entry = ifd + 2 + qint64(i) * 12;
        if (u16(entry) == 0x0112) {
            const int value = u16(entry + 8);
            return value >= 1 && value <= 8 ? value : 1;
        }
        if (u16(entry) < 0)
            break;
    }
    return 1;
}

QByteArray jpegWithoutMetadata(const QByteArray &b, bool *needsRewrite)
{
    if (b.size() < 4 || quint8(b[0]) != 0xFF || quint8(b[1]) != 0xD8)
        return {};
    QByteArray out("\xFF\xD8", 2);
    out.reserve(b.size());
    qsizetype pos = 2;
    while (pos + 1 < b.size()) {
        if (quint8(b[pos]) != 0xFF)
            return {};
        while (pos + 1 < b.size() && quint8(b[pos + 1]) == 0xFF)
            ++pos;   // fill bytes
        if (pos + 1 >= b.size())
            break;
        const quint8 marker = quint8(b[pos + 1]);
        if (marker == 0xD9) {
            out += QByteArray("\xFF\xD9", 2);
            return out;   // what follows the image (a trailer, an appended video) is not the picture
        }
        if ((marker >= 0xD0 && marker <= 0xD7) || marker == 0x01) {
            out += b.mid(pos, 2);
            pos += 2;
            continue;
        }
        if (pos + 4 > b.size())
            return {};
        const qsizetype length = be16(b.constData() + pos + 2);
        if (length < 2 || pos + 2 + length > b.size())
            return {};
        const QByteArray payload = b.mid(pos + 4, length - 2);
        const qsizetype next = pos + 2 + length;
        if (marker == 0xE1 && exifOrientation(payload) != 1)
            *needsRewrite = true;
        if (marker == 0xE2 && payload.startsWith(QByteArrayLiteral("ICC_PROFILE\0")))
            *needsRewrite = true;
        if (marker == 0xE0 && payload.startsWith(QByteArrayLiteral("JFIF\0")) && payload.size() >= 14) {
            // Density and version are how it looks; a thumbnail is not kept.
            out += QByteArray("\xFF\xE0\x00\x10", 4) + payload.left(12) + QByteArray(2, '\0');
        } else if (marker == 0xEE && payload.startsWith("Adobe")) {
            out += b.mid(pos, 2 + length);   // says how the colours are stored
        } else if ((marker >= 0xE0 && marker <= 0xEF) || marker == 0xFE) {
            // Exif, XMP, IPTC, ICC profiles, maker notes and comments stay behind.
        } else {
            out += b.mid(pos, 2 + length);
        }
        pos = next;
        if (marker == 0xDA) {
            // Entropy-coded data runs to the next marker that is neither a stuffed 0xFF
            // nor a restart marker.
            qsizetype end = pos;
            while (end + 1 < b.size()
                   && !(quint8(b[end]) == 0xFF && quint8(b[end + 1]) != 0
                        && !(quint8(b[end + 1]) >= 0xD0 && quint8(b[end + 1]) <= 0xD7)))
                ++end;
            if (end + 1 >= b.size()) {
                out += b.mid(pos);
                out += QByteArray("\xFF\xD9", 2);   // a cut-off file still ends as an image
                return out;
            }
            out += b.mid(pos, end - pos);
            pos = end;
        }
    }
    return {};
}

// --- PNG ---

QByteArray pngWithoutMetadata(const QByteArray &b)
{
    static const QByteArray signature("\x89PNG\r\n\x1a\n", 8);
    if (!b.startsWith(signature))
        return {};
    // Chunks about the pixels and how they are shown; text, time, Exif and profiles go.
    static const QByteArrayList kept{"IHDR", "PLTE", "IDAT", "IEND", "tRNS", "gAMA", "cHRM", "sRGB",
                                     "sBIT", "bKGD", "pHYs", "acTL", "fcTL", "fdAT"};
    QByteArray out = signature;
    qsizetype pos = signature.size();
    while (pos + 12 <= b.size()) {
        const qint64 length = be32(b.constData() + pos);
        if (length > b.size() - pos - 12)
            return {};
        const QByteArray type = b.mid(pos + 4, 4);
        if (kept.contains(type))
            out += b.mid(pos, 12 + length);
        pos += 12 + length;
        if (type == "IEND")
            return out;
    }
    return {};
}

// --- GIF ---

// The end of the data sub-blocks that start at pos, or -1 when they run past the end.
qsizetype afterSubBlocks(const QByteArray &b, qsizetype pos)
{
    while (pos < b.size()) {
        const int n = quint8(b[pos]);
        pos += 1 + n;
        if (n == 0)
            return pos <= b.size() ? pos : -1;
    }
    return -1;
}

QByteArray gifWithoutMetadata(const QByteArray &b)
{
    if (b.size() < 13 || !(b.startsWith("GIF87a") || b.startsWith("GIF89a")))
        return {};
    const int flags = quint8(b[10]);
    qsizetype pos = 13 + ((flags & 0x80) ? 3 * (2 << (flags & 7)) : 0);
    if (pos > b.size())
        return {};
    QByteArray out = b.left(pos);
    while (pos < b.size()) {
        const quint8 kind = quint8(b[pos]);
        if (kind == 0x3B) {
            out += char(0x3B);
            return out;
        }
        if (kind == 0x21 && pos + 2 <= b.size()) {
            const quint8 label = quint8(b[pos + 1]);
            const qsizetype end = afterSubBlocks(b, pos + 2);
            if (end < 0)
                return {};
            // The loop count ("NETSCAPE2.0" and its twin) is how an animation plays;
            // comments and other applications' blocks (XMP among them) stay behind.
            const QByteArray id = b.mid(pos + 3, 11);
            const bool kept = label == 0xF9 || label == 0x01
                              || (label == 0xFF && (id == "NETSCAPE2.0" || id == "ANIMEXTS1.0"));
            if (kept)
                out += b.mid(pos, end - pos);
            pos = end;
        } else if (kind == 0x2C && pos + 10 <= b.size()) {
            const int imageFlags = quint8(b[pos + 9]);
            qsizetype data = pos + 10 + ((imageFlags & 0x80) ? 3 * (2 << (imageFlags & 7)) : 0) + 1;
            const qsizetype end = data <= b.size() ? afterSubBlocks(b, data) : -1;
            if (end < 0)
                return {};
            out += b.mid(pos, end - pos);
            pos = end;
        } else {
            return {};
        }
    }
    out += char(0x3B);   // a file cut off after whole blocks still ends properly
    return out;
}

// --- WebP ---

QByteArray webpWithoutMetadata(const QByteArray &b)
{
    if (b.size() < 12 || !b.startsWith("RIFF") || b.mid(8, 4) != "WEBP")
        return {};
    QByteArray body("WEBP");
    qsizetype pos = 12;
    while (pos + 8 <= b.size()) {
        const qint64 length = le32(b.constData() + pos + 4);
        const qint64 padded = length + (length & 1);
        if (length > b.size() - pos - 8)
            return {};
        const QByteArray type = b.mid(pos, 4);
        QByteArray chunk = b.mid(pos, 8 + qMin<qint64>(padded, b.size() - pos - 8));
        if (type == "VP8X" && chunk.size() > 8)
            chunk[8] = char(quint8(chunk[8]) & ~(0x20 | 0x08 | 0x04));   // no ICC, Exif or XMP
        if (type != "EXIF" && type != "XMP " && type != "ICCP")
            body += chunk;
        pos += 8 + padded;
    }
    return QByteArray("RIFF") + le32Bytes(quint32(body.size())) + body;
}

// Opaque and of more colours than a palette holds: a photo rather than a drawing.
bool looksLikeAPhoto(const QImage &image)
{
    if (image.hasAlphaChannel()) {
        const QImage argb = image.convertToFormat(QImage::Format_ARGB32);
        for (int y = 0; y < argb.height(); ++y) {
            const auto *line = reinterpret_cast<const QRgb *>(argb.constScanLine(y));
            for (int x = 0; x < argb.width(); ++x) {
                if (qAlpha(line[x]) != 255)
                    return false;
            }
        }
    }
    const QImage rgb = image.convertToFormat(QImage::Format_RGB32);
    QSet<QRgb> colours;
    for (int y = 0; y < rgb.height(); ++y) {
        const auto *line = reinterpret_cast<const QRgb *>(rgb.constScanLine(y));
        for (int x = 0; x < rgb.width(); ++x) {
            colours.insert(line[x]);
            if (colours.size() > 256)
                return true;
        }
    }
    return false;
}

QImage withoutText(const QImage &image)
{
    // A fresh image of the same pixels: a decoded picture keeps its text chunks and
    // comments in QImage::text(), which the writers would put back.
    QImage bare(image.size(), image.format());
    if (bare.isNull())
        return bare;
    for (int y = 0; y < image.height(); ++y)
        memcpy(bare.scanLine(y), image.constScanLine(y), size_t(qMin(bare.bytesPerLine(), image.bytesPerLine())));
    if (image.format() == QImage::Format_Indexed8 || image.format() == QImage::Format_Mono
        || image.format() == QImage::Format_MonoLSB)
        bare.setColorTable(image.colorTable());
    bare.setDotsPerMeterX(image.dotsPerMeterX());
    bare.setDotsPerMeterY(image.dotsPerMeterY());
    return bare;
}

} // namespace

ByteRange mp3AudioRange(const ReadAt &read, qint64 size)
{
    qint64 start = 0, end = size;
    // ID3v2 tags at the front, possibly more than one.
    for (int i = 0; i < 16 && start + 10 <= end; ++i) {
        const QByteArray h = read(start, 10);
        if (h.size() < 10 || !h.startsWith("ID3"))
            break;
        const qint64 length = syncsafe(h, 6);
        if (length < 0)
            break;
        start += 10 + length + ((quint8(h[5]) & 0x10) ? 10 : 0);
    }
    // At the end, in any order: ID3v1, APEv2, Lyrics3v2 and ID3v2 with a footer.
    for (int i = 0; i < 16 && end > start; ++i) {
        if (end - start >= 128 && read(end - 128, 3) == "TAG") {
            end -= 128;
            continue;
        }
        if (end - start >= 32) {
            const QByteArray footer = read(end - 32, 32);
            if (footer.size() == 32 && footer.startsWith("APETAGEX")) {
                const qint64 length = le32(footer.constData() + 12);
                const bool header = le32(footer.constData() + 20) & 0x80000000u;
                end -= length + (header ? 32 : 0);
                continue;
            }
        }
        if (end - start >= 15 && read(end - 9, 9) == "LYRICS200") {
            bool ok = false;
            const qint64 length = read(end - 15, 6).toLongLong(&ok);
            if (ok && length >= 0) {
                end -= length + 15;
                continue;
            }
        }
        if (end - start >= 10) {
            const QByteArray footer = read(end - 10, 10);
            if (footer.size() == 10 && footer.startsWith("3DI") && syncsafe(footer, 6) >= 0) {
                end -= syncsafe(footer, 6) + 20;
                continue;
            }
        }
        break;
    }
    if (start >= end || start > size)
        return {qMin(start, size), 0};
    return {start, end - start};
}

WavLayout wavLayout(const ReadAt &read, qint64 size)
{
    WavLayout r;
    const QByteArray riff = read(0, 12);
    if (riff.size() < 12 || !riff.startsWith("RIFF") || riff.mid(8, 4) != "WAVE")
        return r;
    QByteArray fmt, fact;
    bool haveData = false;
    qint64 pos = 12;
    for (int i = 0; i < 100000 && pos + 8 <= size; ++i) {
        const QByteArray h = read(pos, 8);
        if (h.size() < 8)
            break;
        const QByteArray id = h.left(4);
        const qint64 length = le32(h.constData() + 4);
        const qint64 left = size - pos - 8;
        if (id == "data" && !haveData) {
            haveData = true;
            // Writers that stream leave the size 0 or all ones: the samples run to the end.
            const bool unknown = length == 0 || length == 0xFFFFFFFF || length > left;
            r.data = {pos + 8, unknown ? left : length};
            if (unknown)
                break;
        } else if ((id == "fmt " || id == "fact") && length <= 1024 && length <= left) {
            (id == "fmt " ? fmt : fact) = h + read(pos + 8, length) + QByteArray(length & 1, '\0');
        }
        pos += 8 + length + (length & 1);
    }
    if (fmt.size() < 8 + 16 || !haveData)
        return r;
    const qint64 dataChunk = 8 + r.data.length + (r.data.length & 1);
    const qint64 riffSize = 4 + fmt.size() + fact.size() + dataChunk;
    if (riffSize > 0xFFFFFFFFLL)
        return r;
    r.header = "RIFF" + le32Bytes(quint32(riffSize)) + "WAVE" + fmt + fact + "data" + le32Bytes(quint32(r.data.length));
    r.ok = true;
    return r;
}

QByteArray pictureWithoutMetadata(const QByteArray &bytes, const QByteArray &format, bool *needsRewrite)
{
    *needsRewrite = false;
    if (format == "jpeg" || format == "jpg")
        return jpegWithoutMetadata(bytes, needsRewrite);
    if (format == "png")
        return pngWithoutMetadata(bytes);
    if (format == "gif")
        return gifWithoutMetadata(bytes);
    if (format == "webp")
        return webpWithoutMetadata(bytes);
    if (format == "bmp")
        return bytes;   // headers and pixels only
    return {};
}

CleanPicture writeCleanPicture(const QString &source, const QString &target, const PictureOptions &options)
{
    CleanPicture r;
    QFile in(source);
    if (!in.open(QIODevice::ReadOnly)) {
        r.error = in.errorString();
        return r;
    }
    const QByteArray bytes = in.readAll();
    in.close();
    QBuffer buffer;
    buffer.setData(bytes);
    QImageReader reader(&buffer);
    reader.setDecideFormatFromContent(true);
    reader.setAutoTransform(true);
    r.format = reader.format();
    if (r.format == "jpg")
        r.format = "jpeg";
    QSize size = reader.size();
    if (reader.transformation() & QImageIOHandler::TransformationRotate90)
        size.transpose();

    bool needsRewrite = false;
    QByteArray clean = pictureWithoutMetadata(bytes, r.format, &needsRewrite);
    const bool tooLarge = options.maxLongSide > 0 && qMax(size.width(), size.height()) > options.maxLongSide;
    if (clean.isNull() || needsRewrite || tooLarge) {
        QImage image = reader.read();
        if (image.isNull()) {
            r.error = QStringLiteral("it cannot be read as a picture");
            return r;
        }
        if (image.colorSpace().isValid() && image.colorSpace() != QColorSpace(QColorSpace::SRgb))
            image.convertToColorSpace(QColorSpace(QColorSpace::SRgb));
        if (tooLarge)
            image = image.scaled(options.maxLongSide, options.maxLongSide, Qt::KeepAspectRatio, Qt::SmoothTransformation);
        // Only JPEG and PNG are written here: GIF has no writer, and the others are shown
        // as well as PNG.
        if (r.format != "jpeg")
            r.format = options.photosAsJpeg && looksLikeAPhoto(image) ? "jpeg" : "png";
        QBuffer encoded;
        encoded.open(QIODevice::WriteOnly);
        QImageWriter writer(&encoded, r.format);
        if (r.format == "jpeg")
            writer.setQuality(options.jpegQuality);
        const QImage bare = withoutText(image);
        if (bare.isNull() || !writer.write(bare)) {
            r.error = QStringLiteral("it cannot be written again: %1").arg(writer.errorString());
            return r;
        }
        clean = encoded.data();
        size = image.size();
        r.rewritten = true;
    }
    QSaveFile out(target);
    if (!out.open(QIODevice::WriteOnly) || out.write(clean) != clean.size() || !out.commit()) {
        r.error = out.errorString();
        return r;
    }
    r.size = size;
    r.ok = true;
    return r;
}

bool writeCleanMp3(const QString &source, const QString &target, QString *why)
{
    QFile in(source);
    if (!in.open(QIODevice::ReadOnly)) {
        *why = in.errorString();
        return false;
    }
    const ByteRange audio = mp3AudioRange([&in](qint64 o, qint64 n) { return readFileAt(in, o, n); }, in.size());
    if (audio.length == 0) {
        *why = QStringLiteral("it holds no sound");
        return false;
    }
    return writeRange(in, target, {}, audio, {}, why);
}

bool writeCleanWav(const QString &source, const QString &target, QString *why)
{
    QFile in(source);
    if (!in.open(QIODevice::ReadOnly)) {
        *why = in.errorString();
        return false;
    }
    const WavLayout layout = wavLayout([&in](qint64 o, qint64 n) { return readFileAt(in, o, n); }, in.size());
    if (!layout.ok) {
        *why = QStringLiteral("it is not a WAV sound that can be copied");
        return false;
    }
    return writeRange(in, target, layout.header, layout.data, QByteArray(layout.data.length & 1, '\0'), why);
}

} // namespace parlivo
