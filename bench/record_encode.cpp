// A 125-second recording fed through the MP3 file writer faster than real time:
// encoder CPU per second of audio and the growth of peak resident memory.
#include "platform/audio/Mp3FileWriter.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QTemporaryDir>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <random>
#include <sys/resource.h>

using namespace parlivo;

namespace {

double cpuSeconds()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) + double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

long peakKiB()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_maxrss;
}

// One second of a voice-like signal: a few drifting harmonics, an envelope and noise.
void fillBlock(QByteArray &block, int second, std::mt19937 &rng)
{
    std::normal_distribution<double> noise(0.0, 0.02);
    auto *s = reinterpret_cast<qint16 *>(block.data());
    const int n = int(block.size() / 2);
    for (int i = 0; i < n; ++i) {
        const double t = second + double(i) / 44100;
        const double f0 = 140 + 30 * std::sin(2 * M_PI * 0.7 * t);
        const double env = 0.5 + 0.5 * std::sin(2 * M_PI * 3.1 * t);
        double v = 0;
        for (int h = 1; h <= 5; ++h)
            v += std::sin(2 * M_PI * f0 * h * t) / h;
        s[i] = qint16(std::clamp((0.25 * env * v + noise(rng)) * 32767, -32768.0, 32767.0));
    }
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int seconds = 125;
    QTemporaryDir dir;
    QByteArray block(44100 * 2, '\0');
    std::mt19937 rng(7);

    // Warm-up: libraries loaded and first allocations made before measuring.
    {
        Mp3FileWriter w;
        w.setMp3Output(44100, 128, 1);
        w.createFile(dir.filePath(QStringLiteral("warm.mp3")), 0);
        fillBlock(block, 0, rng);
        w.write(block);
        w.close();
    }

    const long rssBefore = peakKiB();
    double encodeCpu = 0;
    Mp3FileWriter w;
    w.setMp3Output(44100, 128, 1);
    const QString path = dir.filePath(QStringLiteral("long.mp3"));
    const double cpu0 = cpuSeconds();
    w.createFile(path, 0);
    encodeCpu += cpuSeconds() - cpu0;
    for (int s = 0; s < seconds; ++s) {
        fillBlock(block, s, rng);   // the signal's cost is not the encoder's
        const double c = cpuSeconds();
        w.write(block);
        encodeCpu += cpuSeconds() - c;
    }
    const double c = cpuSeconds();
    w.close();
    encodeCpu += cpuSeconds() - c;
    const long rssAfter = peakKiB();

    const double percent = 100.0 * encodeCpu / seconds;
    std::printf("recording length        %d s\n", seconds);
    std::printf("encoder CPU             %.3f s in total, %.2f ms per second of audio\n", encodeCpu,
                1000.0 * encodeCpu / seconds);
    std::printf("share of one core       %.2f %% (goal < 2 %%)\n", percent);
    std::printf("peak RSS growth         %ld KiB (goal < 1024 KiB)\n", rssAfter - rssBefore);
    std::printf("file size               %lld bytes\n", (long long)QFileInfo(path).size());
    return 0;
}
