#pragma once
// One window per working folder. Two windows sharing Temp/ and Quillbox/ would empty each
// other's files at start and exit, so the first window holds a lock file in the working
// base and listens on a local socket; a second start finds the lock, asks the first to come
// forward through the socket and leaves. A lock left by a crashed window is recognised by
// its dead process and taken over.
#include <QLockFile>
#include <QObject>
#include <QString>

#include <memory>

class QLocalServer;

namespace parlivo {

class SingleInstance : public QObject
{
    Q_OBJECT
public:
    explicit SingleInstance(const QString &workingBase, QObject *parent = nullptr);
    ~SingleInstance() override;

    // True when this process now owns the working folders (and listens for later starts).
    bool acquire();

    // For a start that did not acquire: asks the running window to come forward, waiting
    // at most timeoutMs for it to answer. False when it could not be reached.
    // activationToken is the desktop's permission to take the focus (on Wayland, handed to
    // a program started from the desktop in XDG_ACTIVATION_TOKEN); it is passed on.
    bool askRunningToRaise(int timeoutMs = 1500, const QString &activationToken = QString());

    // The token a start got from whoever launched it, taken out of the environment so no
    // program this one starts reuses it; empty when there is none.
    static QString takeActivationToken();

    QString lockPath() const { return m_base + QStringLiteral("/parlivo.lock"); }
    QString socketPath() const;

Q_SIGNALS:
    // A later start asked this window to come forward (with its activation token, if any).
    void raiseRequested(const QString &activationToken);

private:
    void onConnection();

    QString m_base;
    QLockFile m_lock;
    std::unique_ptr<QLocalServer> m_server;
};

} // namespace parlivo
