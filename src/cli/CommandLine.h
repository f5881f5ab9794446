#pragma once
// How every subcommand talks to its caller, so that they all behave alike:
//   --help or -h        the usage on stdout, exit 0
//   --version           "parlivo <version>" on stdout, exit 0
//   misuse              "parlivo <command>: <reason>", a blank line and the usage on stderr, exit 2
//   failure             "parlivo <command>: <reason>" on stderr, exit 1
#include <QString>
#include <QStringList>

#include <optional>

namespace parlivo {

class CommandLine
{
public:
    // command: the subcommand's name ("record"), empty for the program itself;
    // usage: the full usage text, beginning "Usage: parlivo <command> ...".
    CommandLine(QString command, QString usage);

    const QString &command() const { return m_command; }
    const QString &usage() const { return m_usage; }

    // The exit code when argument is --help, -h or --version (after answering it).
    std::optional<int> answerHelpOrVersion(const QString &argument) const;
    int printUsage() const;
    static int printVersion();

    int usageError(const QString &reason) const;
    int failure(const QString &reason) const;
    // A note on stderr that does not end the command.
    void warn(const QString &text) const;

    // Writes text as it is (local encoding) and flushes, so that lines from the library
    // and from the command keep their order.
    static void write(FILE *to, const QString &text);

    // The program's messages start with "parlivo <command>: ".
    QString prefix() const;

private:
    QString m_command;
    QString m_usage;
};

// Qt warns on stderr when XDG_RUNTIME_DIR is not set (a root shell, a cron job, a container):
// nothing a user can act on, so it is dropped; every other message passes unchanged.
void quietenRuntimeDirectoryWarning();

} // namespace parlivo
