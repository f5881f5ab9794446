#include "ContentCheck.h"

#include <QFile>
#include <QImageReader>
#include <QtEndian>

namespace parlivo {

namespace {

QByteArray readAt(QFile &f, qint64 offset, qint64 n)
{
    return f.seek(offset) ? f.read(n) : QByteArray();
}

// Length in bytes of the Layer III frame whose header starts at `p`, or 0 when it is none.
int mp3FrameLength(const uchar *p)
{
    if (p[0] != 0xff || (p[1] & 0xe0) != 0xe0)
        return 0;
    const int version = (p[1] >> 3) & 3;   // 0: 2.5, 2: 2, 3: 1
    const int layer = (p[1] >> 1) & 3;     // 1: Layer III
    const int bitrateIndex = p[2] >> 4;
    const int rateIndex = (p[2] >> 2) & 3;
    if (version == 1 || layer != 1 || bitrateIndex == 0 || bitrateIndex == 15 || rateIndex == 3)
        return 0;
    static const int mpeg1[] = {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320};
    static const int mpeg2[] = {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160};
    static const int rates[] = {44100, 48000, 32000};
    const bool one = version == 3;
    const int rate = rates[rateIndex] / (one ? 1 : version == 2 ? 2 : 4);
    const int kbps = one ? mpeg1[bitrateIndex] : mpeg2[bitrateIndex];
    return (one ? 144 : 72) * kbps * 1000 / rate + ((p[2] >> 1) & 1);
}

bool isMp3(QFile &f)
{
    qint64 start = 0;
    const QByteArray tag = readAt(f, 0, 10);
    if (tag.size() == 10 && tag.startsWith("ID3")) {
        const auto *t = reinterpret_cast<const uchar *>(tag.constData());
        start = 10 + ((qint64(t[6] & 0x7f) << 21) | (t[7] & 0x7f) << 14 | (t[8] & 0x7f) << 7 | (t[9] & 0x7f))
                + ((t[5] & 0x10) ? 10 : 0);
    }
    // The first frame may follow some padding; it must be followed by a second frame (or by
    // the end of the file) exactly where its length says.
    const QByteArray b = readAt(f, start, 64 * 1024 + 4096);
    const auto *d = reinterpret_cast<const uchar *>(b.constData());
    const qint64 fileEnd = f.size() - start;
    for (qsizetype i = 0; i + 4 <= b.size() && i < 64 * 1024; ++i) {
        const int len = mp3FrameLength(d + i);
        if (len < 24)
            continue;
        const qsizetype next = i + len;
        if (next == fileEnd || (next + 4 <= b.size() && mp3FrameLength(d + next) > 0))
            return true;
    }
    return false;
}

bool isWav(QFile &f)
{
    const QByteArray b = readAt(f, 0, 64 * 1024);
    if (b.size() < 12 || !b.startsWith("RIFF") || b.mid(8, 4) != "WAVE")
        return false;
    for (qsizetype pos = 12; pos + 8 <= b.size();) {
        const quint32 size = qFromLittleEndian<quint32>(b.constData() + pos + 4);
        if (b.mid(pos, 4) == "fmt ") {
            if (size < 16 || pos + 8 + 16 > b.size())
                return false;
            const char *fmt = b.constData() + pos + 8;
            return qFromLittleEndian<quint16>(fmt) != 0 && qFromLittleEndian<quint16>(fmt + 2) != 0
                   && qFromLittleEndian<quint32>(fmt + 4) != 0;
        }
        pos += 8 + qsizetype(size) + (size & 1);
    }
    return false;
}

bool isPicture(const QString &path)
{
    QImageReader reader(path);
    reader.setDecideFormatFromContent(true);
    // Only what a browser shows.
    static const QByteArrayList shown{"gif", "jpeg", "jpg", "png", "bmp", "webp"};
    if (!reader.canRead() || !shown.contains(reader.format()))
        return false;
    const QSize size = reader.size();
    if (size.isValid() && size.width() > 64)
        reader.setScaledSize(QSize(64, qMax(1, 64 * size.height() / size.width())));
    return !reader.read().isNull();
}

bool isVideo(QFile &f, const QString &format)
{
    const QByteArray b = readAt(f, 0, 400);
    if (format == QLatin1String("AVI"))
        return b.size() >= 12 && b.startsWith("RIFF") && b.mid(8, 4) == "AVI ";
    if (format == QLatin1String("FLV"))
        return b.startsWith("FLV\x01");
    if (format == QLatin1String("SWF"))
        return b.startsWith("FWS") || b.startsWith("CWS") || b.startsWith("ZWS");
    if (format == QLatin1String("WMV"))
        return b.startsWith(QByteArray::fromHex("3026b2758e66cf11a6d900aa0062ce6c"));
    if (format == QLatin1String("MOV") || format == QLatin1String("MP4")) {
        static const QByteArrayList atoms{"ftyp", "moov", "mdat", "wide", "free", "skip", "pnot"};
        return b.size() >= 8 && atoms.contains(b.mid(4, 4));
    }
    if (format == QLatin1String("MPG") || format == QLatin1String("MPEG")) {
        // A program stream or a bare video stream; or a transport stream's sync bytes.
        if (b.startsWith(QByteArray::fromHex("000001ba")) || b.startsWith(QByteArray::fromHex("000001b3")))
            return true;
        return b.size() > 376 && b.at(0) == 0x47 && b.at(188) == 0x47 && b.at(376) == 0x47;
    }
    return false;
}

} // namespace

QString contentProblem(MediaRole role, const QString &path, const QString &videoFormat)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};   // copying it says why it cannot be read

    switch (role) {
    case MediaRole::Audio:
        return isMp3(f) ? QString() : QStringLiteral("is not MP3 audio");
    case MediaRole::BackgroundSound:
        return isWav(f) ? QString() : QStringLiteral("is not a WAV sound");
    case MediaRole::Picture:
        f.close();
        return isPicture(path) ? QString() : QStringLiteral("is not a picture (GIF, JPEG, PNG, BMP or WebP)");
    case MediaRole::Video:
        return isVideo(f, videoFormat) ? QString() : QStringLiteral("is not a video in the %1 format").arg(videoFormat);
    }
    return {};
}

} // namespace parlivo
