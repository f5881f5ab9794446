// How long trimming and levelling a recording of the full 125 s takes: decoding the MP3,
// finding the silence, measuring the loudness, limiting, and encoding it again (one pass,
// goal at most 0.3 s), side by side with ffmpeg doing the same work in one pass
// (silenceremove at both ends, then loudnorm to -16 LUFS / -1 dBTP, MP3 128 kbit/s mono).
// Wall time and CPU time (all threads; for ffmpeg, the child process's) are printed, since the
// machine is shared and other work stretches the wall time.
//   bench_trim_level [runs]          (ffmpeg on the PATH for the comparison)
#include "audio/AudioEdit.h"
#include "platform/Factories.h"
#include "platform/audio/Mp3Encoder.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>

#include <sys/resource.h>
#include <time.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

using namespace parlivo;

namespace {

constexpr int Rate = 44100;

double processCpuSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

double childrenCpuSeconds()
{
    rusage u{};
    getrusage(RUSAGE_CHILDREN, &u);
    auto sec = [](const timeval &v) { return double(v.tv_sec) + double(v.tv_usec) / 1e6; };
    return sec(u.ru_utime) + sec(u.ru_stime);
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

double fastest(const std::vector<double> &v)
{
    return v.empty() ? 0 : *std::min_element(v.begin(), v.end());
}

double loadAverage()
{
    double load = 0;
    return getloadavg(&load, 1) == 1 ? load : -1;
}

// 2 s of room noise, 121 s of syllables at a quiet microphone's level, 2 s of noise.
bool makeRecording(const QString &path)
{
    std::vector<qint16> s(size_t(125 * Rate));
    quint32 state = 1;
    for (size_t i = 0; i < s.size(); ++i) {
        state = state * 1664525u + 1013904223u;
        double v = 0.004 * (double(state >> 8) / double(1u << 23) - 1.0);
        const double t = double(i) / Rate;
        if (t >= 2.0 && t < 123.0) {
            const double inSyllable = std::fmod(t, 0.25);
            if (inSyllable < 0.18)
                v += 0.12 * std::sin(M_PI * inSyllable / 0.18) * (std::sin(2 * M_PI * 140 * t) + 0.4 * std::sin(2 * M_PI * 420 * t));
        }
        s[i] = qint16(std::lround(std::clamp(v, -1.0, 1.0) * 32767));
    }
    Mp3Encoder enc;
    return enc.open(path, Rate, Rate, 1, 128) && enc.encode(s.data(), int(s.size())) && enc.close();
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, atoi(argv[1])) : 5;
    QTemporaryDir dir;
    const QString in = dir.filePath(QStringLiteral("recording.mp3"));
    if (!makeRecording(in)) {
        std::fprintf(stderr, "could not make the test recording\n");
        return 1;
    }
    AudioEdit edit;
    edit.trimSilence = true;
    edit.level = true;
    const QStringList ffmpegArgs{QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-y"),
                                 QStringLiteral("-i"), in, QStringLiteral("-af"),
                                 QStringLiteral("silenceremove=start_periods=1:start_threshold=-40dB:stop_periods=-1:"
                                                "stop_threshold=-40dB:stop_duration=0.3,loudnorm=I=-16:TP=-1"),
                                 QStringLiteral("-ar"), QStringLiteral("44100"), QStringLiteral("-ac"), QStringLiteral("1"),
                                 QStringLiteral("-b:a"), QStringLiteral("128k"), dir.filePath(QStringLiteral("ffmpeg.mp3"))};
    std::vector<double> ours, oursCpu, theirs, theirsCpu;
    AudioEditResult last;
    for (int i = 0; i <= runs; ++i) {   // the first of each is a warm-up
        QElapsedTimer t;
        t.start();
        double cpu = processCpuSeconds();
        const std::unique_ptr<LoudnessMeter> meter = makeLoudnessMeter();
        last = editAudioFile(in, dir.filePath(QStringLiteral("ours.mp3")), edit, *meter);
        if (i > 0) {
            ours.push_back(t.nsecsElapsed() / 1e9);
            oursCpu.push_back(processCpuSeconds() - cpu);
        }
        t.restart();
        cpu = childrenCpuSeconds();
        QProcess ffmpeg;
        ffmpeg.start(QStringLiteral("ffmpeg"), ffmpegArgs);
        const bool ran = ffmpeg.waitForFinished(60000) && ffmpeg.exitCode() == 0;
        if (i > 0 && ran) {
            theirs.push_back(t.nsecsElapsed() / 1e9);
            theirsCpu.push_back(childrenCpuSeconds() - cpu);
        }
    }
    if (!last.ok()) {
        std::fprintf(stderr, "trim failed: %s\n", qPrintable(last.error));
        return 1;
    }
    std::printf("125 s recording: trimmed %.2f s, level %+.1f dB\n", last.trimmedSeconds(), last.gainDb);
    // The fastest run is the one the other work on the machine disturbed least.
    std::printf("%d runs, load average %.1f   wall median  wall fastest  CPU median\n", runs, loadAverage());
    std::printf("ours                           %.3f s      %.3f s       %.3f s\n", median(ours), fastest(ours),
                median(oursCpu));
    if (theirs.empty()) {
        std::printf("ffmpeg: not run (not on the PATH?)\n");
    } else {
        std::printf("ffmpeg                         %.3f s      %.3f s       %.3f s\n", median(theirs), fastest(theirs),
                    median(theirsCpu));
        std::printf("ours/ffmpeg                    %.2f         %.2f          %.2f\n", median(ours) / median(theirs),
                    fastest(ours) / fastest(theirs), median(oursCpu) / median(theirsCpu));
    }
    return 0;
}
