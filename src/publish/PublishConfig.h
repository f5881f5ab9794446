#pragma once
// Where published messages go: the server's address and account, how its identity is checked
// and how to log in, and the address the pages are served under. Read from settings files,
// each overriding the one before it key by key, then from the environment. Nothing is written.
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

namespace parlivo {

class SftpClient;

struct PublishConfig
{
    QString host;
    int port = 22;
    QString user;
    QString password;
    // "ssh-ed25519 SHA256:<base64>" or "SHA256:<base64>"; empty: known_hosts decides.
    QString hostKey;
    QString knownHosts;   // OpenSSH-format file; "" turns it off
    QString identity;     // private key file; "" for none
    bool useAgent = true;
    QString pageBase;     // ends with "/"
    QString remoteFolder = QStringLiteral("/httpdocs/");

    // The settings files that were read, in order, and what was wrong in them ("FILE:LINE: ...").
    QStringList filesRead;
    QStringList settingsProblems;
    // The file a person should write their settings to.
    QString userFile;

    // Where the settings come from. `userFile` is replaced by $PARLIVO_PUBLISH_CONF when set, so
    // a developer's own settings never leak into the local test server's runs.
    struct Sources
    {
        QString systemFile;
        QString userFile;
        QProcessEnvironment environment;
    };
    static Sources standardSources(const QProcessEnvironment &env = QProcessEnvironment::systemEnvironment());

    // The values the program was built with: no server, no account, no key.
    static PublishConfig compiledIn();
    // The compiled-in values, then each settings file, then the environment.
    static PublishConfig load(const Sources &sources);
    static PublishConfig current() { return load(standardSources()); }
    // `base` with the overrides found in `env` (PARLIVO_SFTP_HOST, _PORT, _USER, _PASSWORD,
    // _HOSTKEY, PARLIVO_PAGE_BASE). A new host without a new page base moves the page base along
    // when the page base was derived from the host.
    static PublishConfig withOverrides(PublishConfig base, const QProcessEnvironment &env);

    // Applies one settings file on top of this configuration. A missing file is no error;
    // files that must be private and hold a password must not be readable by others.
    void readFile(const QString &path, bool mustBePrivate, const QString &home);

    // Empty when usable; otherwise sentences telling the user what to put right and where.
    QString problem() const;
    // Gives the client the server, account and ways of logging in (the passphrase of the
    // identity file is asked for separately, so it comes along).
    void applyTo(SftpClient &client, const QString &passphrase) const;
};

} // namespace parlivo
