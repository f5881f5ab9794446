// Publishing from the command line against each kind of server people host on (./dev test starts
// them from Debian's packages at their shipped settings): a message arrives whole, two publishers
// at once never share a link, old leftovers are swept, and a server's refusals are said plainly.
#include "FaultProxy.h"
#include "SftpServerSupport.h"

#include <QProcess>
#include <QRegularExpression>

using namespace parlivo;
using namespace parlivo::test;

namespace {

struct Server
{
    QString name, conf, webroot, pageBase;
    QMap<QString, QString> settings;
    bool valid() const { return !conf.isEmpty() && QFileInfo::exists(conf) && QFileInfo(webroot).isDir(); }
};

Server server(const QString &name)
{
    Server s;
    s.name = name;
    if (name == QLatin1String("openssh")) {
        s.conf = qEnvironmentVariable("PARLIVO_PUBLISH_CONF");
        s.webroot = qEnvironmentVariable("PARLIVO_WEBROOT");
    } else if (qEnvironmentVariableIsSet("PARLIVO_SFTP_SERVERS")) {
        const QString dir = qEnvironmentVariable("PARLIVO_SFTP_SERVERS");
        s.conf = dir + "/" + name + ".conf";
        s.webroot = QString::fromUtf8(readFile(dir + "/" + name + ".webroot")).trimmed();
    }
    for (const QString &line : QString::fromUtf8(readFile(s.conf)).split('\n')) {
        const int eq = line.indexOf('=');
        if (!line.startsWith('#') && eq > 0)
            s.settings[line.left(eq).trimmed()] = line.mid(eq + 1).trimmed();
    }
    s.pageBase = s.settings.value("page_base");
    return s;
}

// The program, copied into a folder of its own so that two can run at once.
struct Publisher
{
    QTemporaryDir dir;
    QString program;
    Publisher()
    {
        QProcess::execute("cp", {"-a", QStringLiteral(PARLIVO_APP_DIR "/."), dir.path()});
        program = dir.path() + "/parlivo";
    }
    void start(QProcess &p, const Server &s, const QStringList &args, const QString &fixedToken = {})
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const QString &k : env.keys())
            if (k.startsWith("PARLIVO_SFTP_") || k == "PARLIVO_PAGE_BASE")
                env.remove(k);
        env.insert("PARLIVO_PUBLISH_CONF", s.conf);
        if (!fixedToken.isEmpty())
            env.insert("PARLIVO_FIXED_NAME_TOKEN", fixedToken);
        p.setProcessEnvironment(env);
        p.start(program, QStringList{"publish"} + args);
    }
};

QString addressPrinted(QProcess &p)
{
    return QString::fromUtf8(p.readAllStandardOutput()).trimmed().split('\n').last().trimmed();
}

QStringList leftovers(const Server &s)
{
    return remoteNames(s.webroot).filter(QRegularExpression("^\\.(?!parlivo-swept$)"));
}

const QString Pictures[2] = {QStringLiteral(PARLIVO_SOURCE_DIR "/assets/Images/Happy_Cat.jpg"),
                             QStringLiteral(PARLIVO_SOURCE_DIR "/assets/Images/Sunset_Hills.jpg")};

class SftpServers : public ::testing::TestWithParam<QString>
{
};

TEST_P(SftpServers, MessagesArriveWholeNeverShareALinkAndOldLeftoversAreSwept)
{
    const Server s = server(GetParam());
    if (!s.valid())
        GTEST_SKIP() << "the server " << GetParam().toStdString() << " is not running (./dev test starts it)";
    // What an upload that died an hour ago left, and a sweep that is due.
    const QString stale = s.webroot + "/.PVD82_0_00_00_00.mp3.0123456789ab.part";
    writeFile(stale, pattern(1000, 1));
    ageLeftovers(s.webroot, ".PVD82_0_", 3600);

    Publisher publishers[2];
    for (int round = 0; round < 10; ++round) {
        SCOPED_TRACE(round);
        // Half the rounds with one token for both: the names then differ only by the time.
        const QString token = round % 2 ? QStringLiteral("abcdefghijklmnop") : QString();
        const QString texts[2] = {QString("Meet at 10 - Anna %1").arg(round), QString("Pay 9000 to Bobby %1").arg(round)};
        QProcess p[2];
        for (int i = 0; i < 2; ++i)
            publishers[i].start(p[i], s, {"--picture", Pictures[i], "--text", texts[i]}, token);
        QString address[2];
        for (int i = 0; i < 2; ++i) {
            ASSERT_TRUE(p[i].waitForFinished(60000));
            ASSERT_EQ(p[i].exitCode(), 0) << p[i].readAllStandardError().toStdString();
            address[i] = addressPrinted(p[i]);
        }
        EXPECT_NE(address[0], address[1]);
        for (int i = 0; i < 2; ++i) {
            QByteArray html, picture;
            ASSERT_EQ(httpGet(address[i], &html), 200) << address[i].toStdString();
            EXPECT_TRUE(QString::fromUtf8(html).contains(texts[i])) << address[i].toStdString();
            EXPECT_EQ(httpGet(address[i].chopped(4) + ".jpeg", &picture), 200);   // named for its type
            EXPECT_TRUE(picture == readFile(Pictures[i])) << address[i].toStdString();
        }
    }
    EXPECT_EQ(leftovers(s), QStringList());
}

INSTANTIATE_TEST_SUITE_P(EachKind, SftpServers,
                         ::testing::Values("openssh", "gesftp", "proftpd", "dropbear", "mysecureshell"),
                         [](const auto &info) { return info.param.toStdString(); });

TEST(SftpServerStock, ThirtyTakenNamesInACrowdedFolderFitInOneConnection)
{
    const Server s = server("openssh");
    if (!s.valid())
        GTEST_SKIP() << "the local publishing server is not running (./dev test starts it)";
    const QString token = QStringLiteral("qrstuvwxyz234567");
    Publisher publisher;
    QProcess first;
    publisher.start(first, s, {"--text", "First"}, token);
    ASSERT_TRUE(first.waitForFinished(60000));
    ASSERT_EQ(first.exitCode(), 0) << first.readAllStandardError().toStdString();
    // The name's shape (serial, and the token when names carry one) from a first message.
    const QRegularExpressionMatch shape =
        QRegularExpression("(PVD82_-?\\d+_)\\d\\d_\\d\\d_\\d\\d((?:_[a-z2-7]{16})?)\\.htm$").match(addressPrinted(first));
    ASSERT_TRUE(shape.hasMatch());

    // A crowded folder, and the next seconds' names taken 30 times over (the name and 29 fresh
    // ones): the 30th fresh name is free. Each try shares the one connection's channel, which a
    // stock server allows ten of.
    for (int i = 0; i < 5000; ++i)
        writeFile(s.webroot + QString("/x%1.gif").arg(i), "x");
    const QTime now = QTime::currentTime();
    QStringList planted;
    for (int sec = 0; sec < 4; ++sec) {
        const QString base = shape.captured(1) + now.addSecs(sec).toString("hh_mm_ss") + shape.captured(2);
        for (int n = 1; n <= 30; ++n) {
            planted << s.webroot + "/" + base + (n == 1 ? QString() : QString("_%1").arg(n)) + ".htm";
            writeFile(planted.last(), "someone else's page");
        }
    }
    QProcess p;
    publisher.start(p, s, {"--text", "Crowded"}, token);
    ASSERT_TRUE(p.waitForFinished(90000));
    ASSERT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
    const QString address = addressPrinted(p);
    EXPECT_TRUE(address.endsWith("_31.htm")) << address.toStdString();
    QByteArray html;
    ASSERT_EQ(httpGet(address, &html), 200);
    EXPECT_TRUE(html.contains("Crowded"));
    for (const QString &path : planted) {
        EXPECT_EQ(readFile(path), "someone else's page") << path.toStdString();
        QFile::remove(path);
    }
    for (int i = 0; i < 5000; ++i)
        QFile::remove(s.webroot + QString("/x%1.gif").arg(i));
    EXPECT_EQ(leftovers(s), QStringList());
}

TEST(SftpServerLimits, AnAccountsConnectionLimitIsNamedAsTheCause)
{
    const Server s = server("mysecureshell-limited");
    if (!s.valid())
        GTEST_SKIP() << "the limited server is not running (./dev test starts it)";
    // One upload holds the account's only connection (slowed down), another tries meanwhile.
    FaultProxy slow(s.settings.value("host"), s.settings.value("port").toInt());
    slow.limitRate(64 * 1024);
    QTemporaryDir folder;
    writeFile(folder.path() + "/held.mp4", pattern(4 << 20, 3));
    SftpQtClient holder;
    holder.setHostname("127.0.0.1");
    holder.setPort(slow.port());
    holder.setLogin(s.settings.value("user"));
    holder.setPassword(s.settings.value("password"));
    holder.setHostKeyFingerprint(s.settings.value("host_key"));
    ASSERT_EQ(connectTo(holder).code, 0);
    holder.putFolder(folder.path(), s.settings.value("remote_folder"), 0);
    ASSERT_TRUE(waitFor([&] { return holder.stateText().startsWith("Sending"); }, 30000)) << holder.stateText().toStdString();

    Publisher second;
    QProcess p;
    second.start(p, s, {"--text", "Limited"});
    ASSERT_TRUE(p.waitForFinished(60000));
    const QString said = QString::fromUtf8(p.readAllStandardError());
    EXPECT_NE(p.exitCode(), 0);
    EXPECT_TRUE(said.contains("limited number of times at once")) << said.toStdString();
    EXPECT_FALSE(said.contains("was lost")) << said.toStdString();
    holder.cancel();
    waitFor([&] { return !holder.isBusy(); }, 5000);
}

} // namespace
