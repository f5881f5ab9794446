#include "platform/sftp/SshKnownHosts.h"

#include <libssh2.h>

#include <QFile>

namespace parlivo {

namespace {

int knownHostKeyMask(int hostKeyType)
{
    switch (hostKeyType) {
    case LIBSSH2_HOSTKEY_TYPE_RSA: return LIBSSH2_KNOWNHOST_KEY_SSHRSA;
    case LIBSSH2_HOSTKEY_TYPE_DSS: return LIBSSH2_KNOWNHOST_KEY_SSHDSS;
    case LIBSSH2_HOSTKEY_TYPE_ECDSA_256: return LIBSSH2_KNOWNHOST_KEY_ECDSA_256;
    case LIBSSH2_HOSTKEY_TYPE_ECDSA_384: return LIBSSH2_KNOWNHOST_KEY_ECDSA_384;
    case LIBSSH2_HOSTKEY_TYPE_ECDSA_521: return LIBSSH2_KNOWNHOST_KEY_ECDSA_521;
    case LIBSSH2_HOSTKEY_TYPE_ED25519: return LIBSSH2_KNOWNHOST_KEY_ED25519;
    default: return LIBSSH2_KNOWNHOST_KEY_UNKNOWN;
    }
}

} // namespace

SshKnownHosts::SshKnownHosts(_LIBSSH2_SESSION *session) : m_hosts(libssh2_knownhost_init(session)) {}

SshKnownHosts::~SshKnownHosts()
{
    if (m_hosts)
        libssh2_knownhost_free(m_hosts);
}

void SshKnownHosts::load(const QString &path)
{
    m_path = path;
    QFile file(path);
    if (!m_hosts || path.isEmpty() || !file.open(QIODevice::ReadOnly))
        return;
    libssh2_knownhost *last = nullptr;
    int number = 0;
    while (!file.atEnd()) {
        ++number;
        const QByteArray line = file.readLine();
        const QByteArray trimmed = line.trimmed();
        if (trimmed.isEmpty() || trimmed.startsWith('#') || trimmed.startsWith('@'))
            continue;
        if (libssh2_knownhost_readline(m_hosts, trimmed.constData(), size_t(trimmed.size()),
                                       LIBSSH2_KNOWNHOST_FILE_OPENSSH) != 0)
            continue;
        // A line naming several hosts becomes one entry per name.
        libssh2_knownhost *next = nullptr;
        while (libssh2_knownhost_get(m_hosts, &next, last) == 0) {
            m_lines.emplace_back(next, number);
            last = next;
        }
    }
}

QString SshKnownHosts::hostPattern(const QString &host, int port)
{
    return port == 22 ? host : QStringLiteral("[%1]:%2").arg(host).arg(port);
}

QString SshKnownHosts::entryLine(const QString &pattern, const QString &keyTypeName, const QByteArray &key)
{
    return pattern + QLatin1Char(' ') + keyTypeName + QLatin1Char(' ') + QString::fromLatin1(key.toBase64());
}

QByteArray SshKnownHosts::knownMethods(const QString &pattern) const
{
    if (!m_hosts)
        return {};
    const QByteArray name = pattern.toUtf8();
    // A key no entry can hold: an entry of the type answers "mismatch", and so shows itself.
    static const char probe[] = "parlivo-probe";
    struct Type { int hostKeyType; const char *methods; };
    static const Type types[] = {
        {LIBSSH2_HOSTKEY_TYPE_ED25519, "ssh-ed25519"},
        {LIBSSH2_HOSTKEY_TYPE_ECDSA_256, "ecdsa-sha2-nistp256"},
        {LIBSSH2_HOSTKEY_TYPE_ECDSA_384, "ecdsa-sha2-nistp384"},
        {LIBSSH2_HOSTKEY_TYPE_ECDSA_521, "ecdsa-sha2-nistp521"},
        {LIBSSH2_HOSTKEY_TYPE_RSA, "rsa-sha2-512,rsa-sha2-256,ssh-rsa"},
    };
    QByteArray methods;
    for (const Type &t : types) {
        const int rc = libssh2_knownhost_checkp(m_hosts, name.constData(), -1, probe, sizeof probe - 1,
                                                LIBSSH2_KNOWNHOST_TYPE_PLAIN | LIBSSH2_KNOWNHOST_KEYENC_RAW
                                                    | knownHostKeyMask(t.hostKeyType),
                                                nullptr);
        if (rc == LIBSSH2_KNOWNHOST_CHECK_MISMATCH || rc == LIBSSH2_KNOWNHOST_CHECK_MATCH) {
            if (!methods.isEmpty())
                methods += ',';
            methods += t.methods;
        }
    }
    return methods;
}

KnownHostVerdict SshKnownHosts::check(const QString &pattern, const QByteArray &key, int hostKeyType) const
{
    KnownHostVerdict v;
    if (!m_hosts)
        return v;
    const QByteArray name = pattern.toUtf8();
    libssh2_knownhost *entry = nullptr;
    // The port is already part of the pattern (-1), so "[host]:2222" never falls back to the
    // entries filed for port 22.
    const int rc = libssh2_knownhost_checkp(m_hosts, name.constData(), -1, key.constData(), size_t(key.size()),
                                            LIBSSH2_KNOWNHOST_TYPE_PLAIN | LIBSSH2_KNOWNHOST_KEYENC_RAW
                                                | knownHostKeyMask(hostKeyType),
                                            &entry);
    if (rc == LIBSSH2_KNOWNHOST_CHECK_MATCH)
        v.kind = KnownHostVerdict::Match;
    else if (rc == LIBSSH2_KNOWNHOST_CHECK_MISMATCH)
        v.kind = KnownHostVerdict::Changed;
    v.line = entry ? lineOf(entry) : 0;
    return v;
}

int SshKnownHosts::lineOf(const libssh2_knownhost *entry) const
{
    for (const auto &[e, line] : m_lines)
        if (e == entry)
            return line;
    return 0;
}

} // namespace parlivo
