#pragma once
// One SSH connection to the publishing server, driven from a worker thread: connect, check the
// server's identity, log in, then run upload jobs over a file-transfer channel. Every wait is
// sliced so that a cancel request or a stalled server is noticed within a fraction of a second.
#include <QString>
#include <QStringList>
#include <chrono>
#include <functional>
#include <memory>

struct _LIBSSH2_SESSION;
struct _LIBSSH2_CHANNEL;

namespace parlivo {

class SftpUploadJob;
class SshKnownHosts;

struct SshSettings
{
    QString host;
    int port = 22;
    QString user;
    QString password;
    QString hostKey;   // pin: "[type ]SHA256:..."; empty: the known_hosts file decides
    QString knownHosts;   // OpenSSH-format file; "" for none
    QString identity;     // private key file; "" for none
    QString passphrase;   // for an encrypted identity
    bool useAgent = true; // try the keys of the agent at $SSH_AUTH_SOCK first
    // No answer to the connection within this time is a failure ...
    std::chrono::milliseconds connectTimeout{std::chrono::seconds(15)};
    // ... and so is a server that makes no progress for this long later on.
    std::chrono::milliseconds stallTimeout{std::chrono::seconds(30)};
};

class SshSession
{
public:
    // `cancelled` is asked often from the worker thread; once it answers true every wait ends.
    explicit SshSession(std::function<bool()> cancelled);
    ~SshSession();
    SshSession(const SshSession &) = delete;
    SshSession &operator=(const SshSession &) = delete;

    // Phase names for the state line ("Checking the server's identity", ...).
    std::function<void(const QString &)> onPhase;
    // Called a few times a second while a job runs.
    std::function<void(const SftpUploadJob &)> onProgress;
    // Called once when a job has every file in place; the job may still sweep old leftovers.
    std::function<void()> onPlaced;

    // Returns 0, or an error code with `error` in plain words.
    int open(const SshSettings &settings, QString *error);
    int run(SftpUploadJob &job, QString *error);
    void close();
    bool isOpen() const { return m_session != nullptr; }
    // After open(): why the server was trusted, and how the login was made, in plain words.
    QString hostKeyNote() const { return m_hostKeyNote; }
    QString loginMethod() const { return m_loginMethod; }
    // Checks that `folder` exists and takes new files (one is made and removed again).
    int checkFolder(const QString &folder, QString *error);

private:
    using Clock = std::chrono::steady_clock;
    // Waits until the socket is ready in the direction libssh2 is blocked on, at most until
    // `deadline`. Returns 0, or an error code (cancelled, timed out).
    int waitSocket(Clock::time_point deadline, QString *error, const QString &what, bool honourCancel = true);
    int connectSocket(const SshSettings &s, Clock::time_point deadline, QString *error);
    int verifyHostKey(const SshSettings &s, const QString &pinnedFingerprint, SshKnownHosts &known, QString *error);
    int logIn(const SshSettings &s, QString *error);
    int logInWithAgent(const QByteArray &user, Clock::time_point deadline, QString *error, QStringList *tried);
    int logInWithIdentity(const SshSettings &s, const QByteArray &user, Clock::time_point deadline, QString *error,
                          QStringList *tried);
    int logInWithPassword(const SshSettings &s, const QByteArray &user, const QByteArray &offered,
                          Clock::time_point deadline, QString *error, QStringList *tried);
    // One request of the folder check and its answer, over the open channel.
    int exchange(const QByteArray &request, QByteArray *answer, QString *error);
    int openChannel(QString *error);
    // The host key types the server offers, read from its greeting on a connection of its own.
    QStringList offeredHostKeyTypes(const SshSettings &s, Clock::time_point deadline);
    void closeChannel(Clock::time_point deadline);
    // The server's program behind the channel has ended (end of input or an exit status).
    bool serverProgramEnded();
    // What the server wrote to the channel's error stream, if anything (read without waiting).
    QString channelErrorText();
    QString libraryError() const;

    std::function<bool()> m_cancelled;
    int m_socket = -1;
    _LIBSSH2_SESSION *m_session = nullptr;
    _LIBSSH2_CHANNEL *m_channel = nullptr;
    bool m_sftpStarted = false;   // the channel's file-transfer session has been greeted
    QString m_host;
    QString m_hostKeyNote, m_loginMethod;
    // Lives within the session (the library frees it through the session).
    std::unique_ptr<SshKnownHosts> m_known;
    std::chrono::milliseconds m_stallTimeout{std::chrono::seconds(30)};
};

} // namespace parlivo
