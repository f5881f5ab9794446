// The program's own arguments and the table of subcommands.
#include "cli/Commands.h"
#include "cli/CommandLine.h"

#include <QSet>

namespace parlivo {

const std::vector<Subcommand> &subcommands()
{
    static const std::vector<Subcommand> all{
        {"record", "records from the microphone into an MP3 file", runRecordCommand},
        {"speak", "writes typed text as speech into a sound file", runSpeakCommand},
        {"trim", "cuts the silence at the ends of a sound file and evens out its level", runTrimCommand},
        {"publish", "publishes a message as a web page and prints the e-mail text", runPublishCommand},
        {"check", "tries the publishing settings step by step, uploading nothing", runCheckCommand},
    };
    return all;
}

namespace {

QString programUsage()
{
    QString text = QStringLiteral(
        "Usage: parlivo [--help | --version]\n"
        "       parlivo COMMAND [OPTIONS]\n"
        "\n"
        "Without a command, opens the Parlivo window (a second start while it is open\n"
        "brings that window forward).\n"
        "\n"
        "Commands (parlivo COMMAND --help shows each one's options):\n");
    for (const Subcommand &c : subcommands())
        text += QStringLiteral("  %1  %2\n").arg(QString::fromLatin1(c.name).leftJustified(8), QString::fromLatin1(c.summary));
    return text;
}

// Qt's window options that take a value, and those that take none.
const QSet<QString> &qtOptionsWithValue()
{
    static const QSet<QString> names{
        QStringLiteral("-platform"), QStringLiteral("-platformpluginpath"), QStringLiteral("-platformtheme"),
        QStringLiteral("-plugin"), QStringLiteral("-display"), QStringLiteral("-style"), QStringLiteral("-stylesheet"),
        QStringLiteral("-geometry"), QStringLiteral("-qwindowgeometry"), QStringLiteral("-qwindowtitle"),
        QStringLiteral("-qwindowicon"), QStringLiteral("-session"), QStringLiteral("-name"), QStringLiteral("-title"),
        QStringLiteral("-fn"), QStringLiteral("-font"), QStringLiteral("-bg"), QStringLiteral("-background"),
        QStringLiteral("-fg"), QStringLiteral("-foreground"), QStringLiteral("-qmljsdebugger")};
    return names;
}

const QSet<QString> &qtFlags()
{
    static const QSet<QString> names{QStringLiteral("-reverse"), QStringLiteral("-sync"), QStringLiteral("-nograb"),
                                     QStringLiteral("-dograb"), QStringLiteral("-widgetcount")};
    return names;
}

} // namespace

ProgramRequest handleProgramArguments(int argc, char **argv)
{
    QStringList args;
    for (int i = 1; i < argc; ++i)
        args << QString::fromLocal8Bit(argv[i]);
    const CommandLine program(QString(), programUsage());

    if (!args.isEmpty()) {
        for (const Subcommand &c : subcommands())
            if (args.first() == QLatin1String(c.name))
                return {false, c.run(args.mid(1))};
    }
    for (int i = 0; i < args.size(); ++i) {
        const QString &a = args[i];
        if (const auto answered = program.answerHelpOrVersion(a))
            return {false, *answered};
        // Qt accepts its options with one dash or two, and "-opt=value".
        QString bare = a.section(QLatin1Char('='), 0, 0);
        if (bare.startsWith(QLatin1String("--")))
            bare.remove(0, 1);
        if (qtFlags().contains(bare))
            continue;
        if (qtOptionsWithValue().contains(bare)) {
            if (!a.contains(QLatin1Char('=')) && ++i >= args.size())
                return {false, program.usageError(QStringLiteral("%1 needs a value").arg(a))};
            continue;
        }
        if (a.startsWith(QLatin1Char('-')))
            return {false, program.usageError(QStringLiteral("unknown option '%1'").arg(a))};
        return {false, program.usageError(QStringLiteral("unknown command '%1'").arg(a))};
    }
    return {true, 0};
}

} // namespace parlivo
