#include "SingleInstance.h"

#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QThread>

#include <unistd.h>

namespace parlivo {

namespace {

constexpr char RaiseRequest[] = "raise";
// A token is a short printable string; anything else on the line is not one.
constexpr int LongestToken = 512;

QString tokenFrom(const QByteArray &line)
{
    const QByteArray token = line.mid(int(sizeof RaiseRequest)).trimmed();
    if (token.isEmpty() || token.size() > LongestToken)
        return {};
    for (char c : token)
        if (c < 0x21 || c > 0x7e)
            return {};
    return QString::fromLatin1(token);
}

} // namespace

SingleInstance::SingleInstance(const QString &workingBase, QObject *parent)
    : QObject(parent), m_base(QDir::cleanPath(workingBase)), m_lock(lockPath())
{
    // Time never makes the lock stale: a window may rightly run for days. The lock is
    // stale only when its process is gone, which QLockFile checks by itself.
    m_lock.setStaleLockTime(0);
}

SingleInstance::~SingleInstance() = default;

QString SingleInstance::socketPath() const
{
    // A socket's path is limited to about a hundred bytes; a deep working base gets a
    // per-user name in the temporary folder instead.
    const QString beside = m_base + QStringLiteral("/parlivo.socket");
    if (QFile::encodeName(beside).size() < 100)
        return beside;
    const QByteArray hash = QCryptographicHash::hash(QFile::encodeName(m_base), QCryptographicHash::Sha1).toHex().left(16);
    return QDir::tempPath() + QStringLiteral("/parlivo-%1-%2.socket").arg(::getuid()).arg(QString::fromLatin1(hash));
}

bool SingleInstance::acquire()
{
    // A per-user folder made here is private; a folder that exists keeps its mode.
    if (!QFileInfo(m_base).isDir() && QDir().mkpath(m_base))
        QFile::setPermissions(m_base, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    if (!m_lock.tryLock(0)) {
        // An unwritable folder cannot be shared with anyone: let the window open.
        return m_lock.error() == QLockFile::PermissionError || m_lock.error() == QLockFile::UnknownError;
    }
    m_server = std::make_unique<QLocalServer>();
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    QLocalServer::removeServer(socketPath());  // left by a window that crashed
    connect(m_server.get(), &QLocalServer::newConnection, this, &SingleInstance::onConnection);
    m_server->listen(socketPath());
    return true;
}

void SingleInstance::onConnection()
{
    while (QLocalSocket *socket = m_server->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
            // One line: "raise" and an optional token. A peer that never ends its line
            // is cut off rather than buffered without end.
            if (!socket->canReadLine()) {
                if (socket->bytesAvailable() > LongestToken + 16)
                    socket->abort();
                return;
            }
            const QByteArray line = socket->readLine(LongestToken + 16);
            if (line.startsWith(RaiseRequest)) {
                Q_EMIT raiseRequested(tokenFrom(line));
                socket->write("ok\n");
                socket->flush();
            }
        });
    }
}

QString SingleInstance::takeActivationToken()
{
    const QString token = qEnvironmentVariable("XDG_ACTIVATION_TOKEN");
    qunsetenv("XDG_ACTIVATION_TOKEN");
    return tokenFrom(QByteArray(RaiseRequest) + ' ' + token.toLatin1());
}

bool SingleInstance::askRunningToRaise(int timeoutMs, const QString &activationToken)
{
    QElapsedTimer clock;
    clock.start();
    // The running window may be starting and not yet listening: try again for a while.
    while (clock.elapsed() < timeoutMs) {
        QLocalSocket socket;
        socket.connectToServer(socketPath());
        if (socket.waitForConnected(200)) {
            QByteArray request(RaiseRequest);
            if (!activationToken.isEmpty())
                request += ' ' + activationToken.toLatin1();
            socket.write(request + '\n');
            socket.waitForBytesWritten(200);
            const bool answered = socket.waitForReadyRead(int(qMax<qint64>(100, timeoutMs - clock.elapsed())));
            socket.disconnectFromServer();
            return answered;
        }
        QThread::msleep(100);
    }
    return false;
}

} // namespace parlivo
