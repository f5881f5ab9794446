#include "CommandLine.h"

#include <cstdio>

namespace parlivo {

CommandLine::CommandLine(QString command, QString usage) : m_command(std::move(command)), m_usage(std::move(usage))
{
    if (!m_usage.endsWith(QLatin1Char('\n')))
        m_usage += QLatin1Char('\n');
}

QString CommandLine::prefix() const
{
    return m_command.isEmpty() ? QStringLiteral("parlivo: ") : QStringLiteral("parlivo %1: ").arg(m_command);
}

void CommandLine::write(FILE *to, const QString &text)
{
    const QByteArray bytes = text.toLocal8Bit();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), to);
    std::fflush(to);
}

std::optional<int> CommandLine::answerHelpOrVersion(const QString &argument) const
{
    if (argument == QLatin1String("--help") || argument == QLatin1String("-h"))
        return printUsage();
    if (argument == QLatin1String("--version"))
        return printVersion();
    return std::nullopt;
}

int CommandLine::printUsage() const
{
    write(stdout, m_usage);
    return 0;
}

int CommandLine::printVersion()
{
    write(stdout, QStringLiteral("parlivo " PARLIVO_VERSION "\n"));
    return 0;
}

namespace {

// One line: a reason that arrives with line breaks (a library's error text) is joined.
QString oneLine(const QString &text)
{
    return text.simplified();
}

} // namespace

int CommandLine::usageError(const QString &reason) const
{
    write(stderr, prefix() + oneLine(reason) + QStringLiteral("\n\n") + m_usage);
    return 2;
}

int CommandLine::failure(const QString &reason) const
{
    write(stderr, prefix() + oneLine(reason) + QLatin1Char('\n'));
    return 1;
}

void CommandLine::warn(const QString &text) const
{
    write(stderr, prefix() + oneLine(text) + QLatin1Char('\n'));
}

namespace {

QtMessageHandler previousHandler = nullptr;

void dropRuntimeDirectoryWarning(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (type == QtWarningMsg && message.startsWith(QLatin1String("QStandardPaths: XDG_RUNTIME_DIR not set")))
        return;
    if (previousHandler)
        previousHandler(type, context, message);
}

} // namespace

void quietenRuntimeDirectoryWarning()
{
    static bool installed = false;
    if (installed)
        return;
    installed = true;
    previousHandler = qInstallMessageHandler(dropRuntimeDirectoryWarning);
}

} // namespace parlivo
