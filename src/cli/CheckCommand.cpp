// `parlivo check`: tries the publishing settings one step at a time and says which step fails,
// so a new server can be set up without publishing a message to find out.
#include "cli/Commands.h"
#include "cli/CommandLine.h"

#include "platform/Factories.h"
#include "publish/ConnectionCheck.h"
#include "publish/PublishConfig.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>

#include <algorithm>
#include <cstdio>

namespace parlivo {

namespace {

constexpr const char *CheckSynopsis =
    "Usage: parlivo check [--passphrase-file FILE]\n"
    "\n"
    "Checks the publishing settings one step at a time: reads them, connects, checks the\n"
    "server's host key, logs in, makes and removes a file in the remote folder and asks the\n"
    "web server for the page address. One line per step, OK or why it failed; the first\n"
    "failure ends the check with exit code 1. Nothing is uploaded.\n"
    "\n";

} // namespace

bool readPassphraseFile(const QString &path, QString *passphrase, QString *error)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("the passphrase file %1 cannot be read (%2)").arg(path, f.errorString());
        return false;
    }
    // The first line, without its line end: the way such files are written by hand or by echo.
    QByteArray line = f.readLine();
    while (line.endsWith('\n') || line.endsWith('\r'))
        line.chop(1);
    *passphrase = QString::fromUtf8(line);
    return true;
}

int runCheckCommand(const QStringList &arguments)
{
    static int argc = 1;
    static char name[] = "parlivo";
    static char *argv[] = {name, nullptr};
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("parlivo check"));

    QCommandLineParser parser;
    const QCommandLineOption help(QStringList{QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("Shows this help."));
    const QCommandLineOption version(QStringLiteral("version"), QStringLiteral("Shows the version."));
    const QCommandLineOption passphraseFile(QStringLiteral("passphrase-file"),
                                            QStringLiteral("Read the identity file's passphrase from FILE."),
                                            QStringLiteral("FILE"));
    parser.addOptions({help, version, passphraseFile});
    const QString helpText = parser.helpText();
    const CommandLine line(QStringLiteral("check"),
                           QString::fromLatin1(CheckSynopsis) + helpText.mid(std::max<qsizetype>(0, helpText.indexOf(QLatin1String("Options:")))));
    QStringList all{QStringLiteral("parlivo check")};
    all += arguments;
    if (!parser.parse(all))
        return line.usageError(parser.errorText());
    if (parser.isSet(help))
        return line.printUsage();
    if (parser.isSet(version))
        return CommandLine::printVersion();
    if (!parser.positionalArguments().isEmpty())
        return line.usageError(QStringLiteral("unexpected argument \"%1\"").arg(parser.positionalArguments().first()));

    ConnectionCheck check;
    if (parser.isSet(passphraseFile)) {
        QString passphrase, error;
        if (!readPassphraseFile(parser.value(passphraseFile), &passphrase, &error))
            return line.failure(error);
        check.setPassphrase(passphrase);
    }
    std::unique_ptr<SftpClient> client = makeSftpClient();
    QObject::connect(&check, &ConnectionCheck::line, &app,
                     [](const QString &text) { CommandLine::write(stdout, text + QLatin1Char('\n')); });
    QObject::connect(&check, &ConnectionCheck::finished, &app, [](bool ok) { QCoreApplication::exit(ok ? 0 : 1); });
    check.start(client.get(), PublishConfig::current());
    const int code = app.exec();
    check.cancel();
    client.reset();
    return code;
}

} // namespace parlivo
