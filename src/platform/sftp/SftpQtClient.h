#pragma once
// The publishing server's SFTP client: all network work on a worker thread, notifications
// queued back to the thread that owns the client.
#include "platform/SftpClient.h"

#include <QThread>
#include <atomic>
#include <chrono>
#include <memory>

namespace parlivo {

class SftpWorker;

class SftpQtClient : public SftpClient
{
    Q_OBJECT
public:
    // The state codes passed (as the previous state) with StateChanged.
    enum State { Disconnected = 0, Connecting, CheckingIdentity, LoggingIn, Ready, Sending, Finishing, Disconnecting };

    explicit SftpQtClient(QObject *parent = nullptr);
    ~SftpQtClient() override;

    void setHostname(const QString &host) override { m_host = host; }
    void setPort(int port) override { m_port = port; }
    void setLogin(const QString &account) override { m_user = account; }
    void setPassword(const QString &password) override { m_password = password; }
    void setHostKeyFingerprint(const QString &fingerprint) override { m_hostKey = fingerprint; }
    void setKnownHostsFile(const QString &path) override { m_knownHosts = path; }
    void setUseAgent(bool use) override { m_useAgent = use; }
    void setIdentityFile(const QString &path) override { m_identity = path; }
    void setPassphrase(const QString &passphrase) override { m_passphrase = passphrase; }

    void connectToServer() override;
    void putFolder(const QString &localFolder, const QString &remoteFolder, int recursive) override;
    void checkFolder(const QString &remoteFolder) override;
    QString hostKeyNote() const override { return m_hostKeyNote; }
    QString loginMethod() const override { return m_loginMethod; }
    QString stateText() const override { return m_stateText; }
    bool isBusy() const override { return m_busy; }
    void disconnectFromServer() override;
    void cancel() override;

    int state() const { return m_state; }
    // Connection and no-progress time-outs (15 s and 30 s unless changed), for tests.
    void setTimeouts(std::chrono::milliseconds connect, std::chrono::milliseconds stall)
    {
        m_connectTimeout = connect;
        m_stallTimeout = stall;
    }

private:
    void setState(int state, const QString &text);
    // Refuses (with a Done notification) when not connected or already transferring.
    bool startTransfer();
    void emitLater(std::function<void()> f);

    QString m_host, m_user, m_password, m_hostKey, m_knownHosts, m_identity, m_passphrase;
    QString m_hostKeyNote, m_loginMethod;
    bool m_useAgent = true;
    int m_port = 22;
    std::chrono::milliseconds m_connectTimeout{std::chrono::seconds(15)};
    std::chrono::milliseconds m_stallTimeout{std::chrono::seconds(30)};
    QString m_stateText = QStringLiteral("Disconnected from server");
    int m_state = Disconnected;
    bool m_busy = false;
    bool m_transferring = false;
    int m_serial = 0;   // counts connection requests
    // Raised by cancel and disconnect; every request carries the value it was made under, and a
    // request whose value is outdated by the time the worker looks has been called off.
    std::shared_ptr<std::atomic<int>> m_cancelGeneration;
    QThread *m_thread = nullptr;
    SftpWorker *m_worker = nullptr;
};

} // namespace parlivo
