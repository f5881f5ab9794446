#pragma once
// Driving the real SFTP client against the local publishing server that ./dev test starts.
#include "platform/sftp/SftpQtClient.h"
#include "platform/sftp/SftpUpload.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <QTimer>
#include <functional>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>

namespace parlivo::test {

struct LocalServer
{
    QString host, user, password, hostKey, pageBase, webroot, pidFile;
    int port = 0;

    static bool available() { return qEnvironmentVariableIsSet("PARLIVO_SFTP_HOST") && qEnvironmentVariableIsSet("PARLIVO_WEBROOT"); }
    static LocalServer fromEnvironment()
    {
        LocalServer s;
        s.host = qEnvironmentVariable("PARLIVO_SFTP_HOST");
        s.port = qEnvironmentVariableIntValue("PARLIVO_SFTP_PORT");
        s.user = qEnvironmentVariable("PARLIVO_SFTP_USER");
        s.password = qEnvironmentVariable("PARLIVO_SFTP_PASSWORD");
        s.hostKey = qEnvironmentVariable("PARLIVO_SFTP_HOSTKEY");
        s.pageBase = qEnvironmentVariable("PARLIVO_PAGE_BASE");
        s.webroot = qEnvironmentVariable("PARLIVO_WEBROOT");
        s.pidFile = qEnvironmentVariable("PARLIVO_SFTP_SSHD_PIDFILE");
        return s;
    }
    void configure(SftpClient &c) const
    {
        c.setHostname(host);
        c.setPort(port);
        c.setLogin(user);
        c.setPassword(password);
        c.setHostKeyFingerprint(hostKey);
    }
};

#define REQUIRE_LOCAL_SERVER()                                                                     \
    if (!parlivo::test::LocalServer::available())                                                  \
    GTEST_SKIP() << "the local publishing server is not running (use ./dev test)"

struct Outcome
{
    int code = -1;
    QString text;
    bool arrived = false;
};

// Waits for `signal`-driven outcome with a time limit; the client's own time-outs are longer
// than any test needs, so a missing notification fails the test instead of hanging it.
inline bool waitFor(const std::function<bool()> &ready, int ms)
{
    QElapsedTimer t;
    t.start();
    while (!ready()) {
        if (t.elapsed() > ms)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return true;
}

inline Outcome connectTo(SftpQtClient &c, int ms = 20000)
{
    Outcome o;
    auto conn = QObject::connect(&c, &SftpClient::Connected, [&o](int code, const QString &text) {
        o = {code, text, true};
    });
    c.connectToServer();
    waitFor([&] { return o.arrived; }, ms);
    QObject::disconnect(conn);
    return o;
}

inline Outcome upload(SftpQtClient &c, const QString &local, const QString &remote, int ms = 60000)
{
    Outcome o;
    auto conn = QObject::connect(&c, &SftpClient::Done, [&o](int code, const QString &text) { o = {code, text, true}; });
    c.putFolder(local, remote, 0);
    waitFor([&] { return o.arrived; }, ms);
    QObject::disconnect(conn);
    return o;
}

// Connect, upload, disconnect: the road the main window takes.
inline Outcome publish(const LocalServer &s, const QString &local, const QString &remote = QStringLiteral("/httpdocs/"))
{
    SftpQtClient c;
    s.configure(c);
    Outcome o = connectTo(c);
    if (o.arrived && o.code == 0)
        o = upload(c, local, remote);
    c.disconnectFromServer();
    waitFor([&] { return !c.isBusy(); }, 5000);
    return o;
}

inline QByteArray pattern(qint64 size, int seed)
{
    QByteArray b(size, Qt::Uninitialized);
    quint32 x = 2166136261u ^ quint32(seed);
    for (qint64 i = 0; i < size; ++i) {
        x = x * 1664525u + 1013904223u;
        b[i] = char(x >> 24);
    }
    return b;
}

inline void writeFile(const QString &path, const QByteArray &data)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly)) << path.toStdString();
    ASSERT_EQ(f.write(data), data.size());
}

inline QByteArray readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Every name in a remote folder, the temporary ones included.
inline QStringList remoteNames(const QString &dir)
{
    return QDir(dir).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
}

// Dates back the hidden files under `prefix` in the web folder by `seconds`: what a dead
// upload left there long enough ago to count as stale. Returns their names. The last sweep of
// the folder is dated back a day, so that the next upload looks for them.
inline QStringList ageLeftovers(const QString &webroot, const QString &prefix, qint64 seconds)
{
    QFile marker(webroot + '/' + SftpUploadJob::sweepMarkerName());
    if (marker.open(QIODevice::ReadWrite))
        marker.setFileTime(QDateTime::currentDateTime().addDays(-1).addSecs(-60), QFileDevice::FileModificationTime);
    QStringList aged;
    for (const QString &n : remoteNames(webroot)) {
        if (!n.startsWith('.') || !n.contains(prefix))
            continue;
        QFile f(webroot + '/' + n);
        f.open(QIODevice::ReadWrite);
        f.setFileTime(QDateTime::currentDateTime().addSecs(-seconds), QFileDevice::FileModificationTime);
        aged << n;
    }
    return aged;
}

// A fresh name prefix per test, so runs against one server never meet each other's files.
inline QString uniquePrefix(const char *what)
{
    return QStringLiteral("t%1_%2_").arg(QCoreApplication::applicationPid()).arg(QLatin1String(what));
}

// GET over HTTP; returns the status code (0 when nothing answered) and fills `body`.
inline int httpGet(const QString &url, QByteArray *body = nullptr, QByteArray *contentType = nullptr)
{
    QNetworkAccessManager nam;
    QNetworkRequest req{QUrl(url)};
    req.setTransferTimeout(5000);
    QNetworkReply *r = nam.get(req);
    waitFor([r] { return r->isFinished(); }, 10000);
    const int status = r->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (body)
        *body = r->readAll();
    if (contentType)
        *contentType = r->header(QNetworkRequest::ContentTypeHeader).toByteArray();
    r->deleteLater();
    return status;
}

// Signals every session process of the server (SIGKILL: what a server crash looks like to
// the client; SIGSTOP: a server that hangs) while the listener lives on for later tests.
inline int signalServerSessions(const QString &pidFile, int sig = SIGKILL)
{
    const qint64 master = readFile(pidFile).trimmed().toLongLong();
    if (master <= 0)
        return 0;
    // Collect the whole tree below the listener: the session's privileged and user halves.
    QList<qint64> tree{master};
    int killed = 0;
    for (int round = 0; round < 4; ++round) {
        const QStringList procs = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
        for (const QString &p : procs) {
            bool ok = false;
            const qint64 pid = p.toLongLong(&ok);
            if (!ok || tree.contains(pid))
                continue;
            const QByteArray stat = readFile(QStringLiteral("/proc/%1/stat").arg(pid));
            const int close = stat.lastIndexOf(')');
            if (close < 0)
                continue;
            const QList<QByteArray> fields = stat.mid(close + 2).split(' ');
            if (fields.size() > 1 && tree.contains(fields[1].toLongLong()))
                tree << pid;
        }
    }
    for (qint64 pid : tree) {
        if (pid != master && ::kill(pid_t(pid), sig) == 0)
            ++killed;
    }
    return killed;
}

} // namespace parlivo::test
