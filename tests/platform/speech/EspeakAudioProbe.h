#pragma once
// Reads back what the speech tests wrote, without any audio library: the MP3 frame
// headers and info frame, and the sample data of a WAV file.
#include <QByteArray>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QString>

#include <functional>

namespace parlivo::test {

struct Mp3Probe
{
    bool valid = false;       // every byte after the tag belongs to a well-formed frame
    int sampleRate = 0;
    bool mono = false;
    int frames = 0;           // audio frames, the info frame not counted
    qint64 infoFrames = -1;   // the frame count the info frame declares
    double seconds = 0;       // from the frames
};

inline Mp3Probe probeMp3(const QString &path)
{
    Mp3Probe p;
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return p;
    const QByteArray data = f.readAll();
    const auto *b = reinterpret_cast<const unsigned char *>(data.constData());
    qsizetype at = 0;
    if (data.size() >= 10 && data.startsWith("ID3"))
        at = 10 + ((b[6] & 0x7f) << 21 | (b[7] & 0x7f) << 14 | (b[8] & 0x7f) << 7 | (b[9] & 0x7f));
    static const int rates[4][3] = {{11025, 12000, 8000}, {0, 0, 0}, {22050, 24000, 16000}, {44100, 48000, 32000}};
    static const int kbpsV1[16] = {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 0};
    static const int kbpsV2[16] = {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0};
    int samplesPerFrame = 0;
    bool first = true;
    while (at + 4 <= data.size()) {
        const quint32 h = quint32(b[at]) << 24 | quint32(b[at + 1]) << 16 | quint32(b[at + 2]) << 8 | b[at + 3];
        if ((h >> 21) != 0x7ff || ((h >> 17) & 3) != 1)
            return p;   // not a layer III frame where one must start
        const int version = (h >> 19) & 3;   // 3: MPEG-1, 2: MPEG-2, 0: MPEG-2.5
        const int rate = rates[version][(h >> 10) & 3];
        const int kbps = (version == 3 ? kbpsV1 : kbpsV2)[(h >> 12) & 15];
        if (rate == 0 || kbps == 0)
            return p;
        const bool mono = ((h >> 6) & 3) == 3;
        const int spf = version == 3 ? 1152 : 576;
        const qsizetype length = (version == 3 ? 144 : 72) * kbps * 1000 / rate + ((h >> 9) & 1);
        if (first) {
            p.sampleRate = rate;
            p.mono = mono;
            samplesPerFrame = spf;
            const qsizetype side = version == 3 ? (mono ? 17 : 32) : (mono ? 9 : 17);
            const qsizetype tag = at + 4 + side;
            const QByteArray id = data.mid(tag, 4);
            if (id == "Info" || id == "Xing") {
                const quint32 flags = quint32(b[tag + 4]) << 24 | quint32(b[tag + 5]) << 16 | quint32(b[tag + 6]) << 8 | b[tag + 7];
                if (flags & 1)
                    p.infoFrames = qint64(b[tag + 8]) << 24 | qint64(b[tag + 9]) << 16 | qint64(b[tag + 10]) << 8 | b[tag + 11];
                first = false;
                at += length;
                continue;
            }
            first = false;
        } else if (rate != p.sampleRate || mono != p.mono) {
            return p;
        }
        ++p.frames;
        at += length;
    }
    p.valid = p.frames > 0 && at == data.size();
    p.seconds = p.sampleRate ? double(p.frames) * samplesPerFrame / p.sampleRate : 0;
    return p;
}

struct WavProbe
{
    bool valid = false;
    int sampleRate = 0;
    int channels = 0;
    int bits = 0;
    QByteArray samples;
    double seconds() const { return valid ? double(samples.size()) / (bits / 8) / channels / sampleRate : 0; }
};

inline WavProbe probeWav(const QString &path)
{
    WavProbe w;
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return w;
    const QByteArray data = f.readAll();
    if (data.size() < 12 || !data.startsWith("RIFF") || data.mid(8, 4) != "WAVE")
        return w;
    auto u32 = [&](qsizetype at) {
        const auto *b = reinterpret_cast<const unsigned char *>(data.constData() + at);
        return quint32(b[0]) | quint32(b[1]) << 8 | quint32(b[2]) << 16 | quint32(b[3]) << 24;
    };
    auto u16 = [&](qsizetype at) {
        const auto *b = reinterpret_cast<const unsigned char *>(data.constData() + at);
        return quint16(b[0] | b[1] << 8);
    };
    qsizetype at = 12;
    bool haveFormat = false;
    while (at + 8 <= data.size()) {
        const QByteArray id = data.mid(at, 4);
        const qsizetype size = u32(at + 4);
        if (id == "fmt ") {
            w.channels = u16(at + 10);
            w.sampleRate = int(u32(at + 12));
            w.bits = u16(at + 22);
            haveFormat = true;
        } else if (id == "data") {
            w.samples = data.mid(at + 8, size);
            w.valid = haveFormat && w.channels > 0 && w.bits > 0;
            return w;
        }
        at += 8 + size + (size & 1);
    }
    return w;
}

// Runs the event loop until done() holds or ms pass; the result of done().
inline bool waitUntil(const std::function<bool()> &done, int ms = 15000)
{
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    return done();
}

} // namespace parlivo::test
