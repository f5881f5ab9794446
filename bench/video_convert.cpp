// Converts a 30 s 640x480 clip of each offered video format with our converter and with
// the ffmpeg tool at the same settings (libx264 veryfast crf 23, AAC 128k, faststart, its
// default threads, plus the poster), in one run; prints both times and the ratio.
#include "platform/Factories.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>

using namespace parlivo;

namespace {

bool run(const QStringList &args)
{
    QProcess p;
    p.start("ffmpeg", QStringList{"-v", "error", "-y"} + args);
    return p.waitForFinished(600000) && p.exitCode() == 0;
}

double ours(const QString &src, const QString &mp4, const QString &jpg, bool &ok)
{
    auto converter = makeVideoConverter();
    // A real event loop, which sleeps while waiting: a polling loop would take one of the
    // two cores from the conversion.
    QEventLoop loop;
    QObject::connect(converter.get(), &VideoConverter::finished, [&](const VideoConversionResult &r) {
        ok = r.converted && r.posterWritten;
        loop.quit();
    });
    QElapsedTimer clock;
    clock.start();
    converter->start(src, mp4, jpg);
    loop.exec();
    return clock.nsecsElapsed() / 1e9;
}

double theirs(const QString &src, const QString &mp4, const QString &jpg, bool &ok)
{
    QElapsedTimer clock;
    clock.start();
    ok = run({"-i", src, "-c:v", "libx264", "-preset", "veryfast", "-crf", "23", "-pix_fmt", "yuv420p",
              "-c:a", "aac", "-b:a", "128k", "-movflags", "+faststart", mp4})
        && run({"-ss", "1", "-i", src, "-frames:v", "1", "-pix_fmt", "yuvj420p", "-q:v", "3", jpg});
    return clock.nsecsElapsed() / 1e9;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    int rounds = 1;
    for (int i = 1; i + 1 < argc; ++i)
        if (QByteArray(argv[i]) == "--rounds")
            rounds = std::max(1, atoi(argv[i + 1]));
    QTemporaryDir dir;
    struct Format
    {
        const char *name;
        QStringList codec;
    };
    const QList<Format> formats{
        {"avi", {"-c:v", "mpeg4", "-q:v", "4", "-c:a", "mp3"}},
        {"flv", {"-c:v", "flv1", "-q:v", "4", "-c:a", "mp3"}},
        {"mov", {"-c:v", "mjpeg", "-q:v", "4", "-c:a", "pcm_s16le"}},
        {"mpg", {"-c:v", "mpeg1video", "-q:v", "4", "-c:a", "mp2"}},
        {"mpeg", {"-c:v", "mpeg2video", "-q:v", "4", "-c:a", "mp2", "-f", "vob"}},
        {"swf", {"-c:v", "flv1", "-q:v", "4", "-c:a", "mp3"}},
        {"wmv", {"-c:v", "wmv2", "-q:v", "4", "-c:a", "wmav2"}},
    };
    std::printf("%-6s %10s %10s %8s\n", "format", "ours", "ffmpeg", "speed");
    double sumOurs = 0, sumTheirs = 0;
    for (const Format &f : formats) {
        const QString src = dir.filePath(QString("clip.") + f.name);
        if (!run(QStringList{"-f", "lavfi", "-i", "testsrc2=size=640x480:rate=25:duration=30", "-f", "lavfi", "-i",
                             "sine=frequency=440:sample_rate=44100:duration=30", "-ar", "44100"}
                 + f.codec + QStringList{src})) {
            std::printf("%-6s cannot make the clip\n", f.name);
            continue;
        }
        QList<double> a, b;
        bool okA = true, okB = true;
        for (int r = 0; r < rounds; ++r) {
            bool ok = false;
            a << ours(src, dir.filePath("ours.mp4"), dir.filePath("ours.jpg"), ok);
            okA = okA && ok;
            b << theirs(src, dir.filePath("theirs.mp4"), dir.filePath("theirs.jpg"), ok);
            okB = okB && ok;
        }
        std::sort(a.begin(), a.end());
        std::sort(b.begin(), b.end());
        const double ma = a[a.size() / 2], mb = b[b.size() / 2];
        sumOurs += ma;
        sumTheirs += mb;
        std::printf("%-6s %9.2fs %9.2fs %7.2fx%s%s\n", f.name, ma, mb, mb / ma, okA ? "" : "  (ours failed)",
                    okB ? "" : "  (ffmpeg failed)");
        std::fflush(stdout);
    }
    std::printf("%-6s %9.2fs %9.2fs %7.2fx\n", "all", sumOurs, sumTheirs, sumTheirs / sumOurs);
    return 0;
}
