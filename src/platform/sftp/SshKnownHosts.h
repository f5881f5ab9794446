#pragma once
// The user's known_hosts file, read the way the SSH tools write it (hashed names included),
// and the verdict on a server's key: known, changed, or never seen.
#include <QByteArray>
#include <QString>
#include <vector>

struct _LIBSSH2_SESSION;
struct _LIBSSH2_KNOWNHOSTS;
struct libssh2_knownhost;

namespace parlivo {

struct KnownHostVerdict
{
    enum Kind { Match, Changed, NotFound } kind = NotFound;
    int line = 0;   // the file's line holding the entry that matched or differs
};

class SshKnownHosts
{
public:
    explicit SshKnownHosts(_LIBSSH2_SESSION *session);
    ~SshKnownHosts();
    SshKnownHosts(const SshKnownHosts &) = delete;
    SshKnownHosts &operator=(const SshKnownHosts &) = delete;

    // Reads `path` line by line; lines this library cannot use (certificate authorities,
    // key types it does not know) are passed over rather than ending the read. A missing
    // file is an empty one.
    void load(const QString &path);
    QString path() const { return m_path; }

    // The name a server is filed under: "host" on port 22, "[host]:port" on any other.
    static QString hostPattern(const QString &host, int port);
    // The line that files `key` (the raw blob) of type `keyTypeName` under `pattern`.
    static QString entryLine(const QString &pattern, const QString &keyTypeName, const QByteArray &key);

    // Host-key method names of the entries this server has, for asking the server for a key
    // we can check; empty when it has none.
    QByteArray knownMethods(const QString &pattern) const;
    // `hostKeyType` is the library's LIBSSH2_HOSTKEY_TYPE_* of the server's key.
    KnownHostVerdict check(const QString &pattern, const QByteArray &key, int hostKeyType) const;

private:
    int lineOf(const libssh2_knownhost *entry) const;

    _LIBSSH2_KNOWNHOSTS *m_hosts = nullptr;
    QString m_path;
    // Entry by entry, in the library's order, the file line it came from.
    std::vector<std::pair<const libssh2_knownhost *, int>> m_lines;
};

} // namespace parlivo
