// The publishing settings files: their order, their mistakes and their privacy.
#include "publish/PublishConfig.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace parlivo;

namespace {

class PublishSettingsFile : public ::testing::Test
{
protected:
    QString write(const QString &name, const QByteArray &text, QFile::Permissions mode = QFile::ReadOwner | QFile::WriteOwner)
    {
        const QString path = dir.filePath(name);
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(text);
        f.close();
        f.setPermissions(mode);
        return path;
    }
    PublishConfig load(const QString &system, const QString &user, QProcessEnvironment env = {})
    {
        env.insert("HOME", dir.path());
        return PublishConfig::load({system, user, env});
    }
    QTemporaryDir dir;
};

TEST_F(PublishSettingsFile, UserFileOverridesSystemFileKeyByKeyAndTheEnvironmentOverridesBoth)
{
    const QString system = write("system.conf", "host = sftp.example.net\nuser = everyone\nremote_folder = /www\n");
    const QString user = write("user.conf", "# mine\n\nuser = alice\nidentity = ~/.ssh/id_ed25519\n"
                                            "known_hosts = hosts\nuse_agent = no\npassword = \"a # b \"\n");
    PublishConfig c = load(system, user);
    EXPECT_TRUE(c.problem().isEmpty()) << c.problem().toStdString();
    EXPECT_EQ(c.host, "sftp.example.net");
    EXPECT_EQ(c.user, "alice");
    EXPECT_EQ(c.remoteFolder, "/www/");
    EXPECT_EQ(c.pageBase, "http://sftp.example.net/") << "derived from the host";
    EXPECT_EQ(c.identity, dir.path() + "/.ssh/id_ed25519");
    EXPECT_EQ(c.knownHosts, dir.filePath("hosts")) << "relative to the settings file";
    EXPECT_FALSE(c.useAgent);
    EXPECT_EQ(c.password, "a # b ");
    EXPECT_EQ(c.filesRead, QStringList({system, user}));

    QProcessEnvironment env;
    env.insert("PARLIVO_SFTP_HOST", "other.example");
    env.insert("PARLIVO_SFTP_USER", "bob");
    c = load(system, user, env);
    EXPECT_EQ(c.host, "other.example");
    EXPECT_EQ(c.user, "bob");
    EXPECT_EQ(c.pageBase, "http://other.example/");
    EXPECT_EQ(c.remoteFolder, "/www/") << "what the environment does not set stays";

    c = load(dir.filePath("missing.conf"), dir.filePath("missing-too.conf"));
    EXPECT_EQ(c.knownHosts, dir.path() + "/.ssh/known_hosts");
    EXPECT_TRUE(c.problem().contains("missing-too.conf")) << "says which file to write";
}

TEST_F(PublishSettingsFile, MistakesAreReportedWithFileAndLine)
{
    const QString user = write("user.conf", "host = h.example\nuser = u\nhots = typo\nport = 99999\n"
                                            "use_agent = maybe\njust words\npage_base = ftp://x/\n");
    const PublishConfig c = load({}, user);
    const QString p = c.problem();
    EXPECT_TRUE(p.contains(user + ":3: unknown setting \"hots\"")) << p.toStdString();
    EXPECT_TRUE(p.contains(user + ":4: port")) << p.toStdString();
    EXPECT_TRUE(p.contains(user + ":5: use_agent")) << p.toStdString();
    EXPECT_TRUE(p.contains(user + ":6: expected \"key = value\"")) << p.toStdString();
    EXPECT_TRUE(p.contains(user + ":7: page_base")) << p.toStdString();
    EXPECT_EQ(c.port, 22) << "a bad value is not guessed at";
}

TEST_F(PublishSettingsFile, PasswordInAFileOthersCanReadIsRefused)
{
    const QFile::Permissions shared = QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther;
    const QString user = write("user.conf", "host = h.example\nuser = u\npassword = secret123\n", shared);
    PublishConfig c = load({}, user);
    EXPECT_TRUE(c.password.isEmpty());
    EXPECT_TRUE(c.problem().contains("chmod 600 " + user)) << c.problem().toStdString();

    // Without a password the same file is fine, and so is a system-wide file.
    c = load({}, write("nopw.conf", "host = h.example\nuser = u\n", shared));
    EXPECT_TRUE(c.problem().isEmpty()) << c.problem().toStdString();
    c = load(write("system.conf", "host = h.example\nuser = u\npassword = secret123\n", shared), {});
    EXPECT_EQ(c.password, "secret123");
}

} // namespace
