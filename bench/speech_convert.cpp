// How long the speech panel's work takes: converting a 150-word paragraph to the message's
// MP3 (synthesis plus encoding, goal under 0.7 s), and the delay from Play to the first
// sample the sound output has played. The second needs a sound server (./dev test starts
// a private one; run this with PULSE_SERVER pointing at it) and is skipped without one.
//   bench_speech_convert [runs]
#include "platform/speech/EspeakEngine.h"
#include "platform/speech/EspeakOutput.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>

#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <vector>

using namespace parlivo;

namespace {

const char *const Paragraph =
    "Good morning everyone, and thank you for taking a moment to listen to this short message. "
    "Our small garden club will meet again next Saturday at ten o'clock in the community hall "
    "beside the old library. We plan to swap seedlings, share a few tips about planting tomatoes "
    "and beans, and decide together which flowers should fill the large bed near the entrance. "
    "If you have spare pots, gloves or tools that you no longer need, please bring them along, "
    "because several new members are getting started and would be glad of the help. "
    "Tea and homemade cake will be served after the meeting, and children are welcome to join "
    "the treasure hunt around the pond. Please reply to this message if you can come, so "
    "that we know how many chairs to set out. We look forward to seeing you there, and wish "
    "you a pleasant week until then.";

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

// CPU time of the whole process (both threads), so a busy machine does not hide the cost.
double cpuMs()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return (u.ru_utime.tv_sec + u.ru_stime.tv_sec) * 1e3 + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e3;
}

void pump(const std::function<bool()> &done, int timeoutMs)
{
    QElapsedTimer t;
    t.start();
    while (!done() && t.elapsed() < timeoutMs)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, atoi(argv[1])) : 7;
    const QString text = QString::fromLatin1(Paragraph);
    std::printf("paragraph: %lld words\n", (long long)text.split(QLatin1Char(' '), Qt::SkipEmptyParts).size());

    QElapsedTimer clock;
    clock.start();
    if (!EspeakEngine::available()) {
        std::fprintf(stderr, "the speech synthesiser could not start\n");
        return 1;
    }
    std::printf("synthesiser start-up and voice list: %.1f ms (%d voices)\n", clock.nsecsElapsed() / 1e6,
                int(EspeakEngine::voices().size()));

    QTemporaryDir dir;
    const QString out = dir.path() + QStringLiteral("/bench.mp3");
    std::vector<double> convert, convertCpu;
    for (int i = 0; i < runs; ++i) {
        EspeakEngine engine;
        engine.setOutputFormat(SpeechFormat::MP3);
        engine.selectVoice(0);
        bool done = false, ok = false;
        QObject::connect(&engine, &SpeechEngine::speakToFileFinished, [&](bool good, const QString &) {
            done = true;
            ok = good;
        });
        clock.restart();
        const double cpu0 = cpuMs();
        engine.speakToFile(text, out, 1);
        // Blocking wait, so the waiting itself costs no CPU.
        while (!done)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        const double ms = clock.nsecsElapsed() / 1e6;
        convertCpu.push_back(cpuMs() - cpu0);
        if (!ok) {
            std::fprintf(stderr, "conversion failed\n");
            return 1;
        }
        convert.push_back(ms);
    }
    std::printf("convert 150 words to MP3: median %.1f ms, worst %.1f ms over %d runs (goal < 700 ms); "
                "CPU median %.1f ms; file %lld bytes\n",
                median(convert), *std::max_element(convert.begin(), convert.end()), runs, median(convertCpu),
                (long long)QFileInfo(out).size());

    // The paragraph includes its synthesis before playing starts; a short line shows
    // the sound output's own share.
    const QString shortLine = QStringLiteral("Hello.");
    for (const QString *spoken : {&text, &shortLine}) {
        std::vector<double> firstSound;
        for (int i = 0; i < runs; ++i) {
            EspeakEngine engine;
            engine.selectVoice(0);
            bool failed = false;
            QObject::connect(&engine, &SpeechEngine::speakFailed, [&](const QString &why) {
                failed = true;
                std::fprintf(stderr, "speaking failed: %s\n", qPrintable(why));
            });
            clock.restart();
            engine.speak(*spoken, 3);
            pump([&] { return failed || engine.playedUSecs() > 0; }, 10000);
            if (failed || engine.playedUSecs() <= 0) {
                firstSound.clear();
                break;
            }
            firstSound.push_back(clock.nsecsElapsed() / 1e6);
            engine.stop();
        }
        const char *what = spoken == &text ? "150 words" : "one word";
        if (firstSound.empty())
            std::printf("play (%s) to first audible sample: skipped (no sound output)\n", what);
        else
            std::printf("play (%s) to first audible sample: median %.1f ms, worst %.1f ms over %d runs\n", what,
                        median(firstSound), *std::max_element(firstSound.begin(), firstSound.end()),
                        int(firstSound.size()));
    }
    return 0;
}
