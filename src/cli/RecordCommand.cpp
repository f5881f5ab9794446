// parlivo record: a quick microphone check and a recorder for scripts, through the same
// recorder and MP3 writer as the window.
#include "cli/Commands.h"
#include "cli/CommandLine.h"

#include "audio/AudioEdit.h"
#include "audio/RecordingText.h"
#include "message/VoiceFormat.h"
#include "platform/Factories.h"
#include "platform/audio/Mp3FileWriter.h"
#include "platform/audio/QtAudioRecorder.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>
#include <cstdio>
#include <memory>

namespace parlivo {

namespace {

constexpr const char *RecordUsage =
    "Usage: parlivo record --seconds N -o FILE.mp3 [--device NAME] [--raw]\n"
    "       parlivo record --list-devices\n"
    "Records N seconds (1 to 125) from the microphone into an MP3 file\n"
    "(44100 Hz, mono, 128 kbit/s). NAME is a device name as --list-devices shows it.\n"
    "The silence at both ends is then cut and the level evened out (-16 LUFS), as the\n"
    "window does; --raw keeps the recording as it came from the microphone.\n";

const CommandLine &recordLine()
{
    static const CommandLine line(QStringLiteral("record"), QString::fromLatin1(RecordUsage));
    return line;
}

int failure(const QString &message)
{
    return recordLine().failure(message);
}

struct RecordOptions
{
    bool listDevices = false;
    bool help = false;
    bool version = false;
    bool raw = false;
    double seconds = 0;
    QString output;
    QString device;
};

// Empty on success, else what is wrong with the arguments.
QString parseRecordOptions(const QStringList &args, RecordOptions &o)
{
    bool haveSeconds = false;
    for (int i = 0; i < args.size(); ++i) {
        const QString &a = args[i];
        auto value = [&](QString *out) {
            if (i + 1 >= args.size())
                return false;
            *out = args[++i];
            return true;
        };
        QString v;
        if (a == QLatin1String("--list-devices")) {
            o.listDevices = true;
        } else if (a == QLatin1String("-h") || a == QLatin1String("--help")) {
            o.help = true;
        } else if (a == QLatin1String("--version")) {
            o.version = true;
        } else if (a == QLatin1String("--raw")) {
            o.raw = true;
        } else if (a == QLatin1String("--seconds") || a.startsWith(QLatin1String("--seconds="))) {
            if (a.contains(QLatin1Char('=')))
                v = a.section(QLatin1Char('='), 1);
            else if (!value(&v))
                return QStringLiteral("--seconds needs a number");
            bool ok = false;
            o.seconds = v.toDouble(&ok);
            if (!ok || !(o.seconds > 0))
                return QStringLiteral("--seconds needs a positive number, not '%1'").arg(v);
            if (o.seconds > RecordingLimitSeconds)
                return QStringLiteral("a recording lasts at most %1 seconds").arg(RecordingLimitSeconds);
            haveSeconds = true;
        } else if (a == QLatin1String("-o") || a == QLatin1String("--output")) {
            if (!value(&o.output) || o.output.isEmpty())
                return QStringLiteral("%1 needs a file name").arg(a);
        } else if (a == QLatin1String("--device")) {
            if (!value(&o.device) || o.device.isEmpty())
                return QStringLiteral("--device needs a device name");
        } else {
            return QStringLiteral("unknown argument '%1'").arg(a);
        }
    }
    if (o.help || o.version || o.listDevices)
        return {};
    if (!haveSeconds)
        return QStringLiteral("--seconds is missing");
    if (o.output.isEmpty())
        return QStringLiteral("-o FILE.mp3 is missing");
    return {};
}

int record(const RecordOptions &o)
{
    QtAudioRecorder recorder;
    Mp3FileWriter writer;
    const int n = recorder.deviceCount();
    if (n < 1)
        return failure(QStringLiteral("no recording device was found"));
    const QStringList names = recorder.deviceNames();
    int device = recorder.defaultDevice();
    if (!o.device.isEmpty()) {
        device = -1;
        for (int i = 0; i < names.size() && device < 0; ++i)
            if (names[i] == o.device)
                device = i;
        for (int i = 0; i < names.size() && device < 0; ++i)
            if (names[i].compare(o.device, Qt::CaseInsensitive) == 0)
                device = i;
        if (device < 0)
            return failure(QStringLiteral("no recording device is named '%1' (see --list-devices)").arg(o.device));
    }
    recorder.selectDevice(device);

    writer.setMp3Output(voice_format::SampleRate, voice_format::BitrateKbps, voice_format::Channels);
    recorder.setFormat(voice_format::SampleRate, voice_format::Channels);
    writer.createFile(o.output, 0);
    if (writer.openStatus() < 0)
        return failure(recordingNotStartedText(writer.lastError()));
    const int rate = writer.fileSampleRate();
    const int frameBytes = 2 * writer.fileChannelCount();
    recorder.setFormat(rate, writer.fileChannelCount());
    // Short blocks, and the length counted in sound rather than on the clock: the
    // device takes a moment to start, and the file should still hold N seconds.
    recorder.setBlockSize(recorder.sizeForDuration(100));
    const qint64 target = qint64(o.seconds * rate) * frameBytes;
    qint64 bytes = 0;
    QEventLoop loop;
    QObject::connect(&recorder, &AudioRecorder::EndArrayRecord, &recorder, [&](int) {
        QByteArray block = recorder.takeBlock();
        if (bytes >= target)
            return;
        if (bytes + block.size() > target)
            block.truncate(target - bytes);
        bytes += block.size();
        writer.write(block);
        if (bytes >= target)
            loop.quit();
    });
    recorder.start();
    if (recorder.startStatus() < 0) {
        writer.abandon();
        return failure(recordingNotStartedText(recorder.lastError()));
    }
    // A device that stops delivering must not keep the command waiting for ever.
    QTimer::singleShot(int(o.seconds * 1000) + 5000, &loop, &QEventLoop::quit);
    loop.exec();
    recorder.stop();
    writer.close();
    if (!writer.lastError().isEmpty())
        return failure(recordingNotSavedText(writer.lastError()));
    if (bytes < target)
        recordLine().warn(QStringLiteral("the device delivered only %1 s of sound")
                              .arg(double(bytes) / (double(rate) * frameBytes), 0, 'f', 1));
    std::printf("%s: %.1f s recorded\n", qPrintable(o.output), double(bytes) / (double(rate) * frameBytes));
    if (o.raw || bytes == 0)
        return 0;
    std::fflush(stdout);
    AudioEdit edit;
    edit.trimSilence = true;
    edit.level = true;
    const std::unique_ptr<LoudnessMeter> meter = makeLoudnessMeter();
    const AudioEditResult edited = editAudioFile(o.output, o.output, edit, *meter);
    if (!edited.ok())
        recordLine().warn(QStringLiteral("kept as recorded: ") + edited.error);
    else if (const QString done = autoEditStatusText(edited); !done.isEmpty())
        std::printf("%s\n", qPrintable(done));
    return 0;
}

} // namespace

int runRecordCommand(const QStringList &arguments)
{
    RecordOptions o;
    const QString problem = parseRecordOptions(arguments, o);
    if (!problem.isEmpty())
        return recordLine().usageError(problem);
    if (o.help)
        return recordLine().printUsage();
    if (o.version)
        return CommandLine::printVersion();

    static int argc = 1;
    static char name[] = "parlivo";
    static char *argv[] = {name, nullptr};
    // The components are gone before the application object, so the audio server
    // connections close while the library is still fully alive.
    std::unique_ptr<QCoreApplication> app;
    if (!QCoreApplication::instance())
        app = std::make_unique<QCoreApplication>(argc, argv);
    int rc;
    if (o.listDevices) {
        QtAudioRecorder recorder;
        const QStringList names = recorder.deviceNames();
        if (names.isEmpty()) {
            rc = failure(QStringLiteral("no recording device was found"));
        } else {
            const int def = recorder.defaultDevice();
            for (int i = 0; i < names.size(); ++i)
                std::printf("%s%s\n", qPrintable(names[i]), i == def ? "  (default)" : "");
            rc = 0;
        }
    } else {
        rc = record(o);
    }
    std::fflush(stdout);
    return rc;
}

} // namespace parlivo
