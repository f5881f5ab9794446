// Host-key pins and the publishing configuration: the pieces that decide whether a password
// is ever sent, and to whom.
#include "platform/sftp/SshHostKey.h"
#include "publish/PublishConfig.h"

#include <QCryptographicHash>
#include <gtest/gtest.h>

using namespace parlivo;

namespace {

QByteArray digestOf(const char *s) { return QCryptographicHash::hash(s, QCryptographicHash::Sha256); }

TEST(HostKeyPin, ParsesTheFormsWeDocumentAndRejectsTheRest)
{
    const QString fp = formatSha256Fingerprint(digestOf("key"));
    EXPECT_TRUE(fp.startsWith("SHA256:"));
    EXPECT_FALSE(fp.endsWith('=')) << "printed the way ssh-keygen prints it";
    EXPECT_EQ(fp.size(), 7 + 43);

    HostKeyPin p = parseHostKeyPin("ssh-ed25519 " + fp);
    EXPECT_TRUE(p.valid);
    EXPECT_EQ(p.keyType, "ssh-ed25519");
    EXPECT_EQ(p.fingerprint, fp);

    p = parseHostKeyPin("  " + fp + "  ");
    EXPECT_TRUE(p.valid);
    EXPECT_TRUE(p.keyType.isEmpty());
    EXPECT_TRUE(parseHostKeyPin(fp + "=").valid) << "padding is tolerated";

    struct Bad { const char *text; const char *why; };
    for (const Bad &b : {Bad{"", "not configured"}, Bad{"MD5:aa:bb", "SHA256"}, Bad{"SHA256:", "damaged"},
                         Bad{"SHA256:abc", "damaged"}, Bad{"ssh-foo SHA256:abc", "not one this program knows"},
                         Bad{"a b c", "form"}}) {
        p = parseHostKeyPin(b.text);
        EXPECT_FALSE(p.valid) << b.text;
        EXPECT_FALSE(p.problem.isEmpty()) << b.text;
    }
    EXPECT_TRUE(parseHostKeyPin("").problem.contains("fingerprint"));
}

TEST(HostKeyPin, ComparisonIsExactOnTheDigest)
{
    const QString a = formatSha256Fingerprint(digestOf("a"));
    const QString b = formatSha256Fingerprint(digestOf("b"));
    EXPECT_TRUE(fingerprintsMatch(a, a));
    EXPECT_TRUE(fingerprintsMatch("sha256:" + a.mid(7), a));
    EXPECT_FALSE(fingerprintsMatch(a, b));
    EXPECT_FALSE(fingerprintsMatch(a.toLower(), a)) << "base64 is case sensitive";
    EXPECT_FALSE(fingerprintsMatch("SHA256:", "SHA256:"));
    EXPECT_FALSE(fingerprintsMatch(a.mid(7), a.mid(7))) << "a bare digest is no fingerprint";
}

TEST(HostKeyPin, PinnedTypeIsTheOnlyOneOffered)
{
    EXPECT_EQ(hostKeyMethodPreference("ssh-ed25519"), "ssh-ed25519");
    EXPECT_EQ(hostKeyMethodPreference("ecdsa-sha2-nistp256"), "ecdsa-sha2-nistp256");
    EXPECT_TRUE(hostKeyMethodPreference("ssh-rsa").contains("rsa-sha2-256"));
    EXPECT_TRUE(hostKeyMethodPreference("").startsWith("ssh-ed25519,")) << "Ed25519 before ECDSA";
}

TEST(HostKeyPin, PreferenceKeepsOnlyWhatTheLibraryHasInOrderAndOnce)
{
    const QList<QByteArray> library{"ssh-rsa", "ssh-ed25519", "ecdsa-sha2-nistp256"};
    EXPECT_EQ(onlySupportedMethods("ssh-ed25519,rsa-sha2-512,rsa-sha2-256,ssh-rsa,ssh-ed25519", library),
              "ssh-ed25519,ssh-rsa");
    EXPECT_EQ(onlySupportedMethods("rsa-sha2-512", library), "");
}

QProcessEnvironment env(std::initializer_list<std::pair<const char *, const char *>> vars)
{
    QProcessEnvironment e;
    for (const auto &[k, v] : vars)
        e.insert(k, v);
    return e;
}

PublishConfig base()
{
    PublishConfig c;
    c.host = "pages.example";
    c.port = 22;
    c.user = "maker";
    c.password = "abc123xyz";
    c.hostKey = "";
    c.pageBase = "http://pages.example/";
    return c;
}

TEST(PublishSettings, EnvironmentOverridesEachValue)
{
    PublishConfig c = PublishConfig::withOverrides(base(), env({}));
    EXPECT_EQ(c.host, "pages.example");
    EXPECT_EQ(c.remoteFolder, "/httpdocs/");
    EXPECT_TRUE(c.problem().isEmpty()) << "without a pin, known_hosts decides at connection time";

    c = PublishConfig::withOverrides(base(), env({{"PARLIVO_SFTP_HOST", "127.0.0.2"},
                                                 {"PARLIVO_SFTP_PORT", "2222"},
                                                 {"PARLIVO_SFTP_USER", "dev"},
                                                 {"PARLIVO_SFTP_PASSWORD", " spaced "},
                                                 {"PARLIVO_SFTP_HOSTKEY", "ssh-ed25519 SHA256:x"},
                                                 {"PARLIVO_PAGE_BASE", "http://127.0.0.2:8080"}}));
    EXPECT_EQ(c.host, "127.0.0.2");
    EXPECT_EQ(c.port, 2222);
    EXPECT_EQ(c.user, "dev");
    EXPECT_EQ(c.password, " spaced ") << "a password is taken exactly";
    EXPECT_EQ(c.hostKey, "ssh-ed25519 SHA256:x");
    EXPECT_EQ(c.pageBase, "http://127.0.0.2:8080/");
    EXPECT_TRUE(c.problem().contains("damaged")) << "an unusable pin is reported before connecting";
}

TEST(PublishSettings, PageBaseFollowsTheHostUnlessSetItself)
{
    PublishConfig c = PublishConfig::withOverrides(base(), env({{"PARLIVO_SFTP_HOST", "other.example"}}));
    EXPECT_EQ(c.pageBase, "http://other.example/");

    PublishConfig custom = base();
    custom.pageBase = "https://cdn.example/m/";
    c = PublishConfig::withOverrides(custom, env({{"PARLIVO_SFTP_HOST", "other.example"}}));
    EXPECT_EQ(c.pageBase, "https://cdn.example/m/") << "a page base of its own stays";
}

TEST(PublishSettings, BadPortIsReportedNotGuessed)
{
    for (const char *port : {"x", "0", "70000", ""}) {
        const PublishConfig c = PublishConfig::withOverrides(base(), env({{"PARLIVO_SFTP_PORT", port}}));
        EXPECT_TRUE(c.problem().contains("port")) << port;
    }
}

TEST(PublishSettings, CompiledInDefaultsHoldNoAccountAndSayWhereToWriteOne)
{
    const PublishConfig c = PublishConfig::compiledIn();
    EXPECT_TRUE(c.host.isEmpty());
    EXPECT_TRUE(c.user.isEmpty());
    EXPECT_TRUE(c.password.isEmpty());
    EXPECT_TRUE(c.hostKey.isEmpty());
    EXPECT_EQ(c.port, 22);

    QProcessEnvironment e;
    e.insert("HOME", "/nonexistent-home");
    const PublishConfig loaded = PublishConfig::load(PublishConfig::standardSources(e));
    EXPECT_TRUE(loaded.problem().contains("/nonexistent-home/.config/parlivo/publish.conf"))
        << loaded.problem().toStdString();
}

} // namespace
