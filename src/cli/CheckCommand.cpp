// `parlivo check`: tries the publishing settings one step at a time and says which step fails,
// so a new server can be set up without publishing a message to find out.
#include "cli/Commands.h"

#include "platform/Factories.h"
#include "publish/ConnectionCheck.h"
#include "publish/PublishConfig.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>

#include <cstdio>

namespace parlivo {

namespace {

void say(FILE *to, const QString &text)
{
    const QByteArray bytes = text.toLocal8Bit();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), to);
    std::fflush(to);
}

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
    parser.setApplicationDescription(QStringLiteral(
        "Checks the publishing settings: connects, checks the server's host key, logs in, makes and removes a "
        "file in the remote folder and asks the web server for the page address. Uploads nothing."));
    parser.addHelpOption();
    const QCommandLineOption passphraseFile(QStringLiteral("passphrase-file"),
                                            QStringLiteral("Read the identity file's passphrase from FILE."),
                                            QStringLiteral("FILE"));
    parser.addOption(passphraseFile);
    QStringList all{QStringLiteral("parlivo check")};
    all += arguments;
    if (!parser.parse(all)) {
        say(stderr, QStringLiteral("parlivo check: ") + parser.errorText() + QLatin1Char('\n'));
        return 2;
    }
    if (parser.isSet(QStringLiteral("help"))) {
        say(stdout, parser.helpText());
        return 0;
    }
    if (!parser.positionalArguments().isEmpty()) {
        say(stderr, QStringLiteral("parlivo check: unexpected argument \"%1\"\n").arg(parser.positionalArguments().first()));
        return 2;
    }

    ConnectionCheck check;
    if (parser.isSet(passphraseFile)) {
        QString passphrase, error;
        if (!readPassphraseFile(parser.value(passphraseFile), &passphrase, &error)) {
            say(stderr, QStringLiteral("parlivo check: ") + error + QLatin1Char('\n'));
            return 1;
        }
        check.setPassphrase(passphrase);
    }
    std::unique_ptr<SftpClient> client = makeSftpClient();
    QObject::connect(&check, &ConnectionCheck::line, &app, [](const QString &text) { say(stdout, text + QLatin1Char('\n')); });
    QObject::connect(&check, &ConnectionCheck::finished, &app, [](bool ok) { QCoreApplication::exit(ok ? 0 : 1); });
    check.start(client.get(), PublishConfig::current());
    const int code = app.exec();
    check.cancel();
    client.reset();
    return code;
}

} // namespace parlivo
