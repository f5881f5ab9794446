// The SFTP client against the local publishing server: what arrives, and what every kind of
// failure leaves behind (nothing half-written, and never a success reported).
#include "FaultProxy.h"
#include "SftpServerSupport.h"

#include <QProcess>
#include <netinet/in.h>
#include <sys/mount.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace parlivo;
using namespace parlivo::test;

namespace {

const QString Remote = QStringLiteral("/httpdocs/");

class SftpUpload : public ::testing::Test
{
protected:
    void SetUp() override
    {
        REQUIRE_LOCAL_SERVER();
        server = LocalServer::fromEnvironment();
        ASSERT_TRUE(local.isValid());
    }
    QString localPath(const QString &name) const { return local.path() + QLatin1Char('/') + name; }
    QString webPath(const QString &name) const { return server.webroot + QLatin1Char('/') + name; }

    LocalServer server;
    QTemporaryDir local;
};

TEST_F(SftpUpload, FolderArrivesCompleteReadableAndServed)
{
    const QString p = uniquePrefix("full");
    const QList<QPair<QString, qint64>> files = {
        {p + "page.htm", 1500}, {p + "pic.gif", 40000}, {p + "voice.mp3", 1'300'000},
        {p + "chime.wav", 0}, {p + "clip.mp4", 3 * 1024 * 1024 + 17},
    };
    for (int i = 0; i < files.size(); ++i)
        writeFile(localPath(files[i].first), pattern(files[i].second, i));
    ASSERT_TRUE(QDir(local.path()).mkdir(p + "sub"));   // folders are not part of the upload

    SftpQtClient c;
    server.configure(c);
    QStringList states;
    QObject::connect(&c, &SftpClient::StateChanged, [&] { states << c.stateText(); });
    EXPECT_FALSE(c.isBusy());
    const Outcome con = connectTo(c);
    ASSERT_TRUE(con.arrived);
    ASSERT_EQ(con.code, 0) << con.text.toStdString();
    EXPECT_TRUE(c.isBusy());
    const Outcome done = upload(c, local.path(), Remote);
    ASSERT_TRUE(done.arrived);
    ASSERT_EQ(done.code, 0) << done.text.toStdString();
    c.disconnectFromServer();
    ASSERT_TRUE(waitFor([&] { return !c.isBusy(); }, 5000));
    EXPECT_EQ(c.stateText(), "Disconnected from server");
    EXPECT_TRUE(states.contains("Connecting to " + server.host));
    EXPECT_TRUE(states.contains("Checking the server's identity"));
    EXPECT_TRUE(states.contains("Logging in"));
    EXPECT_TRUE(std::any_of(states.begin(), states.end(), [](const QString &s) { return s.startsWith("Sending "); }))
        << states.join(" | ").toStdString();

    for (int i = 0; i < files.size(); ++i) {
        const QString path = webPath(files[i].first);
        EXPECT_EQ(readFile(path), pattern(files[i].second, i)) << path.toStdString();
        struct stat st {};
        ASSERT_EQ(::stat(path.toLocal8Bit().constData(), &st), 0);
        EXPECT_EQ(st.st_mode & 07777, 0644u) << path.toStdString();
    }
    EXPECT_FALSE(QFileInfo::exists(webPath(p + "sub")));
    for (const QString &n : remoteNames(server.webroot).filter(p))
        EXPECT_FALSE(n.startsWith('.')) << "temporary file left: " << n.toStdString();

    QByteArray body, type;
    EXPECT_EQ(httpGet(server.pageBase + p + "voice.mp3", &body, &type), 200);
    EXPECT_EQ(body, pattern(1'300'000, 2));
    EXPECT_EQ(type, "audio/mpeg");
    EXPECT_EQ(httpGet(server.pageBase + p + "chime.wav", nullptr, &type), 200);
    EXPECT_EQ(type, "audio/wav");
}

TEST_F(SftpUpload, RepeatedRunSkipsItsOwnFilesButRefusesToReplaceOthers)
{
    const QString p = uniquePrefix("again");
    writeFile(localPath(p + "a.htm"), pattern(900, 1));
    writeFile(localPath(p + "b.mp3"), pattern(70000, 2));
    Outcome o = publish(server, local.path());
    ASSERT_EQ(o.code, 0) << o.text.toStdString();

    // The same folder again, plus a new file: the old ones count as already there.
    writeFile(localPath(p + "c.gif"), pattern(5000, 3));
    o = publish(server, local.path());
    ASSERT_EQ(o.code, 0) << o.text.toStdString();
    EXPECT_EQ(readFile(webPath(p + "c.gif")), pattern(5000, 3));

    // A different file under a name the server already has is a conflict, named in the message,
    // and the server's file stays as it was; the new file of that run is not put in place.
    writeFile(localPath(p + "b.mp3"), pattern(71000, 9));
    writeFile(localPath(p + "d.wav"), pattern(3000, 4));
    o = publish(server, local.path());
    EXPECT_EQ(o.code, SftpNameConflict);
    EXPECT_TRUE(o.text.contains(p + "b.mp3")) << o.text.toStdString();
    EXPECT_EQ(readFile(webPath(p + "b.mp3")), pattern(70000, 2));
    EXPECT_FALSE(QFileInfo::exists(webPath(p + "d.wav")));
    for (const QString &n : remoteNames(server.webroot).filter(p))
        EXPECT_FALSE(n.startsWith('.')) << "temporary file left: " << n.toStdString();
}

TEST_F(SftpUpload, ReconnectingRightAfterAHangUpIsNotDisturbedByIt)
{
    const QString p = uniquePrefix("redial");
    writeFile(localPath(p + "a.htm"), pattern(500, 1));
    SftpQtClient c;
    server.configure(c);
    ASSERT_EQ(connectTo(c).code, 0);
    // Hanging up twice (as closing the window does) and dialling again the moment the first
    // hang-up is reported: the second report belongs to the old connection.
    c.disconnectFromServer();
    c.cancel();
    ASSERT_TRUE(waitFor([&] { return !c.isBusy(); }, 5000));
    const Outcome con = connectTo(c);
    ASSERT_EQ(con.code, 0) << con.text.toStdString();
    EXPECT_TRUE(c.isBusy());
    const Outcome up = upload(c, local.path(), Remote);
    EXPECT_EQ(up.code, 0) << up.text.toStdString();
    EXPECT_EQ(readFile(webPath(p + "a.htm")), pattern(500, 1));
}

TEST_F(SftpUpload, ConnectFailuresAreReportedInPlainWords)
{
    writeFile(localPath(uniquePrefix("x") + "x.htm"), "x");
    struct Case
    {
        const char *what;
        std::function<void(SftpQtClient &)> spoil;
        int code;
        const char *says;
    };
    const QString otherKey = QStringLiteral("ssh-ed25519 SHA256:") +
                             QString::fromLatin1(QByteArray(32, '\x5a').toBase64()).remove('=');
    const std::vector<Case> cases = {
        {"wrong password", [](SftpQtClient &c) { c.setPassword("wrongpas1"); }, SftpLoginFailed, "password"},
        {"wrong host key", [&](SftpQtClient &c) { c.setHostKeyFingerprint(otherKey); }, SftpHostKeyMismatch, "not the expected"},
        {"no host key", [](SftpQtClient &c) { c.setHostKeyFingerprint(""); }, SftpHostKeyUnknown, "fingerprint"},
        {"unknown account", [](SftpQtClient &c) { c.setLogin("nobody-here"); }, SftpLoginFailed, "password"},
        {"nothing listening", [](SftpQtClient &c) { c.setPort(1); }, SftpConnectFailed, "refused"},
    };
    for (const Case &k : cases) {
        SCOPED_TRACE(k.what);
        SftpQtClient c;
        server.configure(c);
        k.spoil(c);
        const QString sshdLog = QFileInfo(server.pidFile).absolutePath() + "/sshd.log";
        const qsizetype passwordsBefore = readFile(sshdLog).count("password for");
        QElapsedTimer t;
        t.start();
        const Outcome o = connectTo(c);
        ASSERT_TRUE(o.arrived);
        EXPECT_EQ(o.code, k.code) << o.text.toStdString();
        if (k.code == SftpHostKeyMismatch || k.code == SftpHostKeyUnknown) {
            // The password never reached a server that did not prove its identity.
            waitFor([] { return false; }, 200);
            EXPECT_EQ(readFile(sshdLog).count("password for"), passwordsBefore);
        }
        EXPECT_TRUE(o.text.contains(QLatin1String(k.says))) << o.text.toStdString();
        EXPECT_LT(t.elapsed(), 12000);
        EXPECT_FALSE(c.isBusy());
        EXPECT_EQ(c.stateText(), "Disconnected from server");
        // An upload asked for on a failed connection fails too; it is never a success.
        const Outcome up = upload(c, local.path(), Remote, 5000);
        ASSERT_TRUE(up.arrived);
        EXPECT_NE(up.code, 0);
    }
}

TEST_F(SftpUpload, MissingRemoteFolderFailsAndLeavesNothing)
{
    const QString p = uniquePrefix("nofolder");
    writeFile(localPath(p + "a.htm"), pattern(100, 1));
    const Outcome o = publish(server, local.path(), QStringLiteral("/httpdocs/%1missing/").arg(p));
    EXPECT_EQ(o.code, SftpRemoteFolderMissing);
    EXPECT_TRUE(o.text.contains("does not exist")) << o.text.toStdString();
    EXPECT_FALSE(QFileInfo::exists(webPath(p + "a.htm")));
}

TEST_F(SftpUpload, FullDiskFailsAndRemovesTheTemporaryFiles)
{
    const QString p = uniquePrefix("disk");
    const QString small = webPath(p + "small");
    ASSERT_TRUE(QDir().mkpath(small));
    if (::mount("tmpfs", small.toLocal8Bit().constData(), "tmpfs", 0, "size=1m,mode=0755") != 0)
        GTEST_SKIP() << "cannot mount a small file system here";
    struct Unmount
    {
        QString path;
        ~Unmount() { ::umount2(path.toLocal8Bit().constData(), MNT_DETACH); QDir(path).removeRecursively(); }
    } unmount{small};
    QProcess::execute("chown", {server.user + ":", small});

    writeFile(localPath(p + "a.htm"), pattern(2000, 1));
    writeFile(localPath(p + "b.mp4"), pattern(3 * 1024 * 1024, 2));
    const Outcome o = publish(server, local.path(), QStringLiteral("/httpdocs/%1small/").arg(p));
    EXPECT_EQ(o.code, SftpWriteFailed) << o.text.toStdString();
    EXPECT_TRUE(o.text.contains(p + "b.mp4")) << o.text.toStdString();
    EXPECT_TRUE(o.text.contains("full")) << o.text.toStdString();
    EXPECT_EQ(remoteNames(small).filter(p), QStringList()) << remoteNames(small).join(",").toStdString();
}

TEST_F(SftpUpload, ServerSessionDyingMidFileIsResumedWhereItStood)
{
    const QString p = uniquePrefix("crash");
    const qint64 size = 64 * 1024 * 1024;
    writeFile(localPath(p + "big.mp4"), pattern(size, 7));
    SftpQtClient c;
    server.configure(c);
    ASSERT_EQ(connectTo(c).code, 0);
    bool killed = false;
    QStringList states;
    QObject::connect(&c, &SftpClient::StateChanged, [&] {
        states << c.stateText();
        if (!killed && c.stateText().startsWith("Sending ")) {
            killed = true;
            EXPECT_GT(signalServerSessions(server.pidFile), 0);
        }
    });
    const Outcome o = upload(c, local.path(), Remote, 40000);
    ASSERT_TRUE(o.arrived);
    EXPECT_TRUE(killed);
    EXPECT_EQ(o.code, 0) << o.text.toStdString();
    EXPECT_EQ(states.filter("Connection lost; reconnecting (1 of 3)").size(), 1) << states.join(" | ").toStdString();
    EXPECT_TRUE(readFile(webPath(p + "big.mp4")) == pattern(size, 7));
    EXPECT_EQ(remoteNames(server.webroot).filter(p), QStringList{p + "big.mp4"});
}

TEST_F(SftpUpload, SilentOrHangingServerTimesOut)
{
    using namespace std::chrono_literals;
    // A port where the kernel accepts connections but no server ever speaks.
    const int mute = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(::bind(mute, reinterpret_cast<sockaddr *>(&a), sizeof a), 0);
    ASSERT_EQ(::listen(mute, 4), 0);
    socklen_t len = sizeof a;
    ::getsockname(mute, reinterpret_cast<sockaddr *>(&a), &len);
    {
        SftpQtClient c;
        server.configure(c);
        c.setHostname("127.0.0.1");
        c.setPort(ntohs(a.sin_port));
        c.setTimeouts(1000ms, 1500ms);
        QElapsedTimer t;
        t.start();
        const Outcome o = connectTo(c, 10000);
        ASSERT_TRUE(o.arrived);
        EXPECT_EQ(o.code, SftpTimedOut) << o.text.toStdString();
        EXPECT_TRUE(o.text.contains("did not answer")) << o.text.toStdString();
        EXPECT_GE(t.elapsed(), 900);
        EXPECT_LT(t.elapsed(), 3000);
        EXPECT_FALSE(c.isBusy());
    }
    ::close(mute);

    // The server stops answering in the middle of a file.
    const QString p = uniquePrefix("hang");
    writeFile(localPath(p + "big.mp4"), pattern(160 * 1024 * 1024, 4));
    SftpQtClient c;
    server.configure(c);
    c.setTimeouts(5000ms, 1500ms);
    ASSERT_EQ(connectTo(c).code, 0);
    bool stopped = false;
    QObject::connect(&c, &SftpClient::StateChanged, [&] {
        if (!stopped && c.stateText().startsWith("Sending ")) {
            stopped = true;
            EXPECT_GT(signalServerSessions(server.pidFile, SIGSTOP), 0);
        }
    });
    // A frozen line is taken for a lost one: after the stall time-out the upload connects again
    // and goes on (the frozen session is not asked for anything any more).
    QElapsedTimer t;
    t.start();
    const Outcome o = upload(c, local.path(), Remote, 20000);
    signalServerSessions(server.pidFile, SIGKILL);
    signalServerSessions(server.pidFile, SIGCONT);
    ASSERT_TRUE(o.arrived);
    ASSERT_TRUE(stopped);
    EXPECT_EQ(o.code, 0) << o.text.toStdString();
    EXPECT_LT(t.elapsed(), 15000);
    EXPECT_EQ(QFileInfo(webPath(p + "big.mp4")).size(), 160 * 1024 * 1024);
}

TEST_F(SftpUpload, OneCutIsBridgedAndEndlessCutsEndInAPlainFailureWithNothingLeft)
{
    using namespace std::chrono_literals;
    const QString p = uniquePrefix("cut");
    writeFile(localPath(p + "m.htm"), pattern(3000, 1));
    writeFile(localPath(p + "m.mp4"), pattern(10 << 20, 2));
    for (int cuts : {1, -1}) {
        SCOPED_TRACE(cuts);
        FaultProxy proxy(server.host, server.port);
        proxy.cutAfter(2 << 20, cuts);
        SftpQtClient c;
        server.configure(c);
        c.setHostname("127.0.0.1");
        c.setPort(proxy.port());
        c.setTimeouts(5000ms, 1500ms);
        ASSERT_EQ(connectTo(c).code, 0);
        const Outcome o = upload(c, local.path(), Remote, 30000);
        if (cuts == 1) {
            EXPECT_EQ(o.code, 0) << o.text.toStdString();
            EXPECT_TRUE(readFile(webPath(p + "m.mp4")) == pattern(10 << 20, 2));
            EXPECT_EQ(readFile(webPath(p + "m.htm")), pattern(3000, 1));
            EXPECT_EQ(remoteNames(server.webroot).filter(p), (QStringList{p + "m.htm", p + "m.mp4"}));
            QFile::remove(webPath(p + "m.htm"));
            QFile::remove(webPath(p + "m.mp4"));
        } else {
            EXPECT_EQ(o.code, SftpConnectionLost) << o.text.toStdString();
            EXPECT_TRUE(o.text.contains("Reconnecting 3 times did not help; nothing of this upload was left"))
                << o.text.toStdString();
            EXPECT_EQ(remoteNames(server.webroot).filter(p), QStringList());
        }
    }
}

TEST_F(SftpUpload, ACutBeforeTheFilesAreOpenedIsBridged_ButAChangedHostKeyOnReconnectingIsNot)
{
    using namespace std::chrono_literals;
    const QString p = uniquePrefix("early");
    writeFile(localPath(p + "m.htm"), pattern(3000, 1));
    writeFile(localPath(p + "m.mp3"), pattern(300000, 2));
    const QList<QByteArray> filed = readFile(qEnvironmentVariable("PARLIVO_SFTP_KNOWNHOSTS")).trimmed().split(' ');
    const QByteArray otherKey = readFile(qEnvironmentVariable("PARLIVO_SFTP_CLIENTKEY") + ".pub").split(' ').value(1);
    ASSERT_EQ(filed.size(), 3);
    QTemporaryDir keys;
    const QString known = keys.filePath("known_hosts");
    for (bool keyChanges : {false, true}) {
        SCOPED_TRACE(keyChanges);
        FaultProxy proxy(server.host, server.port);
        const QByteArray hostPattern = QStringLiteral("[127.0.0.1]:%1 ").arg(proxy.port()).toLatin1();
        writeFile(known, hostPattern + filed[1] + ' ' + filed[2] + '\n');
        SftpQtClient c;
        server.configure(c);
        c.setHostKeyFingerprint({});
        c.setKnownHostsFile(known);
        c.setHostname("127.0.0.1");
        c.setPort(proxy.port());
        c.setTimeouts(5000ms, 1500ms);
        ASSERT_EQ(connectTo(c).code, 0);
        // The first thing the upload says, opening its channel, goes down with the line.
        proxy.cutOnceAfterMore(1);
        if (keyChanges)
            writeFile(known, hostPattern + "ssh-ed25519 " + otherKey + '\n');
        const Outcome o = upload(c, local.path(), Remote, 30000);
        if (!keyChanges) {
            EXPECT_EQ(o.code, 0) << o.text.toStdString();
            EXPECT_EQ(readFile(webPath(p + "m.mp3")), pattern(300000, 2));
            EXPECT_EQ(readFile(webPath(p + "m.htm")), pattern(3000, 1));
        } else {
            EXPECT_EQ(o.code, SftpHostKeyMismatch) << o.text.toStdString();
            EXPECT_EQ(proxy.connections(), 2) << "a changed key is never tried again";
        }
        EXPECT_EQ(remoteNames(server.webroot).filter(p).size(), keyChanges ? 0 : 2);
        QFile::remove(webPath(p + "m.htm"));
        QFile::remove(webPath(p + "m.mp3"));
    }
}

TEST_F(SftpUpload, CancelStopsWithinTwoSecondsAndCleansUp)
{
    const QString p = uniquePrefix("cancel");
    writeFile(localPath(p + "big.mp4"), pattern(160 * 1024 * 1024, 3));
    SftpQtClient c;
    server.configure(c);
    ASSERT_EQ(connectTo(c).code, 0);
    QElapsedTimer t;
    bool cancelled = false;
    Outcome o;
    QObject::connect(&c, &SftpClient::Done, [&](int code, const QString &text) { o = {code, text, true}; });
    QObject::connect(&c, &SftpClient::StateChanged, [&] {
        if (!cancelled && c.stateText().startsWith("Sending ")) {
            cancelled = true;
            t.start();
            c.cancel();
        }
    });
    c.putFolder(local.path(), Remote, 0);
    ASSERT_TRUE(waitFor([&] { return o.arrived && !c.isBusy(); }, 30000));
    ASSERT_TRUE(cancelled);
    EXPECT_LT(t.elapsed(), 2000);
    EXPECT_EQ(o.code, SftpCancelled) << o.text.toStdString();
    EXPECT_EQ(c.stateText(), "Disconnected from server");
    EXPECT_EQ(remoteNames(server.webroot).filter(p), QStringList());
}

TEST_F(SftpUpload, ClientDestroyedMidUploadReturnsPromptly)
{
    const QString p = uniquePrefix("close");
    writeFile(localPath(p + "big.mp4"), pattern(160 * 1024 * 1024, 5));
    QElapsedTimer t;
    {
        SftpQtClient c;
        server.configure(c);
        ASSERT_EQ(connectTo(c).code, 0);
        bool sending = false;
        QObject::connect(&c, &SftpClient::StateChanged, [&] { sending = sending || c.stateText().startsWith("Sending "); });
        c.putFolder(local.path(), Remote, 0);
        ASSERT_TRUE(waitFor([&] { return sending; }, 20000));
        t.start();
        c.cancel();
        c.disconnectFromServer();
    }
    EXPECT_LT(t.elapsed(), 2000);
    EXPECT_FALSE(QFileInfo::exists(webPath(p + "big.mp4")));
}

} // namespace
