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
    ~SftpClient() override = default;

    virtual void setHostname(const QString &host) = 0;
    virtual void setPort(int port) = 0;
    virtual void setLogin(const QString &account) = 0;
    virtual void setPassword(const QString &password) = 0;
    // SHA-256 fingerprint of the server's host key ("SHA256:base64"); empty refuses to connect.
    virtual void setHostKeyFingerprint(const QString &fingerprint) = 0;

    virtual void connectToServer() = 0;
    virtual void putFolder(const QString &localFolder, const QString &remoteFolder, int recursive) = 0;
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
