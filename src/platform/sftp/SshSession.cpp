#include "platform/sftp/SshSession.h"

#include "platform/sftp/SftpUpload.h"
#include "platform/sftp/SshHostKey.h"
#include "platform/sftp/SshKnownHosts.h"

#include <libssh2.h>

#include <QtEndian>

#include <arpa/inet.h>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace parlivo {

namespace {

constexpr auto Slice = std::chrono::milliseconds(100);

QString seconds(std::chrono::milliseconds ms) { return QString::number(ms.count() / 1000.0, 'g', 3); }

void initLibrary()
{
    static std::once_flag once;
    std::call_once(once, [] { libssh2_init(0); });
}

const char *keyTypeName(int type)
{
    switch (type) {
    case LIBSSH2_HOSTKEY_TYPE_RSA: return "ssh-rsa";
    case LIBSSH2_HOSTKEY_TYPE_DSS: return "ssh-dss";
    case LIBSSH2_HOSTKEY_TYPE_ECDSA_256: return "ecdsa-sha2-nistp256";
    case LIBSSH2_HOSTKEY_TYPE_ECDSA_384: return "ecdsa-sha2-nistp384";
    case LIBSSH2_HOSTKEY_TYPE_ECDSA_521: return "ecdsa-sha2-nistp521";
    case LIBSSH2_HOSTKEY_TYPE_ED25519: return "ssh-ed25519";
    default: return "unknown";
    }
}

// The line itself failed, rather than the server saying no: worth connecting again.
bool connectionGone(int libraryCode)
{
    return libraryCode == LIBSSH2_ERROR_SOCKET_SEND || libraryCode == LIBSSH2_ERROR_SOCKET_RECV
           || libraryCode == LIBSSH2_ERROR_SOCKET_DISCONNECT || libraryCode == LIBSSH2_ERROR_SOCKET_TIMEOUT;
}

// The host-key methods of `wanted` this build of the library can check.
QByteArray supportedHostKeyMethods(LIBSSH2_SESSION *session, const QByteArray &wanted)
{
    const char **algs = nullptr;
    const int n = libssh2_session_supported_algs(session, LIBSSH2_METHOD_HOSTKEY, &algs);
    QList<QByteArray> supported;
    for (int i = 0; i < n; ++i)
        supported << QByteArray(algs[i]);
    if (n > 0 && algs)
        libssh2_free(session, algs);
    return onlySupportedMethods(wanted, supported);
}

} // namespace

SshSession::SshSession(std::function<bool()> cancelled) : m_cancelled(std::move(cancelled)) { initLibrary(); }

SshSession::~SshSession() { close(); }

QString SshSession::libraryError() const
{
    char *msg = nullptr;
    int len = 0;
    if (m_session)
        libssh2_session_last_error(m_session, &msg, &len, 0);
    return msg && len > 0 ? QString::fromUtf8(msg, len) : QStringLiteral("unknown error");
}

int SshSession::waitSocket(Clock::time_point deadline, QString *error, const QString &what, bool honourCancel)
{
    if (honourCancel && m_cancelled()) {
        *error = QStringLiteral("The upload was cancelled.");
        return SftpCancelled;
    }
    const auto now = Clock::now();
    if (now >= deadline) {
        *error = what;
        return SftpTimedOut;
    }
    pollfd p{m_socket, 0, 0};
    const int dirs = m_session ? libssh2_session_block_directions(m_session) : LIBSSH2_SESSION_BLOCK_OUTBOUND;
    if (dirs & LIBSSH2_SESSION_BLOCK_INBOUND)
        p.events |= POLLIN;
    if (dirs & LIBSSH2_SESSION_BLOCK_OUTBOUND)
        p.events |= POLLOUT;
    if (!p.events)
        p.events = POLLIN;
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now);
    ::poll(&p, 1, int(std::min(left, std::chrono::duration_cast<std::chrono::milliseconds>(Slice)).count()) + 1);
    return 0;
}

int SshSession::connectSocket(const SshSettings &s, Clock::time_point deadline, QString *error)
{
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo *found = nullptr;
    const QByteArray port = QByteArray::number(s.port);
    const int gai = ::getaddrinfo(s.host.toUtf8().constData(), port.constData(), &hints, &found);
    if (gai != 0 || !found) {
        *error = QStringLiteral("The server name %1 could not be found (%2).").arg(s.host, QString::fromUtf8(gai_strerror(gai)));
        return SftpConnectFailed;
    }
    int lastErrno = 0;
    for (addrinfo *a = found; a; a = a->ai_next) {
        const int fd = ::socket(a->ai_family, a->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, a->ai_protocol);
        if (fd < 0) {
            lastErrno = errno;
            continue;
        }
        int rc = ::connect(fd, a->ai_addr, a->ai_addrlen);
        if (rc != 0 && errno != EINPROGRESS) {
            lastErrno = errno;
            ::close(fd);
            continue;
        }
        while (rc != 0) {
            if (m_cancelled()) {
                ::close(fd);
                ::freeaddrinfo(found);
                *error = QStringLiteral("The upload was cancelled.");
                return SftpCancelled;
            }
            if (Clock::now() >= deadline) {
                ::close(fd);
                ::freeaddrinfo(found);
                *error = QStringLiteral("The server %1 did not answer within %2 seconds.").arg(s.host).arg(seconds(s.connectTimeout));
                return SftpTimedOut;
            }
            pollfd p{fd, POLLOUT, 0};
            if (::poll(&p, 1, int(std::chrono::duration_cast<std::chrono::milliseconds>(Slice).count())) > 0) {
                int soErr = 0;
                socklen_t len = sizeof soErr;
                ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &soErr, &len);
                if (soErr == 0)
                    break;
                lastErrno = soErr;
                rc = -2;
                break;
            }
        }
        if (rc == -2) {
            ::close(fd);
            continue;
        }
        const int one = 1;
        ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        m_socket = fd;
        ::freeaddrinfo(found);
        return SftpOk;
    }
    ::freeaddrinfo(found);
    if (lastErrno == ECONNREFUSED)
        *error = QStringLiteral("Nothing answers at %1 port %2: the server refused the connection.").arg(s.host).arg(s.port);
    else
        *error = QStringLiteral("Could not reach %1 port %2: %3.").arg(s.host).arg(s.port).arg(QString::fromLocal8Bit(std::strerror(lastErrno)));
    return SftpConnectFailed;
}

int SshSession::open(const SshSettings &s, QString *error)
{
    close();
    m_hostKeyNote.clear();
    m_loginMethod.clear();
    HostKeyPin pin;
    if (!s.hostKey.trimmed().isEmpty()) {
        pin = parseHostKeyPin(s.hostKey);
        if (!pin.valid) {
            *error = pin.problem;
            return SftpNotConfigured;
        }
    }
    if (s.host.isEmpty() || s.user.isEmpty()) {
        *error = QStringLiteral("No publishing server or account is configured.");
        return SftpNotConfigured;
    }
    m_host = s.host;
    if (onPhase)
        onPhase(QStringLiteral("Connecting to %1").arg(s.host));
    m_stallTimeout = s.stallTimeout;
    const auto deadline = Clock::now() + s.connectTimeout;
    if (int rc = connectSocket(s, deadline, error))
        return rc;

    m_session = libssh2_session_init();
    if (!m_session) {
        *error = QStringLiteral("Could not start a secure session (out of memory?).");
        close();
        return SftpProtocolError;
    }
    libssh2_session_set_blocking(m_session, 0);
    m_known = std::make_unique<SshKnownHosts>(m_session);
    SshKnownHosts &known = *m_known;
    if (!pin.valid)
        known.load(s.knownHosts);
    // Ask the server for a key we can check: the pinned type, or the types known_hosts holds
    // for it (then the rest, so that an unknown server can still be told its fingerprint).
    QByteArray preference = hostKeyMethodPreference(pin.keyType);
    if (!pin.valid) {
        const QByteArray filed = known.knownMethods(SshKnownHosts::hostPattern(s.host, s.port));
        if (!filed.isEmpty())
            preference = filed + ',' + preference;
    }
    preference = supportedHostKeyMethods(m_session, preference);
    if (preference.isEmpty() || libssh2_session_method_pref(m_session, LIBSSH2_METHOD_HOSTKEY, preference.constData()) != 0) {
        *error = QStringLiteral("This program cannot check a host key of type %1.").arg(pin.keyType);
        close();
        return SftpNotConfigured;
    }
    const QString noAnswer = QStringLiteral("The server %1 did not answer within %2 seconds.").arg(s.host).arg(seconds(s.connectTimeout));
    int rc;
    while ((rc = libssh2_session_handshake(m_session, m_socket)) == LIBSSH2_ERROR_EAGAIN) {
        if (int w = waitSocket(deadline, error, noAnswer)) {
            close();
            return w;
        }
    }
    if (rc != 0) {
        const bool noPinnedType = rc == LIBSSH2_ERROR_KEX_FAILURE && !pin.keyType.isEmpty();
        *error = QStringLiteral("Could not open a secure connection to %1: %2.").arg(s.host, libraryError());
        close();
        if (noPinnedType) {
            // "Unable to exchange encryption keys" hides the cause: the pin names a key type
            // this server does not have. Its greeting lists the types it does have.
            const QStringList offered = offeredHostKeyTypes(s, Clock::now() + s.connectTimeout);
            *error = QStringLiteral("The server %1 offers no host key of the pinned type %2").arg(s.host, pin.keyType)
                     + (offered.isEmpty() ? QStringLiteral(".")
                                          : QStringLiteral("; it offers %1.").arg(offered.join(QStringLiteral(", "))))
                     + QStringLiteral(" Nothing was sent.");
            close();
        }
        return noPinnedType ? SftpHostKeyMismatch : SftpConnectFailed;
    }

    // The server must prove who it is before anything of ours leaves this computer.
    if (onPhase)
        onPhase(QStringLiteral("Checking the server's identity"));
    if (int v = verifyHostKey(s, pin.valid ? pin.fingerprint : QString(), known, error)) {
        close();
        return v;
    }

    if (onPhase)
        onPhase(QStringLiteral("Logging in"));
    m_known.reset();
    if (int l = logIn(s, error)) {
        close();
        return l;
    }
    return SftpOk;
}

QStringList SshSession::offeredHostKeyTypes(const SshSettings &s, Clock::time_point deadline)
{
    QString ignored;
    if (connectSocket(s, deadline, &ignored) != SftpOk)
        return {};
    QByteArray in;
    // Reads until `in` holds `n` bytes; false on an error, the end or the deadline.
    const auto fill = [&](qsizetype n) {
        while (in.size() < n) {
            if (Clock::now() >= deadline || m_cancelled())
                return false;
            pollfd p{m_socket, POLLIN, 0};
            if (::poll(&p, 1, 100) <= 0)
                continue;
            char buf[4096];
            const ssize_t got = ::recv(m_socket, buf, sizeof buf, 0);
            if (got <= 0)
                return false;
            in.append(buf, got);
        }
        return true;
    };
    static const char hello[] = "SSH-2.0-Parlivo_probe\r\n";
    if (::send(m_socket, hello, sizeof hello - 1, MSG_NOSIGNAL) != qsizetype(sizeof hello - 1))
        return {};
    // The server's version line (lines before it may be a banner), then its unencrypted
    // key-exchange offer: length, padding length, message 20, 16 random bytes, two name lists.
    qsizetype lineEnd = -1;
    while ((lineEnd = in.indexOf('\n')) < 0 || !in.startsWith("SSH-")) {
        if (lineEnd >= 0) {
            in.remove(0, lineEnd + 1);
            continue;
        }
        if (!fill(in.size() + 1) || in.size() > 8192)
            return {};
    }
    in.remove(0, lineEnd + 1);
    QStringList types;
    if (!fill(6))
        return {};
    const quint32 length = qFromBigEndian<quint32>(in.constData());
    if (length > 64 * 1024 || !fill(4 + qsizetype(length)) || quint8(in.at(5)) != 20)
        return {};
    qsizetype pos = 6 + 16;
    QByteArray lists[2];
    for (QByteArray &list : lists) {
        if (pos + 4 > in.size())
            return {};
        const quint32 n = qFromBigEndian<quint32>(in.constData() + pos);
        pos += 4;
        if (pos + qsizetype(n) > in.size())
            return {};
        list = in.mid(pos, n);
        pos += n;
    }
    for (const QByteArray &name : lists[1].split(',')) {
        if (name.isEmpty() || name.contains("-cert-"))
            continue;
        const QString type = name.startsWith("rsa-sha2-") ? QStringLiteral("ssh-rsa") : QString::fromLatin1(name);
        if (!types.contains(type))
            types << type;
    }
    ::close(m_socket);
    m_socket = -1;
    return types;
}

int SshSession::verifyHostKey(const SshSettings &s, const QString &pinnedFingerprint, SshKnownHosts &known,
                              QString *error)
{
    size_t keyLen = 0;
    int keyType = 0;
    const char *keyData = libssh2_session_hostkey(m_session, &keyLen, &keyType);
    const char *hash = libssh2_hostkey_hash(m_session, LIBSSH2_HOSTKEY_HASH_SHA256);
    if (!hash || !keyData) {
        *error = QStringLiteral("Could not read the server's host key, so its identity cannot be checked.");
        return SftpHostKeyMismatch;
    }
    const QByteArray key(keyData, qsizetype(keyLen));
    const QString type = QLatin1String(keyTypeName(keyType));
    const QString actual = formatSha256Fingerprint(QByteArray(hash, 32));
    const QString pattern = SshKnownHosts::hostPattern(s.host, s.port);
    const QString line = SshKnownHosts::entryLine(pattern, type, key);
    const QString server = s.port == 22 ? s.host : QStringLiteral("%1 port %2").arg(s.host).arg(s.port);

    if (!pinnedFingerprint.isEmpty()) {
        if (fingerprintsMatch(pinnedFingerprint, actual)) {
            m_hostKeyNote = QStringLiteral("matches the pinned host key");
            return SftpOk;
        }
        *error = QStringLiteral("The server at %1 is not the expected one: its %2 key has the fingerprint %3, but %4 "
                                "was expected. Nothing was sent.")
                     .arg(server, type, actual, pinnedFingerprint);
        return SftpHostKeyMismatch;
    }

    const KnownHostVerdict verdict = known.check(pattern, key, keyType);
    const QString file = known.path();
    if (verdict.kind == KnownHostVerdict::Match) {
        m_hostKeyNote = QStringLiteral("matches %1 line %2").arg(file).arg(verdict.line);
        return SftpOk;
    }
    if (verdict.kind == KnownHostVerdict::Changed) {
        *error = QStringLiteral("WARNING: THE HOST KEY OF %1 HAS CHANGED! Someone could be listening in on this "
                                "connection (a man-in-the-middle attack), or the server's key has just been replaced. "
                                "The %2 key it sent has the fingerprint %3, which differs from the key in %4 line %5. "
                                "Nothing was sent. If you know the key was replaced, put this line in place of line %5: %6")
                     .arg(server, type, actual, file)
                     .arg(verdict.line)
                     .arg(line);
        return SftpHostKeyMismatch;
    }
    const QString where = file.isEmpty() ? QStringLiteral("known_hosts file") : file;
    *error = QStringLiteral("The server %1 is not known yet, so nothing was sent: neither a pinned host_key nor %2 "
                            "vouches for it. It offers a %3 key with the fingerprint %4. If that is your server's key "
                            "(your web host shows it, or ssh-keygen -l -f on the server), add this line to %2: %5")
                 .arg(server, where, type, actual, line);
    return SftpHostKeyUnknown;
}

int SshSession::openChannel(QString *error)
{
    const auto deadline = Clock::now() + m_stallTimeout;
    const QString stalled = QStringLiteral("The server %1 stopped answering.").arg(m_host);
    while (!(m_channel = libssh2_channel_open_session(m_session))) {
        const int why = libssh2_session_last_errno(m_session);
        if (connectionGone(why)) {
            *error = QStringLiteral("The connection to the server %1 was lost.").arg(m_host);
            return SftpConnectionLost;
        }
        if (why != LIBSSH2_ERROR_EAGAIN) {
            *error = QStringLiteral("The server %1 refused a file-transfer channel (%2). Servers limit how many "
                                    "sessions one connection and how many connections one account may have: close "
                                    "other programs connected with this account (another upload, a file manager) and "
                                    "try again, or ask your host to raise the limit.")
                         .arg(m_host, libraryError());
            return SftpRefused;
        }
        if (int w = waitSocket(deadline, error, stalled))
            return w;
    }
    int rc;
    while ((rc = libssh2_channel_process_startup(m_channel, "subsystem", 9, "sftp", 4)) == LIBSSH2_ERROR_EAGAIN) {
        if (int w = waitSocket(deadline, error, stalled))
            return w;
    }
    if (connectionGone(rc)) {
        *error = QStringLiteral("The connection to the server %1 was lost.").arg(m_host);
        return SftpConnectionLost;
    }
    if (rc != 0) {
        *error = QStringLiteral("The server %1 does not offer file transfer: %2.").arg(m_host, libraryError());
        return SftpProtocolError;
    }
    return SftpOk;
}

// The end of input alone can hide behind error output still queued (the library then says "not
// at the end"); the exit status the server sends when its program ends cannot.
bool SshSession::serverProgramEnded()
{
    return m_channel && (libssh2_channel_eof(m_channel) || libssh2_channel_get_exit_status(m_channel) != 0);
}

QString SshSession::channelErrorText()
{
    if (!m_channel)
        return {};
    QByteArray said;
    char buf[1024];
    ssize_t n;
    while (said.size() < 4096 && (n = libssh2_channel_read_stderr(m_channel, buf, sizeof buf)) > 0)
        said.append(buf, n);
    return QString::fromUtf8(said).simplified().left(300);
}

void SshSession::closeChannel(Clock::time_point deadline)
{
    if (!m_channel)
        return;
    QString ignored;
    while (libssh2_channel_close(m_channel) == LIBSSH2_ERROR_EAGAIN && Clock::now() < deadline) {
        if (waitSocket(deadline, &ignored, {}, false))
            break;
    }
    libssh2_channel_free(m_channel);
    m_channel = nullptr;
    m_sftpStarted = false;
}

int SshSession::run(SftpUploadJob &job, QString *error)
{
    if (!m_session) {
        *error = QStringLiteral("Not connected to the server.");
        return SftpNotConnected;
    }
    // One channel carries every job of the connection: a server allows only so many per
    // connection (OpenSSH ten), and a publication may need many tries at a fresh name.
    if (m_channel && m_sftpStarted) {
        job.continueOnOpenChannel();
    } else {
        closeChannel(Clock::now() + std::chrono::milliseconds(300));
        if (int rc = openChannel(error)) {
            closeChannel(Clock::now() + std::chrono::milliseconds(300));
            return rc;
        }
    }
    m_sftpStarted = true;
    bool placedNoted = false;
    QByteArray out;
    qsizetype outPos = 0;
    std::vector<char> buffer(256 * 1024);
    auto lastProgress = Clock::now();
    bool writeBlocked = false;
    bool cancelNoted = false;
    Clock::time_point cancelDeadline{};
    int lost = 0;
    QString lostText;
    const QString stalled = QStringLiteral("The server %1 stopped answering for %2 seconds.").arg(m_host).arg(seconds(m_stallTimeout));

    while (!job.finished()) {
        if (!placedNoted && job.placed()) {
            placedNoted = true;
            if (onPlaced)
                onPlaced();
        }
        if (!cancelNoted && m_cancelled()) {
            cancelNoted = true;
            if (job.placed()) {
                // Only the sweep of old temporary files is still going: it may finish what it
                // is at while the connection is being closed, but not for long.
                cancelDeadline = Clock::now() + std::chrono::milliseconds(1000);
                continue;
            }
            job.abort(SftpCancelled, QStringLiteral("The upload was cancelled."));
            // Whatever is not yet on its way is not sent: the requests that remove the temporary
            // files would wait behind it. What the library may already hold (one channel packet,
            // well under the margin) and the request it belongs to are finished; the rest goes.
            qsizetype boundary = 0;
            while (boundary < outPos + 256 * 1024 && boundary + 4 <= out.size())
                boundary += 4 + qsizetype(qFromBigEndian<quint32>(out.constData() + boundary));
            if (boundary < out.size()) {
                job.dropUnsent(out, boundary);
                out.truncate(boundary);
            }
            // A short grace for removing the temporary files; the connection goes regardless.
            cancelDeadline = Clock::now() + std::chrono::milliseconds(2500);
        }
        if (cancelNoted && Clock::now() >= cancelDeadline) {
            if (job.placed())
                job.abort(SftpCancelled, {});
            break;
        }
        bool progressed = false;
        if (outPos >= out.size()) {
            out.resize(0);   // keeps its storage: no fresh megabytes to fault in for every batch
            outPos = 0;
            writeBlocked = false;
            job.produce(out, 4 * 1024 * 1024);
            if (job.finished())
                break;
        }
        if (outPos < out.size()) {
            // The same pointer and length must be offered again after a would-block answer.
            const qsizetype len = std::min<qsizetype>(out.size() - outPos, 1024 * 1024);
            const ssize_t n = libssh2_channel_write(m_channel, out.constData() + outPos, size_t(len));
            if (n > 0) {
                outPos += n;
                progressed = true;
                writeBlocked = false;
            } else if (n == LIBSSH2_ERROR_EAGAIN) {
                writeBlocked = true;
            } else {
                // Before the first answer, a write can fail because the server already ended the
                // channel (its refusal arrived while the request was on its way): the same hang-up
                // as an end of input, and named as such below.
                lost = SftpConnectionLost;
                const bool ended = n == LIBSSH2_ERROR_CHANNEL_CLOSED || n == LIBSSH2_ERROR_CHANNEL_EOF_SENT
                                   || serverProgramEnded();
                lostText = ended ? QStringLiteral("the server closed the connection") : libraryError();
                break;
            }
        }
        // Reading may send a window update of its own, which must not cut into a half-sent packet.
        if (!writeBlocked) {
            for (;;) {
                const ssize_t n = libssh2_channel_read(m_channel, buffer.data(), buffer.size());
                if (n > 0) {
                    job.consume(buffer.data(), n);
                    progressed = true;
                    continue;
                }
                if (n == LIBSSH2_ERROR_EAGAIN)
                    break;
                if (n == 0 && !serverProgramEnded())
                    break;
                lost = SftpConnectionLost;
                lostText = n == 0 ? QStringLiteral("the server closed the connection") : libraryError();
                break;
            }
            if (lost)
                break;
        }
        const auto now = Clock::now();
        if (progressed)
            lastProgress = now;
        if (onProgress)
            onProgress(job);
        if (!progressed) {
            if (now - lastProgress >= m_stallTimeout) {
                lost = SftpTimedOut;
                lostText = stalled;
                break;
            }
            QString ignored;
            waitSocket(now + Slice, &ignored, {}, false);
        }
    }

    if (!placedNoted && job.placed() && onPlaced)
        onPlaced();
    const bool connectionGone = lost != 0;
    if (lost && job.placed())
        lost = 0;   // everything was in place before the connection went
    if (lost || !job.finished()) {
        // The connection cannot be trusted any more: drop it without the courtesies.
        if (cancelNoted) {
            *error = QStringLiteral("The upload was cancelled.");
            lost = SftpCancelled;
        } else if (lost == SftpTimedOut) {
            *error = lostText;
        } else {
            // The library's own words ("Failure while draining incoming flow") tell a user nothing.
            const QString file = job.currentFile();
            *error = file.isEmpty()
                         ? QStringLiteral("The connection to the server %1 was lost.").arg(m_host)
                         : QStringLiteral("The connection to the server was lost while sending %1.").arg(file);
            if (!job.sessionStarted()
                && (lostText.startsWith(QLatin1String("the server closed")) || serverProgramEnded())) {
                // Hung up before the first answer: a refusal, not a lost line. Servers that limit
                // how many connections one account may have do this, some with a word why.
                const QString said = channelErrorText();
                *error = QStringLiteral("The server %1 ended the file transfer before it began%2. Servers do this when "
                                        "an account may only be connected a limited number of times at once: close "
                                        "other programs connected with this account (another upload, a file manager) "
                                        "and try again, or ask your host to raise the limit.")
                             .arg(m_host, said.isEmpty() ? QString() : QStringLiteral(" (it said: %1)").arg(said));
                lost = SftpRefused;
            }
        }
        if (m_channel) {
            libssh2_channel_free(m_channel);
            m_channel = nullptr;
        }
        close();
        return lost ? lost : SftpConnectionLost;
    }
    if (connectionGone) {
        close();
    } else if (!job.leftChannelClean()) {
        // Answers still on their way would be read by the next job as its own.
        closeChannel(Clock::now() + std::chrono::milliseconds(cancelNoted ? 200 : 1000));
    }
    if (job.errorCode() != SftpOk)
        *error = job.errorText();
    return job.errorCode();
}

void SshSession::close()
{
    m_known.reset();
    if (m_session) {
        const auto deadline = Clock::now() + std::chrono::milliseconds(m_cancelled() ? 200 : 1000);
        QString ignored;
        if (m_channel) {
            while (libssh2_channel_free(m_channel) == LIBSSH2_ERROR_EAGAIN && Clock::now() < deadline)
                waitSocket(deadline, &ignored, {}, false);
            m_channel = nullptr;   // if not freed yet, the session frees it below
            m_sftpStarted = false;
        }
        while (libssh2_session_disconnect(m_session, "Goodbye") == LIBSSH2_ERROR_EAGAIN && Clock::now() < deadline)
            waitSocket(deadline, &ignored, {}, false);
        // Freeing a session may still want to say goodbye on its channels; on a non-blocking
        // socket that would block, the library gives up and keeps the whole session's memory.
        // With the socket shut, every such word fails at once and the memory is freed.
        if (m_socket >= 0)
            ::shutdown(m_socket, SHUT_RDWR);
        for (int tries = 0; tries < 10 && libssh2_session_free(m_session) == LIBSSH2_ERROR_EAGAIN; ++tries) {
        }
        m_session = nullptr;
    }
    if (m_socket >= 0) {
        ::close(m_socket);
        m_socket = -1;
    }
}

} // namespace parlivo
