#include "Mp3Info.h"

#include <QFile>
#include <cstring>

namespace parlivo {

namespace {

struct Header
{
    int version = 0;       // 1, 2 or 25 (2.5)
    int bitrate = 0;       // kbit/s
    int sampleRate = 0;
    int channels = 0;
    int length = 0;        // bytes, header included
    int samples = 0;
    int sideInfo = 0;      // bytes of side information after the header
};

bool parseHeader(const unsigned char *p, Header &h)
{
    if (p[0] != 0xFF || (p[1] & 0xE0) != 0xE0)
        return false;
    const int versionBits = (p[1] >> 3) & 3;
    const int layerBits = (p[1] >> 1) & 3;
    if (versionBits == 1 || layerBits != 1)   // reserved version, or not layer III
        return false;
    h.version = versionBits == 3 ? 1 : versionBits == 2 ? 2 : 25;
    const int bitrateIndex = p[2] >> 4;
    const int rateIndex = (p[2] >> 2) & 3;
    if (bitrateIndex == 0 || bitrateIndex == 15 || rateIndex == 3)
        return false;
    static const int v1[] = {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320};
    static const int v2[] = {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160};
    static const int rates[] = {44100, 48000, 32000};
    h.bitrate = h.version == 1 ? v1[bitrateIndex] : v2[bitrateIndex];
    h.sampleRate = rates[rateIndex] / (h.version == 1 ? 1 : h.version == 2 ? 2 : 4);
    const int padding = (p[2] >> 1) & 1;
    h.channels = (p[3] >> 6) == 3 ? 1 : 2;
    h.samples = h.version == 1 ? 1152 : 576;
    h.length = (h.version == 1 ? 144 : 72) * h.bitrate * 1000 / h.sampleRate + padding;
    h.sideInfo = h.version == 1 ? (h.channels == 1 ? 17 : 32) : (h.channels == 1 ? 9 : 17);
    return h.length > 4;
}

quint32 be32(const unsigned char *p)
{
    return (quint32(p[0]) << 24) | (quint32(p[1]) << 16) | (quint32(p[2]) << 8) | p[3];
}

} // namespace

double Mp3Info::seconds() const
{
    if (!valid || sampleRate <= 0)
        return 0;
    const qint64 samples = qint64(audioFrames) * samplesPerFrame - encoderDelay - padding;
    return samples > 0 ? double(samples) / sampleRate : 0.0;
}

Mp3Info readMp3Info(const QByteArray &data)
{
    Mp3Info info;
    const auto *bytes = reinterpret_cast<const unsigned char *>(data.constData());
    const qsizetype size = data.size();
    qsizetype pos = 0;
    // A tag in front of the audio: its size is stored in 7-bit bytes.
    if (size >= 10 && bytes[0] == 'I' && bytes[1] == 'D' && bytes[2] == '3') {
        const qsizetype tag = (bytes[6] & 0x7F) << 21 | (bytes[7] & 0x7F) << 14 | (bytes[8] & 0x7F) << 7 | (bytes[9] & 0x7F);
        pos = 10 + tag + ((bytes[5] & 0x10) ? 10 : 0);
    }
    bool first = true;
    while (pos + 4 <= size) {
        Header h;
        if (!parseHeader(bytes + pos, h)) {
            if (info.valid)
                break;   // trailing data after the last frame
            ++pos;       // still looking for the first frame
            continue;
        }
        if (pos + h.length > size)
            break;       // a cut-off last frame does not count
        const unsigned char *frame = bytes + pos;
        const int tagAt = 4 + h.sideInfo;
        if (first && tagAt + 8 <= h.length
            && (std::memcmp(frame + tagAt, "Info", 4) == 0 || std::memcmp(frame + tagAt, "Xing", 4) == 0)) {
            info.hasInfoFrame = true;
            info.infoKind = QString::fromLatin1(reinterpret_cast<const char *>(frame + tagAt), 4);
            const quint32 flags = be32(frame + tagAt + 4);
            int at = tagAt + 8;
            if (flags & 1) {
                if (at + 4 <= h.length)
                    info.infoFrameCount = int(be32(frame + at));
                at += 4;
            }
            if (flags & 2)
                at += 4;
            if (flags & 4)
                at += 100;
            if (flags & 8)
                at += 4;
            // The encoder's extension: delay and padding, 12 bits each, 21 bytes in.
            if (at + 24 <= h.length) {
                const unsigned char *d = frame + at + 21;
                info.encoderDelay = (d[0] << 4) | (d[1] >> 4);
                info.padding = ((d[1] & 0x0F) << 8) | d[2];
            }
            info.sampleRate = h.sampleRate;
            info.channels = h.channels;
            info.samplesPerFrame = h.samples;
            first = false;
            pos += h.length;
            continue;
        }
        if (!info.valid) {
            info.valid = true;
            info.sampleRate = h.sampleRate;
            info.channels = h.channels;
            info.bitrateKbps = h.bitrate;
            info.samplesPerFrame = h.samples;
        } else if (h.bitrate != info.bitrateKbps) {
            info.constantBitrate = false;
        }
        first = false;
        ++info.audioFrames;
        pos += h.length;
    }
    return info;
}

Mp3Info readMp3InfoFile(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return readMp3Info(f.readAll());
}

} // namespace parlivo
