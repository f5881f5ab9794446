#pragma once
// Subcommands of the parlivo executable that work without a window. Each takes the
// arguments after its name and returns the process exit code.
#include <QString>
#include <QStringList>

#include <vector>

namespace parlivo {

int runRecordCommand(const QStringList &arguments);
int runSpeakCommand(const QStringList &arguments);
int runPublishCommand(const QStringList &arguments);
int runCheckCommand(const QStringList &arguments);
int runTrimCommand(const QStringList &arguments);

// The first line of `path`, for --passphrase-file; false with `error` when it cannot be read.
bool readPassphraseFile(const QString &path, QString *passphrase, QString *error);

struct Subcommand
{
    const char *name;
    const char *summary;  // one line for the program's usage
    int (*run)(const QStringList &arguments);
};

// Every subcommand, in the order the program's usage lists them.
const std::vector<Subcommand> &subcommands();

// What the arguments ask of the program, decided before any Qt object exists: a subcommand
// is run here; --help, --version and misuse are answered here. Qt's own window options
// (-platform, -display, ...) are left for the window.
struct ProgramRequest
{
    bool openWindow = false;
    int exitCode = 0;
};
ProgramRequest handleProgramArguments(int argc, char **argv);

} // namespace parlivo
