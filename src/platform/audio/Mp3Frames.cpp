#include "platform/audio/Mp3Frames.h"

#include <cstring>

namespace parlivo {

namespace {

struct FrameHeader
{
    int length = 0;      // bytes, header included
    int sideInfo = 0;    // bytes of side information after the header
};

// MPEG-1 layer III only: the only kind our encoder writes at the rates we use.
bool readHeader(const unsigned char *p, FrameHeader &h)
{
    if (p[0] != 0xFF || (p[1] & 0xFE) != 0xFA)   // sync, MPEG-1, layer III (either protection bit)
        return false;
    static const int kbps[] = {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 0};
    static const int rates[] = {44100, 48000, 32000, 0};
    const int bitrate = kbps[p[2] >> 4];
    const int rate = rates[(p[2] >> 2) & 3];
    if (bitrate == 0 || rate == 0)
        return false;
    h.length = 144 * bitrate * 1000 / rate + ((p[2] >> 1) & 1);
    h.sideInfo = (p[3] >> 6) == 3 ? 17 : 32;
    return true;
}

quint16 crc16(const unsigned char *p, qsizetype n, quint16 crc = 0)
{
    // The reflected 0x8005 polynomial the encoder's extension uses for both of its checksums.
    for (qsizetype i = 0; i < n; ++i) {
        crc ^= p[i];
        for (int k = 0; k < 8; ++k)
            crc = (crc & 1) ? quint16((crc >> 1) ^ 0xA001) : quint16(crc >> 1);
    }
    return crc;
}

quint32 be32(const unsigned char *p)
{
    return (quint32(p[0]) << 24) | (quint32(p[1]) << 16) | (quint32(p[2]) << 8) | p[3];
}

void putBe32(unsigned char *p, quint32 v)
{
    for (int i = 0; i < 4; ++i)
        p[i] = uchar(v >> (24 - 8 * i));
}

void putBe16(unsigned char *p, quint16 v)
{
    p[0] = uchar(v >> 8);
    p[1] = uchar(v);
}

} // namespace

std::vector<qsizetype> mp3FrameOffsets(const QByteArray &stream)
{
    std::vector<qsizetype> offsets;
    const auto *p = reinterpret_cast<const unsigned char *>(stream.constData());
    qsizetype at = 0;
    FrameHeader h;
    while (at + 4 <= stream.size() && readHeader(p + at, h) && at + h.length <= stream.size()) {
        offsets.push_back(at);
        at += h.length;
    }
    offsets.push_back(at);
    return offsets;
}

int mp3MainDataBegin(const char *frame, qsizetype size)
{
    const auto *p = reinterpret_cast<const unsigned char *>(frame);
    FrameHeader h;
    if (size < 6 || !readHeader(p, h))
        return -1;
    const int at = (p[1] & 1) ? 4 : 6;   // a checksum follows the header when the bit is clear
    if (size < at + 2)
        return -1;
    return (p[at] << 1) | (p[at + 1] >> 7);
}

bool rewriteMp3InfoFrame(QByteArray &infoFrame, const QByteArray &audio, const std::vector<qsizetype> &frameOffsets,
                         int encoderDelay, int padding)
{
    constexpr int Flags = 0x0F;     // frame count, byte count, seek table, quality
    constexpr int TocEntries = 100;
    auto *f = reinterpret_cast<unsigned char *>(infoFrame.data());
    FrameHeader h;
    if (infoFrame.size() < 4 || !readHeader(f, h) || h.length != infoFrame.size())
        return false;
    const int tag = 4 + h.sideInfo;
    const int extension = tag + 120;   // after the id, flags, counts, seek table and quality
    const int tagChecksum = extension + 34;
    if (tagChecksum + 2 > infoFrame.size()
        || (std::memcmp(f + tag, "Info", 4) != 0 && std::memcmp(f + tag, "Xing", 4) != 0)
        || (be32(f + tag + 4) & Flags) != Flags)
        return false;
    const qint64 frames = qint64(frameOffsets.size()) - 1;
    const qint64 bytes = qint64(infoFrame.size()) + audio.size();
    if (frames <= 0 || audio.isEmpty() || frameOffsets.back() != audio.size() || bytes > 0x7FFFFFFF || encoderDelay < 0
        || encoderDelay > 0xFFF || padding < 0 || padding > 0xFFF)
        return false;

    putBe32(f + tag + 8, quint32(frames));
    putBe32(f + tag + 12, quint32(bytes));
    // Entry i: where the frame holding i % of the playing time ends, as a 256th of the audio
    // after the info frame (the encoder's own reading of the table; the first entry is 0).
    f[tag + 16] = 0;
    for (int i = 1; i < TocEntries; ++i) {
        const qint64 end = frameOffsets[size_t(frames * i / TocEntries + 1)];
        f[tag + 16 + i] = uchar(qMin<qint64>(255, end * 256 / audio.size()));
    }
    unsigned char *delays = f + extension + 21;
    delays[0] = uchar(encoderDelay >> 4);
    delays[1] = uchar(((encoderDelay & 0x0F) << 4) | (padding >> 8));
    delays[2] = uchar(padding);
    putBe32(f + extension + 28, quint32(bytes));
    putBe16(f + extension + 32, crc16(reinterpret_cast<const unsigned char *>(audio.constData()), audio.size()));
    putBe16(f + tagChecksum, crc16(f, tagChecksum));
    return true;
}

} // namespace parlivo
