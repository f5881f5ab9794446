#pragma once
// Where published messages go: the server's address, account and pinned host key, and the
// address the pages are served under. Compiled in; the environment may override each value.
#include <QProcessEnvironment>
#include <QString>

namespace parlivo {

struct PublishConfig
{
    QString host;
    int port = 22;
    QString user;
    QString password;
    // "ssh-ed25519 SHA256:<base64>" or "SHA256:<base64>"; empty means "not configured".
    QString hostKey;
    QString pageBase;   // always ends with "/"
    QString remoteFolder = QStringLiteral("/httpdocs/");

    // The values the program was built with.
    static PublishConfig compiledIn();
    // The compiled-in values with the process environment's overrides applied.
    static PublishConfig current();
    // `base` with the overrides found in `env` (PARLIVO_SFTP_HOST, _PORT, _USER, _PASSWORD,
    // _HOSTKEY, PARLIVO_PAGE_BASE). A new host without a new page base moves the page base along
    // when the page base was derived from the host.
    static PublishConfig withOverrides(PublishConfig base, const QProcessEnvironment &env);

    // Empty when usable; otherwise a sentence telling the user what is missing.
    QString problem() const;
};

} // namespace parlivo
