// Trusting and logging in to a server the way SSH users expect, and the connection check,
// against the local publishing server.
#include "SftpServerSupport.h"

#include <QMessageAuthenticationCode>
#include <QProcess>
#include <QRandomGenerator>
#include <QTcpServer>

using namespace parlivo;
using namespace parlivo::test;

namespace {

struct Attempt
{
    Outcome outcome;
    QString hostKeyNote, loginMethod;
    QStringList states;
};

class OwnServer : public ::testing::Test
{
protected:
    void SetUp() override
    {
        REQUIRE_LOCAL_SERVER();
        server = LocalServer::fromEnvironment();
        ASSERT_TRUE(dir.isValid());
        // "pattern type base64", as the server script files the host key.
        const QList<QByteArray> entry = readFile(qEnvironmentVariable("PARLIVO_SFTP_KNOWNHOSTS")).trimmed().split(' ');
        ASSERT_EQ(entry.size(), 3);
        pattern = QString::fromLatin1(entry[0]);
        hostKey = entry[1] + ' ' + entry[2];
        clientKey = qEnvironmentVariable("PARLIVO_SFTP_CLIENTKEY");
        sshdLog = QFileInfo(server.pidFile).absolutePath() + "/sshd.log";
    }

    QString file(const QString &name, const QByteArray &text)
    {
        const QString path = dir.filePath(name);
        writeFile(path, text);
        QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
        return path;
    }

    // Connects with known_hosts deciding (no pin) unless `setup` says otherwise.
    Attempt attempt(const std::function<void(SftpQtClient &)> &setup)
    {
        SftpQtClient c;
        server.configure(c);
        c.setHostKeyFingerprint({});
        c.setUseAgent(false);
        c.setKnownHostsFile(file("known_hosts", pattern.toLatin1() + ' ' + hostKey + '\n'));
        setup(c);
        QStringList states;
        QObject::connect(&c, &SftpClient::StateChanged, [&] { states << c.stateText(); });
        Attempt a{connectTo(c), c.hostKeyNote(), c.loginMethod(), {}};
        a.states = states;
        c.disconnectFromServer();
        waitFor([&] { return !c.isBusy(); }, 5000);
        return a;
    }

    // A private copy of the test key, with a passphrase when one is given.
    QString keyCopy(const QString &name, const QString &passphrase = {})
    {
        const QString path = dir.filePath(name);
        QFile::remove(path);
        EXPECT_TRUE(QFile::copy(clientKey, path));
        QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
        if (!passphrase.isEmpty()) {
            QProcess keygen;
            keygen.start("ssh-keygen", {"-q", "-p", "-P", "", "-N", passphrase, "-f", path});
            EXPECT_TRUE(keygen.waitForFinished(10000) && keygen.exitCode() == 0);
        }
        return path;
    }

    LocalServer server;
    QTemporaryDir dir;
    QString pattern, clientKey, sshdLog;
    QByteArray hostKey;
};

QByteArray hashedName(const QString &name)
{
    QByteArray salt(20, Qt::Uninitialized);
    for (char &ch : salt)
        ch = char(QRandomGenerator::global()->bounded(256));
    const QByteArray mac = QMessageAuthenticationCode::hash(name.toUtf8(), salt, QCryptographicHash::Sha1);
    return "|1|" + salt.toBase64() + '|' + mac.toBase64();
}

TEST_F(OwnServer, HostKeyIsTakenFromKnownHostsAndAnythingElseIsRefusedBeforeLoggingIn)
{
    const QString fingerprint = server.hostKey.section(' ', 1);
    // Plain and hashed entries, below lines for other hosts and a comment.
    const QByteArray other = "other.example ssh-ed25519 AAAAC3NzaC1lZDI1NTE5AAAAIGq3dUv6bPNPN4x8ONYyC4Bzy3wQ5nK8fd2n9e7yG2Qc\n";
    for (const QByteArray &name : {pattern.toLatin1(), hashedName(pattern)}) {
        SCOPED_TRACE(name.toStdString());
        const Attempt a = attempt([&](SftpQtClient &c) {
            c.setKnownHostsFile(file("kh", "# mine\n" + other + name + ' ' + hostKey + '\n'));
        });
        EXPECT_EQ(a.outcome.code, 0) << a.outcome.text.toStdString();
        EXPECT_TRUE(a.hostKeyNote.endsWith("kh line 3")) << a.hostKeyNote.toStdString();
    }

    // An entry for the same address on another port does not vouch for this one.
    const QString otherPort = server.port == 22 ? "[" + server.host + "]:2222" : server.host;
    const QString line = pattern + ' ' + QString::fromLatin1(hostKey);
    for (const QByteArray &known : {QByteArray(), QByteArray(otherPort.toLatin1() + ' ' + hostKey + '\n')}) {
        const Attempt a = attempt([&](SftpQtClient &c) { c.setKnownHostsFile(file("kh", known)); });
        EXPECT_EQ(a.outcome.code, SftpHostKeyUnknown) << a.outcome.text.toStdString();
        EXPECT_TRUE(a.outcome.text.contains(fingerprint)) << a.outcome.text.toStdString();
        EXPECT_TRUE(a.outcome.text.contains("add this line to " + dir.filePath("kh") + ": " + line))
            << a.outcome.text.toStdString();
    }

    // A different key on file: the warning names file and line, and no login is tried.
    const qint64 logBefore = QFileInfo(sshdLog).size();
    const QByteArray otherKey = readFile(clientKey + ".pub").split(' ').value(1);
    const Attempt a = attempt([&](SftpQtClient &c) {
        c.setKnownHostsFile(file("kh", other + pattern.toLatin1() + " ssh-ed25519 " + otherKey + '\n'));
    });
    EXPECT_EQ(a.outcome.code, SftpHostKeyMismatch);
    EXPECT_TRUE(a.outcome.text.contains("HAS CHANGED")) << a.outcome.text.toStdString();
    EXPECT_TRUE(a.outcome.text.contains(dir.filePath("kh") + " line 2")) << a.outcome.text.toStdString();
    EXPECT_TRUE(a.outcome.text.contains("Nothing was sent"));
    waitFor([] { return false; }, 300);   // let the server write its log
    const QByteArray log = readFile(sshdLog).mid(logBefore);
    EXPECT_FALSE(log.contains(QByteArray("for " + server.user.toLatin1()))) << log.toStdString();
}

TEST_F(OwnServer, LogsInWithTheAgentTheIdentityFileOrThePasswordAndSaysWhich)
{
    // A private agent holding the test key.
    const QString socket = dir.filePath("agent.sock");
    QProcess agent;
    agent.start("ssh-agent", {"-D", "-a", socket});
    ASSERT_TRUE(waitFor([&] { return QFileInfo::exists(socket); }, 5000));
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("SSH_AUTH_SOCK", socket);
    QProcess add;
    add.setProcessEnvironment(env);
    add.start("ssh-add", {"-q", keyCopy("agent_key")});
    ASSERT_TRUE(add.waitForFinished(10000));
    ASSERT_EQ(add.exitCode(), 0) << add.readAllStandardError().toStdString();
    const QByteArray savedSocket = qgetenv("SSH_AUTH_SOCK");
    qputenv("SSH_AUTH_SOCK", socket.toLocal8Bit());

    Attempt a = attempt([](SftpQtClient &c) {
        c.setUseAgent(true);
        c.setPassword({});
    });
    EXPECT_EQ(a.outcome.code, 0) << a.outcome.text.toStdString();
    EXPECT_TRUE(a.loginMethod.startsWith("the ssh-agent key")) << a.loginMethod.toStdString();
    EXPECT_TRUE(a.states.contains("Logged in to " + server.host + " with " + a.loginMethod)) << "shown in the status line";
    qputenv("SSH_AUTH_SOCK", savedSocket);
    agent.kill();
    agent.waitForFinished(3000);

    const QString plain = keyCopy("plain_key");
    a = attempt([&](SftpQtClient &c) {
        c.setIdentityFile(plain);
        c.setPassword({});
    });
    EXPECT_EQ(a.outcome.code, 0) << a.outcome.text.toStdString();
    EXPECT_EQ(a.loginMethod, "the key " + plain);

    const QString locked = keyCopy("locked_key", "open sesame");
    for (const char *passphrase : {"", "wrong"}) {
        a = attempt([&](SftpQtClient &c) {
            c.setIdentityFile(locked);
            c.setPassphrase(passphrase);
        });
        EXPECT_EQ(a.outcome.code, SftpPassphraseNeeded) << passphrase;
        EXPECT_TRUE(a.outcome.text.contains(locked)) << a.outcome.text.toStdString();
    }
    a = attempt([&](SftpQtClient &c) {
        c.setIdentityFile(locked);
        c.setPassphrase("open sesame");
        c.setPassword({});
    });
    EXPECT_EQ(a.outcome.code, 0) << a.outcome.text.toStdString();
    EXPECT_EQ(a.loginMethod, "the key " + locked);

    // A key the server does not know falls through to the password.
    const QString stranger = dir.filePath("stranger");
    ASSERT_EQ(QProcess::execute("ssh-keygen", {"-q", "-t", "ed25519", "-N", "", "-f", stranger}), 0);
    a = attempt([&](SftpQtClient &c) { c.setIdentityFile(stranger); });
    EXPECT_EQ(a.outcome.code, 0) << a.outcome.text.toStdString();
    EXPECT_EQ(a.loginMethod, "the password");
}

// `parlivo check` with nothing but a settings file in the user's configuration folder.
class CheckCommand : public OwnServer
{
protected:
    struct Run { int exitCode; QStringList lines; };
    Run check(const QByteArray &settings, const QStringList &args = {}, QFile::Permissions mode = QFile::ReadOwner | QFile::WriteOwner,
              const QProcessEnvironment &extra = {})
    {
        QDir(dir.path()).mkpath("config/parlivo");
        const QString conf = dir.filePath("config/parlivo/publish.conf");
        writeFile(conf, settings);
        QFile::setPermissions(conf, mode);
        QProcessEnvironment env;
        for (const char *v : {"PATH", "LANG"})
            env.insert(v, qEnvironmentVariable(v));
        env.insert("HOME", dir.path());
        env.insert("XDG_CONFIG_HOME", dir.filePath("config"));
        for (const QString &k : extra.keys())
            env.insert(k, extra.value(k));
        QProcess p;
        p.setProcessEnvironment(env);
        p.start(QStringLiteral(PARLIVO_APP_DIR "/parlivo"), QStringList{"check"} + args);
        EXPECT_TRUE(p.waitForFinished(60000));
        return {p.exitCode(), QString::fromUtf8(p.readAllStandardOutput()).trimmed().split('\n')};
    }
    QByteArray settings(const QByteArray &change = {}) const
    {
        QByteArray s = "host = " + server.host.toLatin1() + "\nport = " + QByteArray::number(server.port)
                       + "\nuser = " + server.user.toLatin1() + "\npassword = " + server.password.toLatin1()
                       + "\nknown_hosts = " + qgetenv("PARLIVO_SFTP_KNOWNHOSTS") + "\nuse_agent = no\npage_base = "
                       + server.pageBase.toLatin1() + "\n";
        return s + change;
    }
};

// A web folder that lists its files hands every message to anyone: said, without failing.
TEST_F(CheckCommand, WarnsOfAFolderThatListsItsFilesAndStillPasses)
{
    const Run listed = check(settings("page_base = " + server.pageBase.toLatin1() + "listing/\n"));
    EXPECT_EQ(listed.exitCode, 0) << listed.lines.join('\n').toStdString();
    ASSERT_EQ(listed.lines.size(), 7) << listed.lines.join('\n').toStdString();
    EXPECT_TRUE(listed.lines[5].contains(" ... OK (HTTP 200)"));
    EXPECT_TRUE(listed.lines[6].startsWith("WARNING: the web server lists the files of")) << listed.lines[6].toStdString();
    EXPECT_TRUE(listed.lines[6].contains("index.html"));

    const Run closed = check(settings());
    EXPECT_EQ(closed.lines.filter("WARNING").size(), 0) << closed.lines.join('\n').toStdString();
}

TEST_F(CheckCommand, PassesEveryStepOrStopsAtTheFirstThatFailsSayingWhy)
{
    const Run ok = check(settings());
    EXPECT_EQ(ok.exitCode, 0) << ok.lines.join('\n').toStdString();
    ASSERT_EQ(ok.lines.size(), 6) << ok.lines.join('\n').toStdString();
    for (const QString &l : ok.lines)
        EXPECT_TRUE(l.contains(" ... OK")) << l.toStdString();
    EXPECT_TRUE(ok.lines[0].contains(dir.filePath("config/parlivo/publish.conf")));
    EXPECT_TRUE(ok.lines[3].contains("with the password"));
    EXPECT_TRUE(remoteNames(server.webroot).filter(".parlivo-check").isEmpty()) << "the test file is removed";

    QTcpServer closed;
    closed.listen(QHostAddress(server.host), 0);
    const QByteArray closedPort = QByteArray::number(closed.serverPort());
    closed.close();
    QProcessEnvironment wrongPassword;
    wrongPassword.insert("PARLIVO_SFTP_PASSWORD", "wrong0pass");
    struct Case { const char *name; QByteArray change; int failingLine; const char *says; QProcessEnvironment env; QFile::Permissions mode; };
    const auto priv = QFile::ReadOwner | QFile::WriteOwner;
    const Case cases[] = {
        {"bad line", "colour = blue\n", 0, "publish.conf:8: unknown setting \"colour\"", {}, priv},
        {"readable by others", "", 0, "chmod 600", {}, priv | QFile::ReadOther},
        {"nothing listening", "port = " + closedPort + "\n", 1, "refused", {}, priv},
        {"unknown host key", "known_hosts = /dev/null\n", 2, "is not known yet", {}, priv},
        {"wrong password from the environment", "", 3, "did not accept", wrongPassword, priv},
        {"no such folder", "remote_folder = /nowhere/\n", 4, "does not exist", {}, priv},
        {"no web server", "page_base = http://" + server.host.toLatin1() + ":" + closedPort + "/\n", 5, "refused", {}, priv},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const Run r = check(settings(c.change), {}, c.mode, c.env);
        EXPECT_EQ(r.exitCode, 1);
        ASSERT_EQ(r.lines.size(), c.failingLine + 1) << r.lines.join('\n').toStdString();
        EXPECT_TRUE(r.lines.last().contains("FAILED")) << r.lines.last().toStdString();
        EXPECT_TRUE(r.lines.last().contains(c.says, Qt::CaseInsensitive)) << r.lines.last().toStdString();
    }

    // An encrypted key and its passphrase file.
    const QString locked = keyCopy("locked_key", "open sesame");
    const QByteArray keyOnly = "identity = " + locked.toLocal8Bit() + "\npassword =\n";
    Run r = check(settings(keyOnly));
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.lines.last().contains("--passphrase-file")) << r.lines.last().toStdString();
    r = check(settings(keyOnly), {"--passphrase-file", file("pass", "open sesame\n")});
    EXPECT_EQ(r.exitCode, 0) << r.lines.join('\n').toStdString();
    EXPECT_TRUE(r.lines.value(3).contains("with the key " + locked)) << r.lines.join('\n').toStdString();
}

} // namespace
