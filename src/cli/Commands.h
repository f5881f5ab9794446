#pragma once
// Subcommands of the parlivo executable that work without a window. Each takes the
// arguments after its name and returns the process exit code.
#include <QString>
#include <QStringList>

namespace parlivo {

int runRecordCommand(const QStringList &arguments);
int runSpeakCommand(const QStringList &arguments);
int runPublishCommand(const QStringList &arguments);
int runCheckCommand(const QStringList &arguments);

// The first line of `path`, for --passphrase-file; false with `error` when it cannot be read.
bool readPassphraseFile(const QString &path, QString *passphrase, QString *error);

} // namespace parlivo
