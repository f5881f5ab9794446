#pragma once
// An asynchronous SFTP client: connect, upload the files of a local folder, disconnect.
// Every call returns at once; outcomes arrive as notifications on the caller's thread.
#include <QObject>
#include <QString>

namespace parlivo {

class SftpClient : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;
    // The Connected error code for an identity file that needs a (different) passphrase.
    static constexpr int PassphraseNeeded = 16;
    ~SftpClient() override = default;

    virtual void setHostname(const QString &host) = 0;
    virtual void setPort(int port) = 0;
    virtual void setLogin(const QString &account) = 0;
    virtual void setPassword(const QString &password) = 0;
    // SHA-256 fingerprint of the server's host key ("SHA256:base64"); empty refuses to connect.
    virtual void setHostKeyFingerprint(const QString &fingerprint) = 0;
    // Without a fingerprint, the OpenSSH-format file that vouches for the server ("" for none).
    virtual void setKnownHostsFile(const QString &path) = 0;
    // Logging in: the agent's keys (when asked to), then the identity file, then the password.
    virtual void setUseAgent(bool use) = 0;
    virtual void setIdentityFile(const QString &path) = 0;
    virtual void setPassphrase(const QString &passphrase) = 0;

    virtual void connectToServer() = 0;
    virtual void putFolder(const QString &localFolder, const QString &remoteFolder, int recursive) = 0;
    // Whether `remoteFolder` exists and takes new files (one is made and removed); reported as Done.
    virtual void checkFolder(const QString &remoteFolder) = 0;
    // After a successful connection: why the server was trusted, and how the login was made.
    virtual QString hostKeyNote() const = 0;
    virtual QString loginMethod() const = 0;
    virtual QString stateText() const = 0;
    virtual bool isBusy() const = 0;
    virtual void disconnectFromServer() = 0;
    virtual void cancel() = 0;

    // The Done code of an upload that found one of its names taken on the server (by another
    // message, or by anything else): nothing was replaced and nothing of it stayed there.
    static constexpr int NameTaken = 8;

signals:
    void Connected(int errorCode, const QString &errorText);
    void StateChanged(int oldState);
    void Done(int errorCode, const QString &errorText);
};

} // namespace parlivo
