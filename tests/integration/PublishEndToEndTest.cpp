// The whole publishing road against the local publishing server that ./dev test starts:
// through the window's handlers with the real SFTP client, and through `parlivo publish`.
// The published page is fetched over HTTP and loaded in the system's headless Chromium.
#include "FaultProxy.h"
#include "app/dialogs/frmError.h"
#include "message/MessageDraft.h"
#include "fakes/FakePlatform.h"
#include "fakes/MediaSamples.h"
#include "fakes/VideoClips.h"
#include "platform/Factories.h"
#include "platform/audio/Mp3Encoder.h"
#include "publish/LinkDelivery.h"

#include <QBuffer>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QImageReader>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>
#include <QTime>
#include <cmath>
#include <iostream>
#include <csignal>
#include <gtest/gtest.h>

using namespace parlivo;
using namespace parlivo::test;

namespace {

bool serverAvailable()
{
    return qEnvironmentVariableIsSet("PARLIVO_SFTP_HOST") && qEnvironmentVariableIsSet("PARLIVO_WEBROOT")
        && qEnvironmentVariableIsSet("PARLIVO_PAGE_BASE");
}

#define NEEDS_PUBLISHING_SERVER()                                                                  \
    if (!serverAvailable())                                                                        \
    GTEST_SKIP() << "the local publishing server is not running (./dev test starts it)"

QByteArray fileBytes(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool writeBytes(const QString &path, const QByteArray &data)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(data) == data.size();
}

// A second and a half of a soft 440 Hz tone as a real MP3, so a browser can decode it.
bool writeToneMp3(const QString &path)
{
    Mp3Encoder enc;
    if (!enc.open(path, 44100, 44100, 1, 128))
        return false;
    std::vector<qint16> pcm(44100 * 3 / 2);
    for (size_t i = 0; i < pcm.size(); ++i)
        pcm[i] = qint16(8000 * std::sin(2 * M_PI * 440.0 * double(i) / 44100.0));
    return enc.encode(pcm.data(), int(pcm.size())) && enc.close();
}

int httpGet(const QString &url, QByteArray *body = nullptr)
{
    QNetworkAccessManager nam;
    QNetworkRequest req{QUrl(url)};
    req.setTransferTimeout(10000);
    QNetworkReply *reply = nam.get(req);
    QEventLoop loop;
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    loop.exec();
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (body)
        *body = reply->readAll();
    reply->deleteLater();
    return status;
}

// The files a page refers to by bare name (its own media, in its own folder).
QStringList namesInPage(const QString &html)
{
    static const QRegularExpression attr(QStringLiteral("(?:src|href)=\"([^\"#:/]+)\""));
    QStringList names;
    for (auto it = attr.globalMatch(html); it.hasNext();) {
        const QString n = it.next().captured(1);
        if (!names.contains(n))
            names << n;
    }
    return names;
}

QString browserFolder()
{
    return QStringLiteral(PARLIVO_SOURCE_DIR "/tests/browser");
}

bool browserAvailable()
{
    return QFileInfo::exists(QStringLiteral("/usr/bin/chromium")) && QFileInfo::exists(browserFolder() + "/node_modules/playwright-core")
        && !QStandardPaths::findExecutable(QStringLiteral("node")).isEmpty();
}

// Runs the browser check on each page; returns its JSON lines, one per page (and fails the
// test when a page did not pass).
QString checkInBrowser(const QStringList &addresses)
{
    QProcess node;
    node.setWorkingDirectory(browserFolder());
    node.start(QStringLiteral("node"), QStringList{QStringLiteral("check-page.mjs")} + addresses);
    if (!node.waitForFinished(60000 + 20000 * int(addresses.size()))) {
        node.kill();
        ADD_FAILURE() << "the browser check did not finish";
        return {};
    }
    const QString out = QString::fromUtf8(node.readAllStandardOutput()).trimmed();
    EXPECT_EQ(node.exitCode(), 0) << out.toStdString() << "\n" << node.readAllStandardError().toStdString();
    return out;
}

QStringList webrootFiles()
{
    return QDir(qEnvironmentVariable("PARLIVO_WEBROOT")).entryList(QDir::Files | QDir::Hidden, QDir::Name);
}

class PublishEndToEnd : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (!serverAvailable())
            return;
        for (const char *v : {"PARLIVO_SFTP_HOST", "PARLIVO_SFTP_PORT", "PARLIVO_SFTP_PASSWORD", "PARLIVO_SFTP_HOSTKEY"})
            m_saved.push_back({v, qgetenv(v)});
        fp.platform().createSftpClient = [this] {
            std::unique_ptr<SftpClient> c = makeSftpClient();
            client = c.get();
            return c;
        };
        for (const char *name : {"MSTemp.dll", "MSTemp32.dll", "MSTempWMV.dll", "MSTempMOV.dll", "HTML/Rabbit.gif", "tada.wav"})
            fp.plant(QString::fromLatin1(name), fileBytes(QStringLiteral(PARLIVO_SOURCE_DIR "/assets/") + QString::fromLatin1(name)));
        w = fp.makeWindow();
        w->Label6_Click();
    }
    void TearDown() override
    {
        w.reset();
        for (const auto &s : m_saved)
            qputenv(s.first, s.second);
    }

    // A message with every item: a real MP3, the picture, text, link, background sound, video.
    void fillDraft()
    {
        ASSERT_TRUE(writeToneMp3(w->txtRecFilename->text()));
        w->draft.i_recorded = true;
        my_picture = fp.appFolder() + "/HTML/Rabbit.gif";
        wants_picture = true;
        w->draft.my_text_message = QString::fromUtf8("Grüße & <greetings> \xf0\x9f\x90\xb0");
        w->draft.wants_link = true;
        w->draft.my_link = "www.example.org/news?a=1&b=2";
        w->draft.my_background_wav = fp.appFolder() + "/tada.wav";
        w->draft.wants_backsound = true;
        w->draft.my_video = fp.plant("mine/clip.mov", test::sampleVideo("MOV", 200000));
        w->draft.wants_video = true;
        w->draft.what_format = "MOV";
    }

    void publish()
    {
        fp.messageBox.answers.push_back(true);
        w->Button2_Click();
    }

    bool waitForStatus(const std::function<bool(const QString &)> &ok, int ms = 30000)
    {
        return QTest::qWaitFor([&] { return ok(w->status()); }, ms);
    }

    std::vector<std::pair<const char *, QByteArray>> m_saved;
    FakePlatform fp;
    SftpClient *client = nullptr;
    std::unique_ptr<frmMAIN> w;
};

} // namespace

TEST_F(PublishEndToEnd, TheWindowPublishesAPageThatABrowserShowsAndTheLinkIsCopiedOnce)
{
    NEEDS_PUBLISHING_SERVER();
    fillDraft();
    publish();
    ASSERT_TRUE(waitForStatus([](const QString &s) { return s == "Please proceed to next step..."; }))
        << w->status().toStdString();
    EXPECT_TRUE(w->draft.im_done);
    EXPECT_EQ(w->cursor().shape(), Qt::ArrowCursor);

    // Every file of the Quillbox folder is on the server, whole, and readable by the web server.
    const QString webroot = qEnvironmentVariable("PARLIVO_WEBROOT");
    const QStringList sent = QDir(fp.appFolder() + "/Quillbox").entryList(QDir::Files);
    EXPECT_EQ(sent.size(), 6);   // the background sound also as MP3
    for (const QString &name : sent) {
        EXPECT_EQ(fileBytes(webroot + "/" + name), fileBytes(fp.appFolder() + "/Quillbox/" + name)) << name.toStdString();
        EXPECT_TRUE(QFileInfo(webroot + "/" + name).permissions() & QFileDevice::ReadOther);
    }

    // The page and every file it names answer over HTTP.
    const QString base = qEnvironmentVariable("PARLIVO_PAGE_BASE");
    const QString address = pageAddress(base.endsWith('/') ? base : base + '/', w->draft.my_page);
    QByteArray page;
    ASSERT_EQ(httpGet(address, &page), 200);
    const QStringList names = namesInPage(QString::fromUtf8(page));
    EXPECT_GE(names.size(), 4) << names.join(' ').toStdString();
    for (const QString &name : names)
        EXPECT_EQ(httpGet(base + name), 200) << name.toStdString();

    if (browserAvailable()) {
        const QString result = checkInBrowser({address});
        EXPECT_TRUE(result.contains(QString::fromUtf8("\"text\":\"My Text Message: Grüße & <greetings> \xf0\x9f\x90\xb0\"")))
            << result.toStdString();
        EXPECT_TRUE(result.contains("\"link\":\"http://www.example.org/news?a=1&b=2\"")) << result.toStdString();
        EXPECT_TRUE(result.contains("\"wordsShown\":false")) << result.toStdString();   // a recording has no captions
    } else {
        ADD_FAILURE() << "headless Chromium with playwright-core is not available (./dev installs it)";
    }

    // The link step: the e-mail text once, then the red notice.
    w->Button3_Click();
    EXPECT_EQ(fp.clipboard.text, emailText(address));
    EXPECT_EQ(w->status(), "Finished - paste the message into your email !");
    w->Button3_Click();
    ASSERT_TRUE(w->errorNotice);
    EXPECT_TRUE(w->errorNotice->isVisible());
    EXPECT_EQ(fp.clipboard.sets, 1);
    w->errorNotice->close();
}

TEST_F(PublishEndToEnd, FailedUploadsKeepTheDraftAndLeaveNoPartialFiles)
{
    NEEDS_PUBLISHING_SERVER();
    QTcpServer closed;
    closed.listen(QHostAddress(qEnvironmentVariable("PARLIVO_SFTP_HOST")), 0);
    const QByteArray closedPort = QByteArray::number(closed.serverPort());
    closed.close();

    struct Case { const char *name; const char *var; QByteArray value; };
    const Case cases[] = {
        {"wrong password", "PARLIVO_SFTP_PASSWORD", "wrong0pass"},
        {"wrong host key", "PARLIVO_SFTP_HOSTKEY", "ssh-ed25519 SHA256:AAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAA"},
        {"nothing listening", "PARLIVO_SFTP_PORT", closedPort},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const QByteArray before = qgetenv(c.var);
        qputenv(c.var, c.value);
        fillDraft();
        const QStringList filesBefore = webrootFiles();
        publish();
        ASSERT_TRUE(waitForStatus([](const QString &s) { return s.startsWith("Publishing failed"); }, 40000))
            << w->status().toStdString();
        qputenv(c.var, before);
        EXPECT_FALSE(w->draft.im_done);
        EXPECT_EQ(w->cursor().shape(), Qt::ArrowCursor);
        EXPECT_TRUE(w->draft.i_recorded);
        EXPECT_TRUE(wants_picture);
        EXPECT_TRUE(w->draft.wants_video);
        EXPECT_EQ(w->draft.my_text_message, QString::fromUtf8("Grüße & <greetings> \xf0\x9f\x90\xb0"));
        QTest::qWait(300);   // anything still on its way would land now
        EXPECT_EQ(webrootFiles(), filesBefore);
    }

    // A different file already under one of this message's names is never replaced: the
    // message moves to a fresh name, and its page, files and link all carry it.
    const QString webroot = qEnvironmentVariable("PARLIVO_WEBROOT");
    fp.plant("Quillbox/.keep");   // the folder exists before the names are taken
    QFile::remove(fp.appFolder() + "/Quillbox/.keep");
    QStringList planted;
    const QTime now = QTime::currentTime();
    // Names carry a random token: this publication is given a known one to collide with.
    qputenv("PARLIVO_FIXED_NAME_TOKEN", "takenname");
    for (int s = 0; s < 4; ++s) {
        const QString name = "PVD82_1234567890_" + now.addSecs(s).toString("hh_mm_ss") + "_takenname.gif";
        ASSERT_TRUE(writeBytes(webroot + "/" + name, "someone else's picture"));
        planted << name;
    }
    publish();
    const bool published = waitForStatus([](const QString &s) { return s == "Please proceed to next step..."; });
    qunsetenv("PARLIVO_FIXED_NAME_TOKEN");
    ASSERT_TRUE(published) << w->status().toStdString();
    EXPECT_TRUE(w->draft.im_done);
    EXPECT_TRUE(w->draft.my_page.endsWith("_takenname_2.htm")) << w->draft.my_page.toStdString();
    for (const QString &name : planted) {
        EXPECT_EQ(fileBytes(webroot + "/" + name), "someone else's picture");
        QFile::remove(webroot + "/" + name);
    }
    const QString base = w->draft.my_page.chopped(4);
    const QString html = QString::fromUtf8(fileBytes(webroot + "/" + w->draft.my_page));
    for (const QString &name : namesInPage(html).filter(QRegularExpression("^PVD82_"))) {
        EXPECT_TRUE(name.startsWith(base + ".")) << name.toStdString();
        EXPECT_EQ(fileBytes(webroot + "/" + name), fileBytes(fp.appFolder() + "/Quillbox/" + name)) << name.toStdString();
    }
}

TEST_F(PublishEndToEnd, TheCommandLinePublishesAndPrintsTheEmailText)
{
    NEEDS_PUBLISHING_SERVER();
    const QString app = QStringLiteral(PARLIVO_APP_DIR "/parlivo");
    const QString mp3 = fp.appFolder() + "/mine/hello.mp3";
    QDir().mkpath(fp.appFolder() + "/mine");
    ASSERT_TRUE(writeToneMp3(mp3));

    QProcess p;
    p.start(app, {"publish", "--audio", mp3, "--text", "From the command line", "--link", "https://example.org/",
                  "--background-sound", QStringLiteral(PARLIVO_SOURCE_DIR "/assets/tada.wav")});
    ASSERT_TRUE(p.waitForFinished(60000));
    const QString out = QString::fromUtf8(p.readAllStandardOutput());
    ASSERT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
    const QStringList lines = out.trimmed().split("\r\n");
    ASSERT_EQ(lines.size(), 3) << out.toStdString();
    const QString address = lines[2].trimmed();
    EXPECT_EQ(out, emailText(address) + "\n");
    EXPECT_TRUE(address.startsWith(qEnvironmentVariable("PARLIVO_PAGE_BASE")));
    QByteArray page;
    ASSERT_EQ(httpGet(address, &page), 200);
    for (const QString &name : namesInPage(QString::fromUtf8(page)))
        EXPECT_EQ(httpGet(qEnvironmentVariable("PARLIVO_PAGE_BASE") + name), 200) << name.toStdString();
    if (browserAvailable())
        checkInBrowser({address});

    // Reasons go to stderr with a non-zero exit; nothing is uploaded.
    struct Bad { QStringList args; const char *says; };
    const Bad bad[] = {
        {{"publish", "--audio", "/nonexistent/voice.mp3"}, "/nonexistent/voice.mp3"},
        {{"publish", "--link", "javascript:alert(1)"}, "javascript:alert(1)"},
        {{"publish", "--video", mp3}, "hello.mp3"},
        {{"publish", "--audio", mp3, "--captions", mp3}, "WebVTT"},
        {{"publish", "--captions", mp3}, "--audio"},
        {{"publish", "--bogus"}, "bogus"},
    };
    for (const Bad &b : bad) {
        SCOPED_TRACE(b.says);
        const QStringList before = webrootFiles();
        QProcess q;
        q.start(app, b.args);
        ASSERT_TRUE(q.waitForFinished(30000));
        EXPECT_NE(q.exitCode(), 0);
        EXPECT_TRUE(q.readAllStandardOutput().isEmpty());
        EXPECT_TRUE(QString::fromUtf8(q.readAllStandardError()).contains(QString::fromLatin1(b.says)));
        EXPECT_EQ(webrootFiles(), before);
    }
}

namespace {

// A second application folder on the same drive: the program and its files, copied.
QString copyOfTheProgram(const QString &folder)
{
    QProcess::execute("cp", {"-a", QStringLiteral(PARLIVO_APP_DIR "/."), folder});
    return folder + "/parlivo";
}

QString addressPrinted(QProcess &p)
{
    return QString::fromUtf8(p.readAllStandardOutput()).trimmed().split("\r\n").last().trimmed();
}

QStringList hiddenMessageFiles()
{
    return webrootFiles().filter(QRegularExpression("^\\..*PVD82_"));
}

} // namespace

TEST_F(PublishEndToEnd, TwoPublishersAtOnceAndTakenNamesEachGetTheirOwnWholePage)
{
    NEEDS_PUBLISHING_SERVER();
    const QString pageBase = qEnvironmentVariable("PARLIVO_PAGE_BASE");
    QTemporaryDir first, second;
    const QString programs[2] = {copyOfTheProgram(first.path()), copyOfTheProgram(second.path())};
    const QString pictures[2] = {QStringLiteral(PARLIVO_SOURCE_DIR "/assets/Images/Happy_Cat.jpg"),
                                 QStringLiteral(PARLIVO_SOURCE_DIR "/assets/Images/Sunset_Hills.jpg")};
    // Each page must show its own text and picture, and only files of its own name.
    const auto pageIsWhole = [&](const QString &address, const QString &text, const QString &picture) {
        QByteArray html;
        ASSERT_EQ(httpGet(address, &html), 200) << address.toStdString();
        const QString page = QString::fromUtf8(html);
        EXPECT_TRUE(page.contains(text)) << address.toStdString();
        const QString base = address.section('/', -1).section('.', 0, 0);
        for (const QString &name : namesInPage(page).filter(QRegularExpression("^PVD82_")))
            EXPECT_TRUE(name.startsWith(base + ".")) << name.toStdString();
        QByteArray jpeg;
        EXPECT_EQ(httpGet(pageBase + base + ".jpeg", &jpeg), 200);
        EXPECT_EQ(jpeg, fileBytes(picture)) << address.toStdString();
    };
    QString serial;
    for (int round = 0; round < 10; ++round) {
        SCOPED_TRACE(round);
        const QString texts[2] = {QString("Meet at 10 - Anna %1").arg(round), QString("Pay 9000 to Bobby %1").arg(round)};
        QProcess p[2];
        for (int i = 0; i < 2; ++i)
            p[i].start(programs[i], {"publish", "--picture", pictures[i], "--text", texts[i]});
        QString address[2];
        for (int i = 0; i < 2; ++i) {
            ASSERT_TRUE(p[i].waitForFinished(60000));
            ASSERT_EQ(p[i].exitCode(), 0) << p[i].readAllStandardError().toStdString();
            address[i] = addressPrinted(p[i]);
        }
        EXPECT_NE(address[0], address[1]);
        for (int i = 0; i < 2; ++i)
            pageIsWhole(address[i], "My Text Message: " + texts[i], pictures[i]);
        serial = QRegularExpression("PVD82_(-?\\d+)_").match(address[0]).captured(1);
    }

    // Names of the next seconds taken by files of the very size of a message's sound: not
    // "already there", and never replaced; the message takes a fresh name.
    const QString mp3 = fp.appFolder() + "/mine/hello.mp3";
    QDir().mkpath(fp.appFolder() + "/mine");
    ASSERT_TRUE(writeToneMp3(mp3));
    const QString webroot = qEnvironmentVariable("PARLIVO_WEBROOT");
    QStringList planted;
    for (int s = 0; s < 5; ++s) {
        const QString name = "PVD82_" + serial + "_" + QTime::currentTime().addSecs(s).toString("HH_mm_ss") + "_takenname.mp3";
        planted << webroot + "/" + name;
        writeBytes(planted.last(), QByteArray(fileBytes(mp3).size(), '\0'));
    }
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("PARLIVO_FIXED_NAME_TOKEN", "takenname");
    p.setProcessEnvironment(env);
    p.start(programs[0], {"publish", "--audio", mp3, "--picture", pictures[1], "--text", "Taken"});
    ASSERT_TRUE(p.waitForFinished(60000));
    ASSERT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
    const QString address = addressPrinted(p);
    // (The rounds above may have used the first fresh names of this second already.)
    EXPECT_TRUE(QRegularExpression("_\\d\\d_\\d\\d_\\d\\d_takenname_\\d+\\.htm$").match(address).hasMatch()) << address.toStdString();
    pageIsWhole(address, "My Text Message: Taken", pictures[1]);
    QByteArray sound;
    EXPECT_EQ(httpGet(address.chopped(4) + ".mp3", &sound), 200);
    EXPECT_EQ(sound, fileBytes(mp3));
    for (const QString &path : planted) {
        EXPECT_EQ(fileBytes(path), QByteArray(fileBytes(mp3).size(), '\0')) << path.toStdString();
        QFile::remove(path);
    }
    EXPECT_EQ(hiddenMessageFiles(), QStringList());
}

TEST_F(PublishEndToEnd, CtrlCOrTerminateMidUploadCancelsAndLeavesNothingBehind)
{
    NEEDS_PUBLISHING_SERVER();
    // A slow line, so that the upload is surely under way when the signal comes.
    FaultProxy proxy(qEnvironmentVariable("PARLIVO_SFTP_HOST"), qEnvironmentVariableIntValue("PARLIVO_SFTP_PORT"));
    proxy.limitRate(4 << 20);
    if (!haveFfmpegTools())
        GTEST_SKIP() << "the ffmpeg tools that make the test clips are missing";
    // About 46 MB of plain frames, quick to make and to rewrite: the upload takes a while.
    const QString video = fp.appFolder() + "/mine/long.avi";
    QDir().mkpath(fp.appFolder() + "/mine");
    ASSERT_EQ(makeClip(video, {"-c:v", "rawvideo", "-pix_fmt", "yuv420p"}, 320, 240, 16.0, false), QString());
    for (const auto &[sig, code] : {std::pair{SIGINT, 130}, std::pair{SIGTERM, 143}}) {
        SCOPED_TRACE(sig);
        QTemporaryDir tmp;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("PARLIVO_SFTP_HOST", "127.0.0.1");
        env.insert("PARLIVO_SFTP_PORT", QString::number(proxy.port()));
        env.insert("TMPDIR", tmp.path());
        QProcess p;
        p.setProcessEnvironment(env);
        p.start(QStringLiteral(PARLIVO_APP_DIR "/parlivo"), {"publish", "--video", video, "--no-convert"});
        ASSERT_TRUE(QTest::qWaitFor([] { return !hiddenMessageFiles().isEmpty(); }, 15000));
        ::kill(pid_t(p.processId()), sig);
        ASSERT_TRUE(p.waitForFinished(6000));
        EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(p.exitCode(), code);
        EXPECT_TRUE(p.readAllStandardError().contains("cancelled"));
        EXPECT_EQ(hiddenMessageFiles(), QStringList());
        EXPECT_EQ(QDir(tmp.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), QStringList());
    }
}

TEST_F(PublishEndToEnd, SpokenTextGoesOutWithCaptionsThatFollowThePlayingMessage)
{
    NEEDS_PUBLISHING_SERVER();
    const QString app = QStringLiteral(PARLIVO_APP_DIR "/parlivo");
    const QString mp3 = fp.appFolder() + "/mine/spoken.mp3", vtt = fp.appFolder() + "/mine/spoken.vtt";
    QDir().mkpath(fp.appFolder() + "/mine");
    const QString text = "Good morning, dear friends. The garden party starts at noon, so bring a hat. "
                         "Tom & Ann <will> cook.";
    QProcess speak;
    speak.start(app, {"speak", "--text", text, "-o", mp3, "--captions", vtt});
    ASSERT_TRUE(speak.waitForFinished(60000));
    if (speak.exitCode() == 1 && speak.readAllStandardError().contains("could not start"))
        GTEST_SKIP() << "the speech synthesiser's data files are not installed";
    ASSERT_EQ(speak.exitCode(), 0);
    EXPECT_EQ(QString::fromUtf8(speak.readAllStandardOutput()), mp3 + "\n" + vtt + "\n");

    QProcess p;
    p.start(app, {"publish", "--audio", mp3, "--captions", vtt});
    ASSERT_TRUE(p.waitForFinished(60000));
    ASSERT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
    const QString address = QString::fromUtf8(p.readAllStandardOutput()).trimmed().split("\r\n").last().trimmed();
    QByteArray page;
    ASSERT_EQ(httpGet(address, &page), 200);
    QByteArray served;
    ASSERT_EQ(httpGet(QString(address).replace(".htm", ".vtt"), &served), 200);
    EXPECT_EQ(served, fileBytes(vtt));
    if (!browserAvailable())
        return;
    const QString result = checkInBrowser({address});
    EXPECT_TRUE(result.contains("\"wordsShown\":true")) << result.toStdString();
    EXPECT_TRUE(result.contains("\"transcript\":\"" + text + "\"")) << result.toStdString();
    EXPECT_TRUE(result.contains("\"Tom & Ann <will> cook.\"")) << result.toStdString();
}

// What ffprobe says of the file's entries (e.g. "format_tags:stream_tags"), one per line.
QString probe(const QString &path, const QString &entries)
{
    QProcess p;
    p.start("ffprobe", {"-v", "error", "-show_entries", entries, "-of", "flat", path});
    p.waitForFinished(30000);
    return QString::fromUtf8(p.readAllStandardOutput());
}

QString run(const QString &program, const QStringList &args)
{
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(program, args);
    p.waitForFinished(60000);
    return QString::fromUtf8(p.readAll());
}

// The decoded samples, to compare sound without regard to its container.
QByteArray samplesOf(const QString &path)
{
    QProcess p;
    p.start("ffmpeg", {"-v", "error", "-i", path, "-map", "0:a", "-f", "s16le", "-"});
    p.waitForFinished(60000);
    return p.readAllStandardOutput();
}

// A phone photo, a tagged MP3 with cover art, a WAV with INFO, a video with a location:
// fetched back over HTTP, none of what they hid is there, and they look and sound the same.
TEST_F(PublishEndToEnd, PublishedFilesCarryNothingTheSenderDidNotSee)
{
    NEEDS_PUBLISHING_SERVER();
    if (!haveFfmpegTools() || QStandardPaths::findExecutable("exiftool").isEmpty())
        GTEST_SKIP() << "exiftool or the ffmpeg tools are missing";
    const QString mine = fp.appFolder() + "/mine";
    QDir().mkpath(mine);
    const QString photo = mine + "/photo.jpg", tone = mine + "/tone.mp3", mp3 = mine + "/tagged.mp3",
                  wav = mine + "/tagged.wav", clip = mine + "/located.mov";
    ASSERT_TRUE(QFile::copy(QStringLiteral(PARLIVO_SOURCE_DIR "/assets/Images/Happy_Cat.jpg"), photo));
    run("exiftool", {"-q", "-overwrite_original", "-GPSLatitude=48.8584", "-GPSLatitudeRef=N", "-GPSLongitude=2.2945",
                     "-GPSLongitudeRef=E", "-Make=PhoneMaker", "-Model=PhoneModel", "-Orientation#=6",
                     "-XMP-dc:Creator=Secret Person", "-Comment=Secret comment", photo});
    ASSERT_TRUE(writeToneMp3(tone));
    run("ffmpeg", {"-v", "error", "-y", "-i", tone, "-i", photo, "-map", "0", "-map", "1", "-c", "copy", "-id3v2_version", "3",
                   "-metadata", "artist=Secret Person", "-metadata", "comment=Secret comment", mp3});
    run("ffmpeg", {"-v", "error", "-y", "-i", QStringLiteral(PARLIVO_SOURCE_DIR "/assets/tada.wav"), "-c", "copy",
                   "-metadata", "artist=Secret Person", "-metadata", "comment=Secret comment", wav});
    ASSERT_EQ(makeClip(clip, typicalCodecs("mov") + QStringList{"-metadata", "location=+48.8584+002.2945/",
                       "-metadata", "creation_time=2024-05-01T10:00:00Z", "-metadata", "comment=Secret comment"},
                       160, 120, 1.0), QString());
    const QStringList hidden{"GPS", "48.85", "PhoneMaker", "PhoneModel", "Secret", "Picture", "location", "creation_time"};
    const auto tellsNothing = [&](const QString &path) {
        const QString said = run("exiftool", {"-a", "-G", path}) + probe(path, "format_tags:stream_tags");
        QStringList found;
        for (const QString &h : hidden)
            if (said.contains(h, Qt::CaseInsensitive))
                found << h;
        return found;
    };
    // The sources do hide them: otherwise this test would prove nothing.
    for (const QString &source : {photo, mp3, wav, clip})
        EXPECT_FALSE(tellsNothing(source).isEmpty()) << source.toStdString();

    QProcess p;
    p.start(QStringLiteral(PARLIVO_APP_DIR "/parlivo"),
            {"publish", "--audio", mp3, "--picture", photo, "--background-sound", wav, "--video", clip});
    ASSERT_TRUE(p.waitForFinished(120000));
    ASSERT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
    const QString base = addressPrinted(p).chopped(4);
    EXPECT_TRUE(QRegularExpression("/PVD82_-?\\d+_\\d\\d_\\d\\d_\\d\\d_[a-z2-7]{16}$").match(base).hasMatch()) << base.toStdString();
    for (const QString ext : {".jpeg", ".mp3", ".wav", ".background.mp3", ".mov", ".mp4", ".jpg"}) {
        SCOPED_TRACE(ext.toStdString());
        QByteArray bytes;
        ASSERT_EQ(httpGet(base + ext, &bytes), 200);
        const QString served = mine + "/served" + ext;
        ASSERT_TRUE(writeBytes(served, bytes));
        EXPECT_EQ(tellsNothing(served), QStringList());
    }
    // Turned upright as the phone meant it; the sound sample for sample as chosen.
    const QImage picture = QImage(mine + "/served.jpeg");
    EXPECT_EQ(QImageReader(photo).size().transposed(), picture.size());
    EXPECT_EQ(samplesOf(mine + "/served.mp3"), samplesOf(mp3));
    EXPECT_FALSE(samplesOf(mp3).isEmpty());
    EXPECT_EQ(samplesOf(mine + "/served.wav"), samplesOf(wav));
    EXPECT_EQ(probe(mine + "/served.mov", "stream=codec_name"), probe(clip, "stream=codec_name"));
    EXPECT_FALSE(tellsNothing(clip).isEmpty());   // the person's own file keeps what it had

    QByteArray page;
    ASSERT_EQ(httpGet(base + ".htm", &page), 200);
    EXPECT_TRUE(page.contains("<meta name=\"referrer\" content=\"no-referrer\">"));
}

TEST_F(PublishEndToEnd, EveryVideoFormatGoesOutAsAnMp4ThatABrowserPlays)
{
    NEEDS_PUBLISHING_SERVER();
    if (!haveFfmpegTools())
        GTEST_SKIP() << "the ffmpeg tools that make the test clips are missing";
    const QString app = QStringLiteral(PARLIVO_APP_DIR "/parlivo");
    const QString mine = fp.appFolder() + "/mine", mp3 = mine + "/hello.mp3";
    QDir().mkpath(mine);
    ASSERT_TRUE(writeToneMp3(mp3));
    const auto publishVideo = [&](const QString &clip, const QStringList &more, QString *said) {
        QProcess p;
        p.start(app, QStringList{"publish", "--audio", mp3, "--video", clip} + more);
        EXPECT_TRUE(p.waitForFinished(120000));
        *said = QString::fromUtf8(p.readAllStandardError());
        EXPECT_EQ(p.exitCode(), 0) << said->toStdString();
        return addressPrinted(p);
    };
    QStringList addresses;
    QString said;
    for (const char *ext : {"avi", "flv", "mov", "mp4", "mpg", "mpeg", "swf", "wmv"}) {
        SCOPED_TRACE(ext);
        const QString clip = mine + "/clip." + ext;
        ASSERT_EQ(makeClip(clip, typicalCodecs(ext), 320, 240, 2.0), QString());
        const QByteArray chosen = fileBytes(clip);
        const QString address = publishVideo(clip, {}, &said);
        EXPECT_FALSE(said.contains("could not be converted")) << said.toStdString();
        // Staged by a link where it can be: the person's file is never written through it.
        EXPECT_TRUE(fileBytes(clip) == chosen);
        const QString base = address.chopped(4);
        EXPECT_EQ(httpGet(base + ".jpg"), 200);
        // The original goes out too, its streams as they were in a file of their own.
        QByteArray original;
        EXPECT_EQ(httpGet(base + "." + ext, &original), 200);
        const QString served = mine + "/served." + ext;
        ASSERT_TRUE(writeBytes(served, original));
        EXPECT_EQ(probe(served, "stream=codec_name"), probe(clip, "stream=codec_name"));
        addresses << address;
    }
    // Unconverted on request: the original alone, no copy for the web, which a browser
    // cannot play (the page says so).
    const QString asItIs = publishVideo(mine + "/clip.avi", {"--no-convert"}, &said);
    EXPECT_EQ(httpGet(asItIs.chopped(4) + ".mp4"), 404);
    EXPECT_EQ(httpGet(asItIs.chopped(4) + ".avi"), 200);
    // A damaged file can neither be converted nor copied without what it may hide: refused.
    const QString damaged = fp.plant("mine/damaged.avi", sampleVideo("AVI", 100000));
    QProcess refused;
    refused.start(app, {"publish", "--audio", mp3, "--video", damaged});
    ASSERT_TRUE(refused.waitForFinished(60000));
    EXPECT_EQ(refused.exitCode(), 1);
    EXPECT_TRUE(refused.readAllStandardError().contains("could not be copied without its hidden details"));
    if (!browserAvailable())
        return;
    const QString unreadable = asItIs;
    const QStringList results = checkInBrowser(addresses + QStringList{unreadable}).split('\n');
    ASSERT_EQ(results.size(), addresses.size() + 1);
    for (int i = 0; i < addresses.size(); ++i)
        EXPECT_TRUE(results[i].contains("\"source\":\"" + addresses[i].section('/', -1).chopped(4) + ".mp4\""))
            << results[i].toStdString();
    EXPECT_TRUE(results.last().contains("\"noteShown\":true")) << results.last().toStdString();
}

namespace {

// A phone's photo: 3000x2000, 2.3 MB, a smooth sky over grainy ground, stored sideways with the
// orientation tag that says "turn it a quarter to the right" (the camera was held upright).
QByteArray phonePhoto()
{
    QImage image(3000, 2000, QImage::Format_RGB32);
    quint32 seed = 1;
    for (int y = 0; y < image.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        const int rough = y > 800 ? 56 : 14;
        for (int x = 0; x < image.width(); ++x) {
            seed = seed * 1664525u + 1013904223u;
            const int grain = int(seed >> 24) % (rough + 1) - rough / 2;
            const int wave = int(20 * std::sin(x / 90.0) * std::cos(y / 70.0));
            line[x] = qRgb(qBound(0, 90 + x / 24 + grain + wave, 255), qBound(0, 140 + y / 20 + grain - wave, 255),
                           qBound(0, 200 - x / 30 + grain, 255));
        }
    }
    QByteArray jpeg;
    QBuffer buffer(&jpeg);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPEG", 92);
    // APP1 Exif: big-endian TIFF header, one IFD entry: Orientation (0x0112) SHORT 1 = 6.
    const QByteArray tiff = QByteArray::fromHex("4d4d002a00000008" "0001" "011200030000000100060000" "00000000");
    const QByteArray exif = QByteArray("Exif\0\0", 6) + tiff;
    QByteArray app1 = QByteArray::fromHex("ffe1");
    app1.append(char((exif.size() + 2) >> 8)).append(char((exif.size() + 2) & 0xff)).append(exif);
    return jpeg.left(2) + app1 + jpeg.mid(2);
}

} // namespace

TEST_F(PublishEndToEnd, FourKindsOfPageOpenFastLookRightAndHaveNoDeadParts)
{
    NEEDS_PUBLISHING_SERVER();
    if (!browserAvailable() || !QFileInfo::exists(browserFolder() + "/node_modules/lighthouse"))
        GTEST_FAIL() << "headless Chromium with lighthouse and axe-core is not available (./dev installs them)";
    const QString app = QStringLiteral(PARLIVO_APP_DIR "/parlivo");
    const QString mine = fp.appFolder() + "/mine", mp3 = mine + "/hello.mp3";
    QDir().mkpath(mine);
    ASSERT_TRUE(writeToneMp3(mp3));
    ASSERT_TRUE(writeBytes(mine + "/photo.jpg", phonePhoto()));
    ASSERT_TRUE(writeBytes(mine + "/chord.wav", toneWav(2, 44100, 10)));
    ASSERT_TRUE(writeBytes(mine + "/hello.vtt", "WEBVTT\n\n00:00.000 --> 00:00.700\nGood morning,\n\n"
                                                "00:00.700 --> 00:01.500\ndear friends.\n"));
    const auto publish = [&](const QStringList &args) {
        QProcess p;
        p.start(app, QStringList{"publish"} + args);
        EXPECT_TRUE(p.waitForFinished(120000));
        EXPECT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
        return addressPrinted(p);
    };
    QStringList pages{
        publish({"--audio", mp3, "--picture", mine + "/photo.jpg", "--background-sound", mine + "/chord.wav"}),
        publish({"--audio", mp3, "--captions", mine + "/hello.vtt", "--text", "See you at noon & bring a hat",
                 "--link", "https://example.org/garden"}),
        publish({"--picture", QStringLiteral(PARLIVO_SOURCE_DIR "/assets/Images/Happy_Cat.jpg"), "--text", "Just a cat"}),
    };
    if (haveFfmpegTools()) {
        ASSERT_EQ(makeClip(mine + "/clip.mov", typicalCodecs("mov"), 640, 360, 2.0), QString());
        pages.insert(2, publish({"--audio", mp3, "--video", mine + "/clip.mov"}));
    }

    // The photo goes out upright under its true type; its sound also as a light MP3.
    const QString first = pages[0].chopped(4);
    QByteArray photo;
    ASSERT_EQ(httpGet(first + ".jpeg", &photo), 200);
    const QImage shown = QImage::fromData(photo);
    EXPECT_EQ(shown.height(), 1600);
    EXPECT_NEAR(shown.width(), 1067, 1);
    EXPECT_EQ(httpGet(first + ".background.mp3"), 200);
    EXPECT_EQ(httpGet(first + ".wav"), 200);

    QProcess node;
    node.setWorkingDirectory(browserFolder());
    const QString shots = qEnvironmentVariable("PARLIVO_PAGE_SHOTS");
    node.start("node", QStringList{"audit-page.mjs"} + (shots.isEmpty() ? QStringList() : QStringList{"--screenshots", shots})
                           + pages);
    ASSERT_TRUE(node.waitForFinished(300000)) << "the audit did not finish";
    const QString out = QString::fromUtf8(node.readAllStandardOutput()).trimmed();
    EXPECT_EQ(node.exitCode(), 0) << out.toStdString() << "\n" << node.readAllStandardError().toStdString();
    // Before anything is played, the photo's page stays light on a phone's connection.
    const QJsonObject photoPage = QJsonDocument::fromJson(out.section('\n', 0, 0).toUtf8()).object();
    EXPECT_GT(photoPage.value("loadedBytes").toDouble(), 0);
    EXPECT_LE(photoPage.value("loadedBytes").toDouble(), 300 * 1024) << out.toStdString();
    std::cout << out.toStdString() << std::endl;   // the scores, for the record
}
