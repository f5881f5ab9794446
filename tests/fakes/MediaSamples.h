#pragma once
// The smallest files that publishing accepts as what they claim to be: two MP3 frames, a WAV
// header, a tiny PNG, and the opening bytes of each video container; and a real tone as WAV.
#include <QBuffer>
#include <QByteArray>
#include <QImage>
#include <QString>

#include <cmath>

namespace parlivo::test {

inline QByteArray sampleMp3()
{
    // MPEG-1 Layer III, 128 kbit/s, 44.1 kHz: 417-byte frames.
    QByteArray frame(417, '\0');
    frame[0] = char(0xff);
    frame[1] = char(0xfb);
    frame[2] = char(0x90);
    return frame + frame;
}

inline QByteArray sampleWav()
{
    QByteArray b = QByteArray::fromHex("52494646" "28000000" "57415645" "666d7420" "10000000" "0100" "0100"
                                       "44ac0000" "88580100" "0200" "1000" "64617461" "04000000");
    return b + QByteArray(4, '\0');
}

// A WAV of a soft chord, one note per channel, as 16-bit PCM.
inline QByteArray toneWav(int channels, int rate, double seconds)
{
    const int frames = int(rate * seconds);
    QByteArray pcm(frames * channels * 2, Qt::Uninitialized);
    auto *s = reinterpret_cast<qint16 *>(pcm.data());
    for (int i = 0; i < frames; ++i)
        for (int c = 0; c < channels; ++c)
            s[i * channels + c] = qint16(4000 * std::sin(2 * M_PI * (220.0 + 110 * c) * i / rate));
    QByteArray wav("RIFF");
    const auto u32 = [&wav](quint32 v) { for (int b = 0; b < 4; ++b) wav.append(char((v >> (8 * b)) & 0xff)); };
    const auto u16 = [&wav](quint16 v) { wav.append(char(v & 0xff)).append(char(v >> 8)); };
    u32(36 + quint32(pcm.size()));
    wav.append("WAVEfmt ");
    u32(16), u16(1), u16(quint16(channels)), u32(quint32(rate)), u32(quint32(rate * channels * 2));
    u16(quint16(channels * 2)), u16(16);
    wav.append("data");
    u32(quint32(pcm.size()));
    return wav + pcm;
}

inline QByteArray samplePicture()
{
    QImage image(4, 4, QImage::Format_RGB32);
    image.fill(Qt::darkGreen);
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return png;
}

// The opening bytes of a video of the format tag, padded to `size`.
inline QByteArray sampleVideo(const QString &format, qsizetype size = 4096)
{
    QByteArray b;
    if (format == "AVI")
        b = QByteArray("RIFF\0\0\0\0AVI LIST", 16);
    else if (format == "FLV")
        b = QByteArray("FLV\x01\x05", 5);
    else if (format == "SWF")
        b = "FWS";
    else if (format == "WMV")
        b = QByteArray::fromHex("3026b2758e66cf11a6d900aa0062ce6c");
    else if (format == "MOV")
        b = QByteArray("\0\0\0\x14" "ftypqt  ", 12);
    else if (format == "MP4")
        b = QByteArray("\0\0\0\x14" "ftypisom", 12);
    else
        b = QByteArray::fromHex("000001ba");
    return b + QByteArray(std::max<qsizetype>(0, size - b.size()), '\0');
}

} // namespace parlivo::test
