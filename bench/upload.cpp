// Upload speed of our SFTP client against the stock OpenSSH sftp tool and rclone, on loopback and
// through a relay that adds 25 ms each way. Needs the local publishing server (see bench/README.md).
//
//   bench_upload [--rounds N] [--only WORDS] [--clients LIST]
//   (--only: the rows whose link and upload contain WORDS; --clients: some of "ours,sftp,rclone",
//   to profile one client at a time)
//
// Goals: a typical message (5 files, about 2 MB) in at most 0.6x OpenSSH's time over the
// delayed link; a 100 MB video at no less than 1.0x its throughput on both links; a message
// into a folder of 5,000 files in at most 1.1x the time into an empty one.
#include "DelayProxy.h"
#include "platform/sftp/SftpQtClient.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>
#include <QEventLoop>
#include <algorithm>
#include <cstdio>
#include <functional>

using namespace parlivo;

namespace {

struct Server
{
    QString host, user, password, hostKey, webroot, clientKey, knownHosts;
    int port = 22;
};

// Sleeps in the event loop between looks: a spinning wait would take a core from the upload.
bool waitFor(const std::function<bool()> &ready, int ms)
{
    QElapsedTimer t;
    t.start();
    QEventLoop loop;
    QTimer look;
    QObject::connect(&look, &QTimer::timeout, &loop, [&] {
        if (ready() || t.elapsed() > ms)
            loop.quit();
    });
    look.start(2);
    if (!ready())
        loop.exec();
    return ready();
}

void fill(const QString &path, qint64 size, int seed)
{
    QFile f(path);
    f.open(QIODevice::WriteOnly);
    QByteArray b(1024 * 1024, Qt::Uninitialized);
    quint32 x = 2166136261u ^ quint32(seed);
    for (qint64 left = size; left > 0;) {
        for (char &c : b) {
            x = x * 1664525u + 1013904223u;
            c = char(x >> 24);
        }
        const qint64 n = std::min<qint64>(left, b.size());
        f.write(b.constData(), n);
        left -= n;
    }
}

int g_folder = 0;

int g_crowd = 0;   // files put in every fresh folder first

// A fresh remote folder for every run, so nothing is skipped as already there.
QString freshRemoteFolder(const Server &s)
{
    const QString name = QStringLiteral("bench-%1-%2").arg(QCoreApplication::applicationPid()).arg(++g_folder);
    QDir(s.webroot).mkdir(name);
    for (int i = 0; i < g_crowd; ++i) {
        QFile f(s.webroot + QStringLiteral("/%1/PVD82_1_%2.gif").arg(name).arg(i));
        f.open(QIODevice::WriteOnly);
    }
    QProcess::execute(QStringLiteral("chown"), {QStringLiteral("-R"), s.user + QLatin1Char(':'), s.webroot + QLatin1Char('/') + name});
    return name;
}

double g_linkSeconds = 0;   // of the last run of ours: until the link could go out

void removeRemoteFolder(const Server &s, const QString &name)
{
    QDir(s.webroot + QLatin1Char('/') + name).removeRecursively();
}

// Seconds from the connect request to the end of the disconnect, or -1 on failure.
double ours(const Server &s, const QString &host, int port, const QString &local)
{
    const QString folder = freshRemoteFolder(s);
    SftpQtClient c;
    c.setHostname(host);
    c.setPort(port);
    c.setLogin(s.user);
    c.setPassword(s.password);
    c.setHostKeyFingerprint(s.hostKey);
    int connected = -1, done = -1;
    QString text;
    QObject::connect(&c, &SftpClient::Connected, [&](int code, const QString &t) {
        connected = code;
        text = t;
        if (code == 0)
            c.putFolder(local, QStringLiteral("/httpdocs/") + folder + QLatin1Char('/'), 0);
    });
    QElapsedTimer t;
    QObject::connect(&c, &SftpClient::Done, [&](int code, const QString &text2) {
        done = code;
        text = text2;
        g_linkSeconds = t.nsecsElapsed() / 1e9;
        c.disconnectFromServer();
    });
    t.start();
    c.connectToServer();
    const bool finished = waitFor([&] { return connected > 0 || (done >= 0 && !c.isBusy()); }, 120000);
    const double secs = t.nsecsElapsed() / 1e9;
    removeRemoteFolder(s, folder);
    if (!finished || connected != 0 || done != 0) {
        std::fprintf(stderr, "our upload failed: %s\n", qPrintable(text));
        return -1;
    }
    return secs;
}

double openssh(const Server &s, const QString &host, int port, const QString &local, const QString &knownHosts)
{
    const QString folder = freshRemoteFolder(s);
    QString batch = QStringLiteral("cd /httpdocs/%1\n").arg(folder);
    for (const QString &f : QDir(local).entryList(QDir::Files, QDir::Name))
        batch += QStringLiteral("put \"%1/%2\"\n").arg(local, f);
    QTemporaryDir tmp;
    QFile b(tmp.path() + QStringLiteral("/batch"));
    b.open(QIODevice::WriteOnly);
    b.write(batch.toUtf8());
    b.close();
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    QElapsedTimer t;
    t.start();
    p.start(QStringLiteral("sftp"), {QStringLiteral("-q"), QStringLiteral("-b"), b.fileName(), QStringLiteral("-i"), s.clientKey,
                                     QStringLiteral("-o"), QStringLiteral("UserKnownHostsFile=") + knownHosts,
                                     QStringLiteral("-o"), QStringLiteral("StrictHostKeyChecking=yes"),
                                     QStringLiteral("-o"), QStringLiteral("BatchMode=yes"),
                                     QStringLiteral("-P"), QString::number(port), s.user + QLatin1Char('@') + host});
    p.waitForFinished(120000);
    const double secs = t.nsecsElapsed() / 1e9;
    removeRemoteFolder(s, folder);
    if (p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
        std::fprintf(stderr, "sftp failed: %s\n", p.readAll().constData());
        return -1;
    }
    return secs;
}

double rclone(const Server &s, const QString &host, int port, const QString &local, const QString &knownHosts)
{
    const QString folder = freshRemoteFolder(s);
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    QElapsedTimer t;
    t.start();
    p.start(QStringLiteral("rclone"),
            {QStringLiteral("copy"), QStringLiteral("--config"), QStringLiteral("/dev/null"), local,
             QStringLiteral(":sftp:/httpdocs/") + folder, QStringLiteral("--sftp-host"), host, QStringLiteral("--sftp-port"),
             QString::number(port), QStringLiteral("--sftp-user"), s.user, QStringLiteral("--sftp-key-file"), s.clientKey,
             QStringLiteral("--sftp-known-hosts-file"), knownHosts});
    p.waitForFinished(300000);
    const double secs = t.nsecsElapsed() / 1e9;
    removeRemoteFolder(s, folder);
    if (p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
        std::fprintf(stderr, "rclone failed: %s\n", p.readAll().constData());
        return -1;
    }
    return secs;
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? -1 : v[v.size() / 2];
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    int rounds = 3;
    QString only;
    QString clients = QStringLiteral("ours,sftp,rclone");
    for (int i = 1; i + 1 < argc; ++i) {
        if (QByteArray(argv[i]) == "--rounds")
            rounds = std::max(1, std::atoi(argv[i + 1]));
        if (QByteArray(argv[i]) == "--only")
            only = QString::fromLocal8Bit(argv[i + 1]);
        if (QByteArray(argv[i]) == "--clients")
            clients = QString::fromLocal8Bit(argv[i + 1]);
    }
    const bool runOurs = clients.contains(QLatin1String("ours")), runSftp = clients.contains(QLatin1String("sftp")),
               runRclone = clients.contains(QLatin1String("rclone"));
    const auto wanted = [&](const QString &row) { return only.isEmpty() || row.contains(only); };
    Server s;
    s.host = qEnvironmentVariable("PARLIVO_SFTP_HOST");
    s.port = qEnvironmentVariableIntValue("PARLIVO_SFTP_PORT");
    s.user = qEnvironmentVariable("PARLIVO_SFTP_USER");
    s.password = qEnvironmentVariable("PARLIVO_SFTP_PASSWORD");
    s.hostKey = qEnvironmentVariable("PARLIVO_SFTP_HOSTKEY");
    s.webroot = qEnvironmentVariable("PARLIVO_WEBROOT");
    s.clientKey = qEnvironmentVariable("PARLIVO_SFTP_CLIENTKEY");
    s.knownHosts = qEnvironmentVariable("PARLIVO_SFTP_KNOWNHOSTS");
    if (s.host.isEmpty() || s.webroot.isEmpty() || s.clientKey.isEmpty() || s.knownHosts.isEmpty()) {
        std::fprintf(stderr, "The local publishing server is not running: use bench/run-upload.sh\n");
        return 2;
    }

    QTemporaryDir message, video;
    // A typical message: page, picture, voice, background sound and a small extra picture.
    fill(message.path() + "/PVD82_1_14_05_09.htm", 6 * 1024, 1);
    fill(message.path() + "/PVD82_1_14_05_09.gif", 150 * 1024, 2);
    fill(message.path() + "/PVD82_1_14_05_09.mp3", 1500 * 1024, 3);
    fill(message.path() + "/PVD82_1_14_05_09.wav", 300 * 1024, 4);
    fill(message.path() + "/tada.wav", 90 * 1024, 5);
    fill(video.path() + "/PVD82_1_14_05_09.mp4", 100 * 1024 * 1024, 6);

    parlivo::bench::DelayProxy proxy(s.host.toStdString(), s.port, std::chrono::milliseconds(25));
    // The stock tools check the key under the relay's address.
    QTemporaryDir keys;
    const QString proxyKnown = keys.path() + "/known_hosts";
    {
        QFile in(s.knownHosts);
        in.open(QIODevice::ReadOnly);
        const QList<QByteArray> parts = in.readAll().trimmed().split(' ');
        QFile out(proxyKnown);
        out.open(QIODevice::WriteOnly);
        out.write(QStringLiteral("[127.0.0.1]:%1 ").arg(proxy.port()).toUtf8() + parts.value(1) + ' ' + parts.value(2) + '\n');
    }

    struct Link
    {
        const char *name;
        QString host;
        int port;
        QString known;
    };
    const Link links[] = {{"loopback", s.host, s.port, s.knownHosts},
                          {"50 ms round trip", QStringLiteral("127.0.0.1"), proxy.port(), proxyKnown}};
    std::printf("%-18s %-24s %9s %9s %9s %7s\n", "link", "upload", "ours s", "sftp s", "rclone s", "ratio");
    bool ok = true;
    for (const Link &l : links) {
        for (int which = 0; which < 2; ++which) {
            const QString folder = which == 0 ? message.path() : video.path();
            const char *what = which == 0 ? "message (5 files, 2 MB)" : "video (100 MB)";
            if (!wanted(QStringLiteral("%1 %2").arg(QLatin1String(l.name), QLatin1String(what))))
                continue;
            std::vector<double> a, b, c;
            for (int r = 0; r < rounds; ++r) {
                a.push_back(runOurs ? ours(s, l.host, l.port, folder) : 0.0);
                b.push_back(runSftp ? openssh(s, l.host, l.port, folder, l.known) : 0.0);
                c.push_back(runRclone ? rclone(s, l.host, l.port, folder, l.known) : 0.0);
            }
            const double x = median(a), y = median(b), z = median(c);
            ok = ok && (x > 0 || !runOurs) && (y > 0 || !runSftp);
            std::printf("%-18s %-24s %9.3f %9.3f %9.3f %7.2f", l.name, what, x, y, z, y > 0 ? x / y : 0.0);
            if (which == 1 && x > 0 && y > 0)
                std::printf("   %.1f vs %.1f vs %.1f MB/s (%.2fx sftp's)", 100.0 / x, 100.0 / y, z > 0 ? 100.0 / z : 0.0, y / x);
            std::printf("\n");
            std::fflush(stdout);
        }
    }
    // A crowded web folder must not slow a publication down: the message into 5,000 files.
    if (!wanted(QStringLiteral("50 ms round trip message, 5,000 vs none")))
        return ok ? 0 : 1;
    std::vector<double> empty, crowded, emptyLink, crowdedLink;
    for (int r = 0; r < rounds; ++r) {
        g_crowd = 0;
        empty.push_back(ours(s, links[1].host, links[1].port, message.path()));
        emptyLink.push_back(g_linkSeconds);
        g_crowd = 5000;
        crowded.push_back(ours(s, links[1].host, links[1].port, message.path()));
        crowdedLink.push_back(g_linkSeconds);
    }
    g_crowd = 0;
    std::printf("%-18s %-24s %9.3f %9.3f   (to the link %.3f vs %.3f: %.2fx)\n", links[1].name,
                "message, 5,000 vs none", median(crowded), median(empty), median(crowdedLink), median(emptyLink),
                median(emptyLink) > 0 ? median(crowdedLink) / median(emptyLink) : 0.0);
    std::printf("goals: message over the delayed link <= 0.60x; video throughput >= 1.0x sftp's; crowded <= 1.1x\n");
    return ok ? 0 : 1;
}
