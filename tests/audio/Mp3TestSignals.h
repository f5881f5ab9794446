#pragma once
// Test signals shared by the audio tests: tones, a WAV writer and a pitch estimate.
#include <QByteArray>
#include <QFile>
#include <QString>
#include <cmath>
#include <vector>

namespace parlivo::test {

inline std::vector<qint16> tone(double hz, double seconds, int rate = 44100, double amplitude = 0.5)
{
    std::vector<qint16> s(size_t(seconds * rate));
    for (size_t i = 0; i < s.size(); ++i)
        s[i] = qint16(std::lround(amplitude * 32767 * std::sin(2 * M_PI * hz * double(i) / rate)));
    return s;
}

inline QByteArray bytesOf(const std::vector<qint16> &s)
{
    return QByteArray(reinterpret_cast<const char *>(s.data()), qsizetype(s.size() * 2));
}

// Frequency from upward zero crossings over the middle 80 % of the signal; 0 if silent.
inline double pitchOf(const QByteArray &pcm, int rate)
{
    const auto *s = reinterpret_cast<const qint16 *>(pcm.constData());
    const qsizetype n = pcm.size() / 2;
    const qsizetype from = n / 10, to = n - n / 10;
    qsizetype first = -1, last = -1;
    int crossings = 0;
    for (qsizetype i = from + 1; i < to; ++i) {
        if (s[i - 1] < 0 && s[i] >= 0) {
            if (first < 0)
                first = i;
            last = i;
            ++crossings;
        }
    }
    if (crossings < 2)
        return 0;
    return double(crossings - 1) * rate / double(last - first);
}

inline double rmsOf(const QByteArray &pcm)
{
    const auto *s = reinterpret_cast<const qint16 *>(pcm.constData());
    const qsizetype n = pcm.size() / 2;
    if (n == 0)
        return 0;
    double sum = 0;
    for (qsizetype i = 0; i < n; ++i)
        sum += double(s[i]) * s[i];
    return std::sqrt(sum / double(n)) / 32768.0;
}

// A mono 16-bit WAV file.
inline bool writeWav(const QString &path, const QByteArray &pcm, int rate)
{
    QByteArray wav;
    auto u32 = [&](quint32 v) {
        for (int i = 0; i < 4; ++i)
            wav.append(char((v >> (8 * i)) & 0xFF));
    };
    auto u16 = [&](quint16 v) {
        wav.append(char(v & 0xFF));
        wav.append(char(v >> 8));
    };
    wav.append("RIFF");
    u32(36 + quint32(pcm.size()));
    wav.append("WAVEfmt ");
    u32(16);
    u16(1);
    u16(1);
    u32(quint32(rate));
    u32(quint32(rate) * 2);
    u16(2);
    u16(16);
    wav.append("data");
    u32(quint32(pcm.size()));
    wav.append(pcm);
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(wav) == wav.size();
}

} // namespace parlivo::test
