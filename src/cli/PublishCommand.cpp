// `parlivo publish`: the window's publishing road without the window. The message is laid
// out in a private outgoing folder (so nothing the window left behind goes with it), sent
// by the same upload run, and the e-mail text is printed for the caller to pass on.
#include "cli/Commands.h"
#include "cli/CommandLine.h"

#include "message/AppLocation.h"
#include "message/Naming.h"
#include "audio/Captions.h"
#include "platform/Factories.h"
#include "platform/desktop/QtDesktop.h"
#include "publish/LinkDelivery.h"
#include "publish/MessageFiles.h"
#include "publish/PublishConfig.h"
#include "publish/PublishRun.h"
#include "publish/WebVideoStep.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QSocketNotifier>
#include <QStringDecoder>
#include <QTemporaryDir>
#include <QTime>
#include <QTimer>

#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace parlivo {

namespace {

constexpr const char *PublishSynopsis =
    "Usage: parlivo publish [--audio FILE] [--picture FILE] [--text TEXT] [--link URL]\n"
    "                       [--background-sound FILE] [--video FILE] [--captions FILE.vtt]\n"
    "                       [--text-file FILE] [--no-convert] [--passphrase-file FILE]\n"
    "\n"
    "Publishes a message as a web page and prints the e-mail text that links to it.\n"
    "\n";

void say(FILE *to, const QString &text)
{
    CommandLine::write(to, text);
}

// The synopsis, then the options as the parser lists them.
QString publishUsage(const QCommandLineParser &parser)
{
    const QString help = parser.helpText();
    const qsizetype options = help.indexOf(QLatin1String("Options:"));
    return QString::fromLatin1(PublishSynopsis) + (options < 0 ? QString() : help.mid(options));
}

// Ctrl-C and SIGTERM end a publication cleanly: the handler only notes the signal, the event
// loop calls the upload off (its temporary files on the server go with it) and the outgoing
// folder is removed on the way out. A second signal means "now": it ends the process at once.
int g_signalPipe[2] = {-1, -1};
volatile std::sig_atomic_t g_signalled = 0;

void onSignal(int sig)
{
    if (g_signalled)
        ::_exit(128 + sig);
    g_signalled = sig;
    const char byte = char(sig);
    [[maybe_unused]] const ssize_t n = ::write(g_signalPipe[1], &byte, 1);
}

// Empties the pipe after a signal, so its notifier does not fire again for the same one.
void drainSignalPipe()
{
    char byte = 0;
    while (::read(g_signalPipe[0], &byte, 1) > 0) {
    }
}

void catchSignals()
{
    if (g_signalPipe[0] < 0 && ::pipe2(g_signalPipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    struct sigaction sa {};
    sa.sa_handler = onSignal;
    sigemptyset(&sa.sa_mask);
    ::sigaction(SIGINT, &sa, nullptr);
    ::sigaction(SIGTERM, &sa, nullptr);
}

// The text of --text-file: a file, or standard input for "-"; UTF-8 either way.
bool readTextFile(const QString &name, QString *text, QString *why)
{
    QFile f;
    const bool opened = name == QLatin1String("-") ? f.open(stdin, QIODevice::ReadOnly)
                                                   : (f.setFileName(name), f.open(QIODevice::ReadOnly));
    if (!opened) {
        *why = QStringLiteral("the text file \"%1\" could not be read: %2").arg(name, f.errorString());
        return false;
    }
    const QByteArray bytes = f.readAll();
    QStringDecoder utf8(QStringDecoder::Utf8);
    *text = utf8.decode(bytes);
    if (utf8.hasError()) {
        *why = QStringLiteral("the text file \"%1\" is not UTF-8 text").arg(name);
        return false;
    }
    return true;
}

} // namespace

int runPublishCommand(const QStringList &arguments)
{
    static int argc = 1;
    static char name[] = "parlivo";
    static char *argv[] = {name, nullptr};
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("parlivo publish"));

    QCommandLineParser parser;
    const QCommandLineOption help(QStringList{QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("Shows this help."));
    const QCommandLineOption version(QStringLiteral("version"), QStringLiteral("Shows the version."));
    parser.addOption(help);
    parser.addOption(version);
    const QCommandLineOption audio(QStringLiteral("audio"), QStringLiteral("The spoken message (MP3)."), QStringLiteral("FILE"));
    const QCommandLineOption picture(QStringLiteral("picture"), QStringLiteral("The picture (the rabbit when left out)."),
                                     QStringLiteral("FILE"));
    const QCommandLineOption text(QStringLiteral("text"), QStringLiteral("A short text message."), QStringLiteral("TEXT"));
    const QCommandLineOption textFile(QStringLiteral("text-file"),
                                      QStringLiteral("The text message from a UTF-8 file (\"-\" reads standard input)."),
                                      QStringLiteral("FILE"));
    const QCommandLineOption link(QStringLiteral("link"), QStringLiteral("A web link (http, https or mailto)."),
                                  QStringLiteral("URL"));
    const QCommandLineOption background(QStringLiteral("background-sound"), QStringLiteral("A background sound (WAV)."),
                                        QStringLiteral("FILE"));
    const QCommandLineOption video(QStringLiteral("video"),
                                   QStringLiteral("A video clip: AVI, FLV, MOV, MP4, MPG, MPEG, SWF or WMV."),
                                   QStringLiteral("FILE"));
    const QCommandLineOption passphraseFile(QStringLiteral("passphrase-file"),
                                            QStringLiteral("Read the identity file's passphrase from FILE."),
                                            QStringLiteral("FILE"));
    parser.addOptions({audio, picture, text, textFile, link, background, video, passphraseFile});
    const QCommandLineOption captions(QStringLiteral("captions"),
                                      QStringLiteral("WebVTT captions of the audio (as parlivo speak --captions writes)."),
                                      QStringLiteral("FILE"));
    parser.addOption(captions);
    const QCommandLineOption noConvert(QStringLiteral("no-convert"),
                                       QStringLiteral("Publish the video as it is, without a copy for the web."));
    parser.addOption(noConvert);
    QStringList all{QStringLiteral("parlivo publish")};
    all += arguments;
    const CommandLine line(QStringLiteral("publish"), publishUsage(parser));
    auto fail = [&line](const QString &why) { return line.failure(why); };
    if (!parser.parse(all))
        return line.usageError(parser.errorText());
    if (parser.isSet(help))
        return line.printUsage();
    if (parser.isSet(version))
        return CommandLine::printVersion();
    if (!parser.positionalArguments().isEmpty())
        return line.usageError(QStringLiteral("unexpected argument \"%1\"").arg(parser.positionalArguments().first()));

    MessageInputs in;
    if (parser.isSet(audio)) {
        in.i_recorded = true;
        in.audioSource = parser.value(audio);
    }
    if (parser.isSet(picture)) {
        in.wants_picture = true;
        in.my_picture = parser.value(picture);
    }
    in.my_text_message = parser.value(text);
    if (parser.isSet(textFile)) {
        if (parser.isSet(text))
            return fail(QStringLiteral("--text and --text-file cannot be given together"));
        QString why;
        if (!readTextFile(parser.value(textFile), &in.my_text_message, &why))
            return fail(why);
    }
    if (parser.isSet(link)) {
        in.wants_link = true;
        in.my_link = parser.value(link);
        if (!safeLinkValue(in.my_link).insert)
            return line.usageError(QStringLiteral("the link \"%1\" is not a web or mail address (http, https or mailto)")
                            .arg(in.my_link));
    }
    if (parser.isSet(background)) {
        in.wants_backsound = true;
        in.my_background_wav = parser.value(background);
    }
    if (parser.isSet(video)) {
        in.wants_video = true;
        in.my_video = parser.value(video);
        in.what_format = formatTagForFile(in.my_video);
        if (in.what_format.isEmpty())
            return line.usageError(QStringLiteral("the video \"%1\" is not one of AVI, FLV, MOV, MP4, MPG, MPEG, SWF or WMV")
                            .arg(in.my_video));
    }

    if (parser.isSet(captions)) {
        const QString file = parser.value(captions);
        if (!in.i_recorded)
            return line.usageError(QStringLiteral("the captions \"%1\" need the audio they belong to (--audio)").arg(file));
        QFile f(file);
        if (!f.open(QIODevice::ReadOnly))
            return fail(QStringLiteral("the captions \"%1\" cannot be read: %2").arg(file, f.errorString()));
        const QByteArray data = f.readAll();
        QVector<CaptionCue> cues;
        QString why;
        if (!readWebVtt(data, &cues, &why))
            return fail(QStringLiteral("the captions \"%1\" are not WebVTT captions: %2").arg(file, why));
        in.captions = QString::fromUtf8(data);
        in.transcript = transcriptOf(cues);
    }

    const QString appFolder = locateApplicationFolder(QCoreApplication::applicationDirPath());
    const PublishConfig config = PublishConfig::current();
    if (!config.problem().isEmpty())
        return fail(config.problem());

    catchSignals();
    QString passphrase;
    if (parser.isSet(passphraseFile)) {
        QString error;
        if (!readPassphraseFile(parser.value(passphraseFile), &passphrase, &error))
            return fail(error);
    }

    QTemporaryDir outgoing;
    if (!outgoing.isValid())
        return fail(QStringLiteral("no folder could be made for the outgoing files: ") + outgoing.errorString());
    PosixDriveInfo drives;
    PrepareOptions options;
    options.appFolder = appFolder;
    options.outFolder = outgoing.path();
    options.baseName = MessageBaseName(GetDriveSerialNumber(drives, appFolder), MessageTimeStamp(QTime::currentTime()),
                                      MessageToken());
    options.pageBase = config.pageBase;
    PreparedMessage prepared = prepareMessage(in, options);
    if (!prepared.ok)
        return fail(prepared.error);

    std::unique_ptr<SftpClient> client = makeSftpClient();
    if (!client)
        return fail(QStringLiteral("the upload component could not be started"));

    QString address = pageAddress(config.pageBase, prepared.pageName);
    const bool progress = ::isatty(STDERR_FILENO);
    QString videoNote;
    if (!prepared.videoCopy.isEmpty()) {
        // Without conversion the original is still rewritten without its metadata.
        const bool convert = !parser.isSet(noConvert);
        // The conversion runs before the upload; a signal during it cancels it and the
        // outgoing folder goes as it would during the upload.
        std::unique_ptr<VideoConverter> converter = makeVideoConverter();
        WebVideoStep step;
        WebVideoOutcome outcome;
        QSocketNotifier watch(g_signalPipe[0], QSocketNotifier::Read);
        QObject::connect(&watch, &QSocketNotifier::activated, &app, [&] {
            drainSignalPipe();
            step.cancel();
        });
        QObject::connect(&step, &WebVideoStep::progress, &app, [&](int percent) {
            if (progress)
                say(stderr, QLatin1Char('\r') + WebVideoStep::progressText(percent));
        });
        QObject::connect(&step, &WebVideoStep::finished, &app, [&](const WebVideoOutcome &o) {
            outcome = o;
            QCoreApplication::exit(0);
        });
        step.start(converter.get(), prepared.videoCopy, convert ? prepared.webVideoPath : QString(),
                   convert ? prepared.posterPath : QString());
        if (step.isRunning())
            app.exec();
        if (progress)
            say(stderr, QStringLiteral("\n"));
        if (g_signalled || outcome.cancelled) {
            outgoing.remove();
            say(stderr, QStringLiteral("parlivo publish: cancelled\n"));
            return 128 + int(g_signalled ? g_signalled : SIGINT);
        }
        QString why;
        if (!addWebVideo(prepared, outcome, &why))
            return fail(why);
        if (!outcome.mp4 && convert)
            videoNote = WebVideoStep::failureNote(outcome.error);
        else if (!outcome.originalCleaned)
            videoNote = WebVideoStep::withheldNote(outcome.originalError);
        if (!videoNote.isEmpty())
            line.warn(videoNote);
    }
    int exitCode = 1;
    PublishRun run;
    // The outgoing copy is gone when the command ends; the user's own files are untouched.
    run.setKeptNote(QStringLiteral(" Your own files are unchanged: you can publish them again."));
    int freshNames = 0;
    run.setRenamer([&](QString *why) {
        PrepareOptions again = options;
        again.baseName = FreshBaseName(options.baseName, ++freshNames);
        prepared = prepareAgain(prepared, in, again);
        if (!prepared.ok) {
            *why = prepared.error;
            return QString();
        }
        if (progress)
            say(stderr, QStringLiteral("The name was taken on the server; publishing as %1 instead...\n")
                            .arg(prepared.baseName));
        address = pageAddress(config.pageBase, prepared.pageName);
        return address;
    });
    QSocketNotifier signalWatch(g_signalPipe[0], QSocketNotifier::Read);
    QObject::connect(&signalWatch, &QSocketNotifier::activated, &app, [&] {
        drainSignalPipe();
        exitCode = 128 + int(g_signalled);
        QCoreApplication::exit(exitCode);
    });
    run.setPassphrase(passphrase);
    QObject::connect(client.get(), &SftpClient::Connected, &run, &PublishRun::onConnected);
    QObject::connect(client.get(), &SftpClient::Done, &run, &PublishRun::onDone);
    QObject::connect(client.get(), &SftpClient::StateChanged, &run, [&] {
        const QString state = client->stateText();
        if (run.onStateChanged(state) && progress)
            say(stderr, state + QStringLiteral("...\n"));
        if (run.phase() == PublishRun::Phase::Idle)
            QCoreApplication::exit(exitCode);
    });
    QObject::connect(&run, &PublishRun::failed, &app, [&](const QString &reason) {
        line.warn(reason);
        exitCode = 1;
        QCoreApplication::exit(exitCode);
    });
    QObject::connect(&run, &PublishRun::uploaded, &app, [&] {
        say(stdout, emailText(address) + QLatin1Char('\n'));
        if (!run.checkNote().isEmpty())
            line.warn(run.checkNote());
        if (!videoNote.isEmpty())
            line.warn(videoNote);
        exitCode = 0;
        client->disconnectFromServer();
        // The disconnected state ends the run; a client that never reports it is not waited for.
        QTimer::singleShot(2000, &app, [&] { QCoreApplication::exit(exitCode); });
    });
    QTimer::singleShot(0, &app, [&] { run.start(client.get(), config, outgoing.path() + QLatin1Char('/'), address); });
    const int code = app.exec();
    run.cancel();
    // Waits (briefly) for the worker, which removes this upload's temporary files on the server.
    client.reset();
    if (g_signalled) {
        outgoing.remove();
        say(stderr, QStringLiteral("parlivo publish: cancelled\n"));
        return 128 + int(g_signalled);
    }
    return code;
}

} // namespace parlivo
