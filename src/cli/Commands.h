#pragma once
// Subcommands of the parlivo executable that work without a window. Each takes the
// arguments after its name and returns the process exit code.
#include <QStringList>

namespace parlivo {

int runRecordCommand(const QStringList &arguments);
int runSpeakCommand(const QStringList &arguments);
int runPublishCommand(const QStringList &arguments);

} // namespace parlivo
