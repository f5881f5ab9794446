// parlivo speak: the window's speech conversion without the window.
#include "cli/Commands.h"
#include "cli/CommandLine.h"

#include "audio/Captions.h"
#include "platform/speech/EspeakEngine.h"
#include "platform/speech/EspeakOutput.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QTextStream>

#include <cstdio>

namespace parlivo {

namespace {

constexpr const char *SpeakUsage =
    "Usage: parlivo speak (--text TEXT | --file FILE) -o OUT [--captions FILE.vtt] [--voice ID]\n"
    "                     [--rate N] [--pitch N] [--volume N]\n"
    "       parlivo speak --list-voices\n"
    "\n"
    "Writes the text as speech to OUT; the format follows OUT's extension (wav, mp3, ogg, vox,\n"
    "au, aiff, flac; mp3 when there is none). --captions also writes the words, timed in OUT,\n"
    "as WebVTT captions to FILE.vtt. --rate and --pitch take -10..10 (0 is normal), --volume 0..100\n"
    "(100 is full).\n";

const CommandLine &speakLine()
{
    static const CommandLine line(QStringLiteral("speak"), QString::fromLatin1(SpeakUsage));
    return line;
}

int usageError(const QString &message)
{
    return speakLine().usageError(message);
}

bool parseNumber(const QString &text, int low, int high, int *out)
{
    bool ok = false;
    const int v = text.toInt(&ok);
    if (!ok || v < low || v > high)
        return false;
    *out = v;
    return true;
}

} // namespace

int runSpeakCommand(const QStringList &arguments)
{
    QString text, textFile, out, voice, captions;
    bool haveText = false, listVoices = false;
    int rate = 0, pitch = 0, volume = 100;
    for (int i = 0; i < arguments.size(); ++i) {
        const QString &a = arguments[i];
        auto value = [&](QString *target) {
            if (i + 1 >= arguments.size())
                return false;
            *target = arguments[++i];
            return true;
        };
        QString v;
        if (a == QLatin1String("--list-voices")) {
            listVoices = true;
        } else if (const auto answered = speakLine().answerHelpOrVersion(a)) {
            return *answered;
        } else if (a == QLatin1String("--text")) {
            if (!value(&text))
                return usageError(QStringLiteral("--text needs a value"));
            haveText = true;
        } else if (a == QLatin1String("--file")) {
            if (!value(&textFile))
                return usageError(QStringLiteral("--file needs a value"));
        } else if (a == QLatin1String("-o") || a == QLatin1String("--output")) {
            if (!value(&out))
                return usageError(QStringLiteral("-o needs a file name"));
        } else if (a == QLatin1String("--captions")) {
            if (!value(&captions))
                return usageError(QStringLiteral("--captions needs a file name"));
        } else if (a == QLatin1String("--voice")) {
            if (!value(&voice))
                return usageError(QStringLiteral("--voice needs an identifier"));
        } else if (a == QLatin1String("--rate")) {
            if (!value(&v) || !parseNumber(v, -10, 10, &rate))
                return usageError(QStringLiteral("--rate takes a whole number from -10 to 10"));
        } else if (a == QLatin1String("--pitch")) {
            if (!value(&v) || !parseNumber(v, -10, 10, &pitch))
                return usageError(QStringLiteral("--pitch takes a whole number from -10 to 10"));
        } else if (a == QLatin1String("--volume")) {
            if (!value(&v) || !parseNumber(v, 0, 100, &volume))
                return usageError(QStringLiteral("--volume takes a whole number from 0 to 100"));
        } else {
            return usageError(QStringLiteral("unknown argument '%1'").arg(a));
        }
    }

    int argc = 1;
    char name[] = "parlivo";
    char *argv[] = {name, nullptr};
    QCoreApplication app(argc, argv);

    if (listVoices) {
        if (!EspeakEngine::available())
            return speakLine().failure(QStringLiteral("the speech synthesiser could not start"));
        QTextStream stdoutStream(stdout);
        for (const SpeechVoice &v : EspeakEngine::voices())
            stdoutStream << v.identifier << '\t' << v.language << '\t' << v.name << '\n';
        return 0;
    }

    if (haveText == !textFile.isEmpty())
        return usageError(QStringLiteral("give exactly one of --text and --file"));
    if (out.isEmpty())
        return usageError(QStringLiteral("-o OUT is required"));
    if (!textFile.isEmpty()) {
        QFile f(textFile);
        if (!f.open(QIODevice::ReadOnly))
            return speakLine().failure(QStringLiteral("cannot read %1: %2").arg(textFile, f.errorString()));
        text = QString::fromUtf8(f.readAll());
    }
    if (!EspeakEngine::available())
        return speakLine().failure(QStringLiteral("the speech synthesiser could not start"));
    int voiceNumber = 0;
    if (!voice.isEmpty()) {
        voiceNumber = EspeakEngine::voiceNumber(voice);
        if (voiceNumber < 0)
            return usageError(QStringLiteral("no voice '%1' (see parlivo speak --list-voices)").arg(voice));
    }

    EspeakEngine engine;
    engine.setOutputFormat(speechFormatForPath(out));
    engine.selectOption(0);
    engine.selectVoice(voiceNumber);
    engine.setSetting(1, rate);
    engine.setSetting(2, volume);
    engine.setSetting(3, pitch);
    int exitCode = 1;
    QString captionsError;
    QObject::connect(&engine, &SpeechEngine::fileWordTimes, &app, [&](const QVector<TimedWord> &words, qint64 audioMs) {
        if (captions.isEmpty())
            return;
        QSaveFile file(captions);
        const QByteArray vtt = webVttOf(captionCues(text, words, audioMs)).toUtf8();
        if (!file.open(QIODevice::WriteOnly) || file.write(vtt) != vtt.size() || !file.commit())
            captionsError = QStringLiteral("cannot write %1: %2").arg(captions, file.errorString());
    });
    QObject::connect(&engine, &SpeechEngine::speakToFileFinished, &app, [&](bool ok, const QString &error) {
        if (ok && !captionsError.isEmpty()) {
            speakLine().failure(captionsError);
        } else if (ok) {
            std::fprintf(stdout, "%s\n", qPrintable(QFileInfo(out).absoluteFilePath()));
            if (!captions.isEmpty())
                std::fprintf(stdout, "%s\n", qPrintable(QFileInfo(captions).absoluteFilePath()));
            exitCode = 0;
        } else {
            speakLine().failure(error);
        }
        app.quit();
    });
    engine.speakToFile(text, QFileInfo(out).absoluteFilePath(), 1);
    app.exec();
    return exitCode;
}

} // namespace parlivo
