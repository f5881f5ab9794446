// parlivo: give a short message its voice and publish it as a small web page.
#include "cli/Commands.h"
#include "app/FirstFrameProbe.h"
#include "app/RealPlatform.h"
#include "app/SignalCloser.h"
#include "app/widgets/Style.h"
#include "app/frmMAIN.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QScreen>
#include <cstdio>

namespace {

constexpr const char *Usage =
    "Usage: parlivo [options]\n"
    "       parlivo record --seconds N -o FILE.mp3 [--device NAME] | --list-devices\n"
    "       parlivo speak (--text TEXT | --file FILE) -o OUT [--captions FILE.vtt] [--voice ID] [--rate N]\n"
    "                     [--pitch N] [--volume N]\n"
    "       parlivo speak --list-voices\n"
    "       parlivo publish [--audio FILE] [--picture FILE] [--text TEXT] [--link URL]\n"
    "                       [--background-sound FILE] [--video FILE] [--captions FILE.vtt]\n"
    "\n"
    "Without a command, opens the Parlivo window.\n";

int runSubcommand(int argc, char **argv)
{
    const QString name = QString::fromLocal8Bit(argv[1]);
    QStringList rest;
    for (int i = 2; i < argc; ++i)
        rest << QString::fromLocal8Bit(argv[i]);
    if (name == QLatin1String("record"))
        return parlivo::runRecordCommand(rest);
    if (name == QLatin1String("speak"))
        return parlivo::runSpeakCommand(rest);
    return parlivo::runPublishCommand(rest);
}

} // namespace

int main(int argc, char **argv)
{
    if (argc > 1) {
        const QByteArray first(argv[1]);
        if (first == "record" || first == "speak" || first == "publish")
            return runSubcommand(argc, argv);
    }

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Parlivo"));
    QApplication::setApplicationVersion(QStringLiteral(PARLIVO_VERSION));

    QCommandLineParser parser;
    parser.setApplicationDescription(QString::fromLatin1(Usage));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.process(app);
    if (!parser.positionalArguments().isEmpty()) {
        std::fprintf(stderr, "parlivo: unknown command '%s'\n\n%s", qPrintable(parser.positionalArguments().first()), Usage);
        return 2;
    }

    parlivo::applyStyle(app);
    const QString appFolder = QCoreApplication::applicationDirPath();
    parlivo::RealPlatform real(appFolder);
    parlivo::frmMAIN window(real.platform(), appFolder);
    parlivo::SignalCloser closer(&window);
    window.Form_Load();
    if (QScreen *screen = window.screen())
        window.move(screen->availableGeometry().center() - window.rect().center());
    parlivo::FirstFrameProbe::installIfAsked(&window);
    window.show();
    return app.exec();
}
