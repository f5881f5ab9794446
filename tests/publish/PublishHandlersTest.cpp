// The publishing road through the main window's handlers, on fake components: the SFTP
// client's notifications are driven by hand, and the page check talks to a tiny local
// web server so both of its outcomes can be seen.
#include "app/dialogs/frmError.h"
#include "message/MessageDraft.h"
#include "platform/VideoConverter.h"
#include "fakes/FakePlatform.h"
#include "fakes/MediaSamples.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <gtest/gtest.h>

using namespace parlivo;
using namespace parlivo::test;

namespace {

// Answers every request with one fixed status and remembers the request lines.
class TinyWebServer : public QObject
{
public:
    int status = 200;
    QStringList requests;

    TinyWebServer()
    {
        m_server.listen(QHostAddress::LocalHost, 0);
        QObject::connect(&m_server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket *s = m_server.nextPendingConnection()) {
                QObject::connect(s, &QTcpSocket::readyRead, s, [this, s] {
                    m_buffer[s] += s->readAll();
                    if (!m_buffer[s].contains("\r\n\r\n"))
                        return;
                    requests << QString::fromLatin1(m_buffer[s].left(m_buffer[s].indexOf("\r\n")));
                    s->write(QByteArray("HTTP/1.1 ") + QByteArray::number(status)
                             + (status == 200 ? " OK" : " Not Found")
                             + "\r\nContent-Length: 0\r\nConnection: close\r\n\r\n");
                    s->disconnectFromHost();
                });
                QObject::connect(s, &QTcpSocket::disconnected, s, &QObject::deleteLater);
            }
        });
    }
    QString base() const { return QStringLiteral("http://127.0.0.1:%1/").arg(m_server.serverPort()); }

private:
    QTcpServer m_server;
    QHash<QTcpSocket *, QByteArray> m_buffer;
};

const char *const ConfigVars[] = {"PARLIVO_SFTP_HOST", "PARLIVO_SFTP_PORT", "PARLIVO_SFTP_USER",
                                  "PARLIVO_SFTP_PASSWORD", "PARLIVO_SFTP_HOSTKEY", "PARLIVO_PAGE_BASE"};

class Publishing : public ::testing::Test
{
protected:
    void SetUp() override
    {
        for (const char *v : ConfigVars)
            m_saved.push_back({v, qgetenv(v), qEnvironmentVariableIsSet(v)});
        qputenv("PARLIVO_SFTP_HOST", "pages.test");
        qputenv("PARLIVO_SFTP_PORT", "2222");
        qputenv("PARLIVO_SFTP_USER", "writer");
        qputenv("PARLIVO_SFTP_PASSWORD", "abc123xyz");
        qputenv("PARLIVO_SFTP_HOSTKEY", "SHA256:AAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAA");
        qputenv("PARLIVO_PAGE_BASE", web.base().toUtf8());
        for (const char *name : {"MSTemp.dll", "MSTemp32.dll", "MSTempWMV.dll", "MSTempMOV.dll", "HTML/Rabbit.gif", "tada.wav",
                                 "help/topics.json"})
            fp.plant(QString::fromLatin1(name), asset(QString::fromLatin1(name)));
        w = fp.makeWindow();
        w->Label6_Click();
    }
    void TearDown() override
    {
        w.reset();
        for (const auto &s : m_saved) {
            if (s.set)
                qputenv(s.name, s.value);
            else
                qunsetenv(s.name);
        }
    }

    static QByteArray asset(const QString &name)
    {
        QFile f(QStringLiteral(PARLIVO_SOURCE_DIR "/assets/") + name);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    QString quillbox() const { return fp.appFolder() + "/Quillbox/"; }
    QStringList quillboxFiles() const { return QDir(quillbox()).entryList(QDir::Files, QDir::Name); }
    FakeSftpClient &sftp() { return *fp.lastSftp; }

    // A draft with every item: recording, picture, text, link, background sound, MOV video.
    void fillDraft()
    {
        const QString rec = w->txtRecFilename->text();
        QDir().mkpath(QFileInfo(rec).absolutePath());
        QFile f(rec);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(test::sampleMp3());
        f.close();
        w->draft.i_recorded = true;
        w->draft.my_recording = rec;
        my_picture = fp.plant("mine/holiday.jpg", test::samplePicture());
        wants_picture = true;
        w->draft.my_text_message = "Tom & <Jerry>";
        w->draft.wants_link = true;
        w->draft.my_link = "example.com/x?a=1&b=2";
        w->draft.my_background_wav = fp.plant("mine/birds.wav", test::sampleWav());
        w->draft.wants_backsound = true;
        w->draft.my_video = fp.plant("mine/clip.mov", test::sampleVideo("MOV"));
        w->draft.wants_video = true;
        w->draft.what_format = "MOV";
    }

    void publishYes()
    {
        fp.messageBox.answers.push_back(true);
        w->Button2_Click();
        // The files are laid out on another thread; the upload starts once they are.
        ASSERT_TRUE(QTest::qWaitFor([this] { return !w->publicationPreparing(); }, 10000));
    }

    // Connected, one transfer state, Done; then waits for the page check to settle.
    void uploadSucceeds()
    {
        Q_EMIT sftp().Connected(0, QString());
        sftp().changeState("Sending PVD82 (50%)");
        Q_EMIT sftp().Done(0, QString());
        ASSERT_TRUE(QTest::qWaitFor([this] { return w->draft.im_done; }, 7000));
    }

    struct Saved { const char *name; QByteArray value; bool set; };
    std::vector<Saved> m_saved;
    TinyWebServer web;
    FakePlatform fp;
    std::unique_ptr<frmMAIN> w;
};

} // namespace

TEST_F(Publishing, AnsweringNoChangesNothing)
{
    fillDraft();
    const QString statusBefore = w->status();
    w->Button2_Click();   // the fake answers No
    ASSERT_EQ(fp.messageBox.shown.size(), 1u);
    const auto &q = fp.messageBox.shown[0];
    EXPECT_TRUE(q.yesNo);
    EXPECT_EQ(q.title, "Are you ready?");
    EXPECT_EQ(q.icon, MessageBox::Icon::Question);
    EXPECT_EQ(q.text, "YOU MUST:\r\n1) be connected to the INTERNET\r\n2) have either completed recording an audio "
                      "message, added a picture or text message: any or all.\r\n\r\nClick YES if ready - NO to cancel  ");
    EXPECT_EQ(w->status(), statusBefore);
    EXPECT_EQ(w->cursor().shape(), Qt::ArrowCursor);
    EXPECT_TRUE(quillboxFiles().isEmpty());
    EXPECT_TRUE(sftp().calls.isEmpty());
    EXPECT_TRUE(fp.lastCharacterHost->merlin.requests.isEmpty());
    EXPECT_TRUE(w->draft.my_page.isEmpty());
}

TEST_F(Publishing, ASuccessfulPublicationEndsReadyForTheLinkStep)
{
    fillDraft();
    w->move(100, 50);
    const QString recordingBefore = w->txtRecFilename->text();
    publishYes();

    // The character warns the user, starting at (4100, 4850) twips from the window.
    EXPECT_EQ(fp.lastCharacterHost->merlin.requests,
              (QStringList{"StopAll", "Show", "MoveTo 373,373",
                           "Speak please don't be clicking around on any of these buttons until the files have been uploaded!.",
                           "Play gesturedown", "Speak You will be notified via the status text below.", "Hide"}));
    EXPECT_EQ(w->cursor().shape(), Qt::WaitCursor);
    EXPECT_EQ(w->status(), "Connecting to server...");

    // One base name for every file; the picture is named for what it is (a PNG), the
    // background sound has a light copy beside it.
    const QString base = w->draft.my_page.chopped(4);
    EXPECT_TRUE(QRegularExpression("^PVD82_1234567890_\\d\\d_\\d\\d_\\d\\d_[a-z2-7]{16}$").match(base).hasMatch()) << base.toStdString();
    EXPECT_EQ(w->draft.my_page, base + ".htm");
    EXPECT_EQ(quillboxFiles(), (QStringList{base + ".background.mp3", base + ".htm", base + ".mov", base + ".mp3",
                                            base + ".png", base + ".wav"}));
    QFile pic(quillbox() + base + ".png");
    ASSERT_TRUE(pic.open(QIODevice::ReadOnly));
    EXPECT_EQ(pic.readAll(), test::samplePicture());
    EXPECT_EQ(my_picture, base + ".png");

    QFile page(quillbox() + base + ".htm");
    ASSERT_TRUE(page.open(QIODevice::ReadOnly));
    const QString html = QString::fromUtf8(page.readAll());
    EXPECT_TRUE(html.contains("My Text Message: Tom &amp; &lt;Jerry&gt;"));
    EXPECT_TRUE(html.contains("href=\"http://example.com/x?a=1&amp;b=2\""));
    EXPECT_TRUE(html.contains("src=\"" + base + ".mp3\""));
    EXPECT_TRUE(html.contains("src=\"" + base + ".wav\""));
    EXPECT_TRUE(html.contains("src=\"" + base + ".mov\""));
    EXPECT_TRUE(html.contains("content=\"" + web.base() + base + ".png\""));
    EXPECT_TRUE(html.contains("<source src=\"" + base + ".background.mp3\" type=\"audio/mpeg\">"));

    // The client is set up in order and asked to connect; the folder goes up once connected.
    EXPECT_EQ(sftp().calls, (QStringList{"setHostname pages.test", "setLogin writer", "setPassword", "connect"}));
    EXPECT_EQ(sftp().port, 2222);
    EXPECT_EQ(sftp().password, "abc123xyz");
    EXPECT_FALSE(sftp().fingerprint.isEmpty());
    Q_EMIT sftp().Connected(0, QString());
    EXPECT_EQ(sftp().calls.last(), "putFolder " + quillbox() + " /httpdocs/ 0");

    sftp().changeState("Sending " + base + ".mov (40%)");
    EXPECT_EQ(w->status(), "Sending " + base + ".mov (40%)...");
    EXPECT_FALSE(w->draft.im_done);

    Q_EMIT sftp().Done(0, QString());
    ASSERT_TRUE(QTest::qWaitFor([this] { return w->draft.im_done; }, 7000));
    EXPECT_EQ(web.requests, QStringList{"HEAD /" + base + ".htm HTTP/1.1"});
    EXPECT_EQ(sftp().calls.last(), "disconnect");
    EXPECT_EQ(w->cursor().shape(), Qt::ArrowCursor);

    // The draft starts over; the page name and the format stay.
    EXPECT_FALSE(w->draft.i_recorded);
    EXPECT_FALSE(wants_picture);
    EXPECT_TRUE(my_picture.isEmpty());
    EXPECT_TRUE(w->draft.my_text_message.isEmpty());
    EXPECT_FALSE(w->draft.wants_link);
    EXPECT_FALSE(w->draft.wants_backsound);
    EXPECT_FALSE(w->draft.wants_video);
    EXPECT_TRUE(w->draft.my_video.isEmpty());
    EXPECT_EQ(w->draft.what_format, "MOV");
    EXPECT_EQ(w->draft.my_page, base + ".htm");
    EXPECT_TRUE(w->txtRecFilename->text().startsWith(fp.appFolder() + "/Temp/1234567890_"));
    Q_UNUSED(recordingBefore);

    sftp().changeState("Disconnected from server");
    EXPECT_EQ(w->status(), "Please proceed to next step...");
    EXPECT_EQ(quillboxFiles().size(), 6);   // emptied only by the link step
}

TEST_F(Publishing, AfterCompletionANewPublicationLeavesOutWhatTheDraftNoLongerHas)
{
    publishYes();
    uploadSucceeds();
    sftp().changeState("Disconnected from server");
    publishYes();
    QFile page(quillbox() + w->draft.my_page);
    ASSERT_TRUE(page.open(QIODevice::ReadOnly));
    const QByteArray html = page.readAll();
    for (const char *gone : {"intro.mp3", "my_wave.wav", "https://parlivo.example.org/", "id=\"voice\"", "id=\"bg\""})
        EXPECT_FALSE(html.contains(gone)) << gone;
}

TEST_F(Publishing, UploadFailuresAreReportedAndKeepTheDraft)
{
    struct Case { const char *name; bool atConnect; int code; const char *text; const char *says; };
    const Case cases[] = {
        {"wrong password", true, 18, "Authentication failed", "could not connect to the publishing server: Authentication failed."},
        {"nothing listening", true, 7, "Connection refused", "could not connect to the publishing server: Connection refused."},
        {"disk full", false, 4, "No space left on the server.", "the files could not be uploaded: No space left on the server."},
        {"silent failure", false, 1, "", "the files could not be uploaded."},
    };
    int attempts = 0;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        fillDraft();
        const QString picture = my_picture;
        const QString pageBefore = w->draft.my_page;
        const int connectsBefore = int(sftp().calls.count("connect"));
        publishYes();
        ++attempts;
        EXPECT_EQ(sftp().calls.count("connect"), connectsBefore + 1);   // publishing again works
        if (c.atConnect) {
            Q_EMIT sftp().Connected(c.code, QString::fromLatin1(c.text));
        } else {
            Q_EMIT sftp().Connected(0, QString());
            Q_EMIT sftp().Done(c.code, QString::fromLatin1(c.text));
        }
        EXPECT_TRUE(w->status().startsWith("Publishing failed: ")) << w->status().toStdString();
        EXPECT_TRUE(w->status().contains(QString::fromLatin1(c.says))) << w->status().toStdString();
        EXPECT_EQ(w->cursor().shape(), Qt::ArrowCursor);
        EXPECT_FALSE(w->draft.im_done);
        EXPECT_EQ(sftp().calls.last(), "disconnect");
        // The draft is as it was, so the same message can go again.
        EXPECT_TRUE(w->draft.i_recorded);
        EXPECT_TRUE(wants_picture);
        EXPECT_EQ(my_picture, picture);
        EXPECT_EQ(w->draft.my_text_message, "Tom & <Jerry>");
        EXPECT_TRUE(w->draft.wants_video);
        EXPECT_EQ(w->draft.my_page, pageBefore);
        // The client closing down afterwards does not cover the reason.
        const QString reason = w->status();
        sftp().changeState("Disconnected from server");
        EXPECT_EQ(w->status(), reason);
        EXPECT_FALSE(quillboxFiles().isEmpty());
    }
    EXPECT_EQ(attempts, 4);
    EXPECT_TRUE(web.requests.isEmpty());
}

TEST_F(Publishing, AFileThatCannotBeCopiedOrIsNotWhatItSaysStopsBeforeAnythingIsUploaded)
{
    const auto overwrite = [](const QString &path, const QByteArray &data) {
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(data);
        return path;
    };
    struct Case { const char *name; std::function<QString()> spoil; };
    const Case cases[] = {
        {"text as the recording", [&] { return overwrite(w->txtRecFilename->text(), "Meet at 10 - Anna"); }},
        {"a sound as the picture", [&] { return overwrite(my_picture, test::sampleMp3()); }},
        {"a program as the video", [&] { return overwrite(w->draft.my_video, "MZ\x90" + QByteArray(5000, '\0')); }},
        {"recording", [this] { QFile::remove(w->txtRecFilename->text()); return w->txtRecFilename->text(); }},
        {"picture", [] { QFile::remove(my_picture); return my_picture; }},
        {"background sound", [this] { QFile::remove(w->draft.my_background_wav); return w->draft.my_background_wav; }},
        {"video", [this] { QFile::remove(w->draft.my_video); return w->draft.my_video; }},
        {"template", [this]() -> QString { QFile::remove(fp.appFolder() + "/MSTempMOV.dll"); return fp.appFolder() + "/MSTempMOV.dll"; }},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        fillDraft();
        fp.plant("MSTempMOV.dll", asset("MSTempMOV.dll"));
        const QString missing = c.spoil();
        const QString picture = my_picture;
        fp.messageBox.shown.clear();
        publishYes();
        ASSERT_EQ(fp.messageBox.shown.size(), 2u);
        const auto &box = fp.messageBox.shown[1];
        EXPECT_FALSE(box.yesNo);
        EXPECT_TRUE(box.text.contains(missing)) << box.text.toStdString();
        EXPECT_TRUE(w->status().startsWith("Publishing stopped: ")) << w->status().toStdString();
        EXPECT_TRUE(sftp().calls.isEmpty());
        EXPECT_TRUE(quillboxFiles().isEmpty()) << quillboxFiles().join(' ').toStdString();
        EXPECT_EQ(w->cursor().shape(), Qt::ArrowCursor);
        EXPECT_TRUE(w->draft.my_page.isEmpty());
        EXPECT_EQ(my_picture, picture);
        EXPECT_TRUE(w->draft.i_recorded);
    }
}

TEST_F(Publishing, ASecondPublicationWhileOneRunsIsRefused)
{
    publishYes();
    ASSERT_EQ(sftp().calls.count("connect"), 1);
    fp.messageBox.answers.push_back(true);
    w->Button2_Click();
    ASSERT_EQ(fp.messageBox.shown.size(), 2u);
    EXPECT_FALSE(fp.messageBox.shown[1].yesNo);
    EXPECT_TRUE(fp.messageBox.shown[1].text.contains("still being published"));
    EXPECT_EQ(sftp().calls.count("connect"), 1);

    // Once the upload is done, the next one may start.
    uploadSucceeds();
    fp.messageBox.answers.clear();
    publishYes();
    EXPECT_EQ(sftp().calls.count("connect"), 2);
}

TEST_F(Publishing, ABrokenHostKeyOrUnknownVideoFormatEndsTheHourglass)
{
    qputenv("PARLIVO_SFTP_HOSTKEY", "SHA256:broken");
    publishYes();
    EXPECT_TRUE(w->status().contains("host key")) << w->status().toStdString();
    EXPECT_FALSE(sftp().calls.contains("connect"));
    EXPECT_EQ(w->cursor().shape(), Qt::ArrowCursor);

    w->draft.wants_video = true;
    w->draft.what_format = "RAM";
    w->draft.my_video = fp.plant("mine/a.ram", "x");
    publishYes();
    EXPECT_EQ(w->cursor().shape(), Qt::ArrowCursor);
    EXPECT_TRUE(w->status().contains("RAM"));
}

TEST_F(Publishing, APageThatDoesNotAnswerIsMentionedButTheLinkIsOffered)
{
    web.status = 404;
    publishYes();
    uploadSucceeds();
    sftp().changeState("Disconnected from server");
    EXPECT_TRUE(w->status().startsWith("Please proceed to next step... Note: your page did not answer at "))
        << w->status().toStdString();
    EXPECT_TRUE(w->status().contains("404"));
    EXPECT_TRUE(w->draft.im_done);

    // The note is said once: the watcher alone gives the plain text.
    w->setStatus("Disconnected from server...");
    EXPECT_EQ(w->status(), "Please proceed to next step...");
}

TEST_F(Publishing, CopyLinkDeliversOncePerUpload)
{
    // Before any upload: the red notice, nothing else.
    w->setStatus("unchanged");
    w->Button3_Click();
    ASSERT_TRUE(w->errorNotice);
    frmError *notice = w->errorNotice;
    EXPECT_TRUE(notice->isVisible());
    EXPECT_TRUE(notice->windowFlags() & Qt::FramelessWindowHint);
    EXPECT_EQ(notice->palette().color(QPalette::Window), QColor(200, 0, 0));
    EXPECT_EQ(notice->Label1->text(), "ERROR: Action cancelled!" + QString(99, ' ')
                                          + "You have either all ready copied link into the clipboard or have not "
                                            "completed Step #4 (upload files) before proceding to this step.");
    EXPECT_EQ(notice->Button1->text(), "OK");
    EXPECT_EQ(fp.clipboard.sets, 0);
    EXPECT_EQ(w->status(), "unchanged");
    QPointer<frmError> guard(notice);
    notice->Button1->click();
    QTRY_VERIFY_WITH_TIMEOUT(guard.isNull(), 2000);

    fillDraft();
    publishYes();
    uploadSucceeds();
    sftp().changeState("Disconnected from server");
    const QString page = w->draft.my_page;
    fp.plant("Temp/leftover.mp3");
    w->Button3_Click();
    const QString indent(11, ' ');
    EXPECT_EQ(fp.clipboard.text, indent + "You have a 'Parlivo' message waiting for you!\r\n" + indent
                                     + "Click the below link to navigate to your personal Web Message.\r\n" + indent
                                     + web.base() + page);
    EXPECT_EQ(fp.clipboard.text.count("\r\n"), 2);
    EXPECT_EQ(fp.clipboard.clears, 1);
    EXPECT_EQ(w->status(), "Finished - paste the message into your email !");
    EXPECT_FALSE(w->draft.im_done);
    EXPECT_TRUE(quillboxFiles().isEmpty());
    EXPECT_TRUE(QDir(fp.appFolder() + "/Temp").entryList(QDir::Files).isEmpty());
    const QStringList played = fp.lastPlayer->calls.mid(fp.lastPlayer->calls.lastIndexOf("setFileName " + fp.appFolder() + "/tada.wav"));
    EXPECT_EQ(played, (QStringList{"setFileName " + fp.appFolder() + "/tada.wav", "prepare", "play"}));

    // A second copy: the notice again, the clipboard as it was.
    const QString copied = fp.clipboard.text;
    w->Button3_Click();
    ASSERT_TRUE(w->errorNotice);
    EXPECT_TRUE(w->errorNotice->isVisible());
    EXPECT_EQ(fp.clipboard.text, copied);
    EXPECT_EQ(fp.clipboard.sets, 1);
    EXPECT_EQ(w->status(), "Finished - paste the message into your email !");
    w->errorNotice->close();
}

TEST_F(Publishing, ViewOpensTheLastPageOrExplains)
{
    w->setStatus("something");
    w->Button11_Click();
    ASSERT_EQ(fp.messageBox.shown.size(), 1u);
    EXPECT_EQ(fp.messageBox.shown[0].text, "USER ERROR: You must have created a page before viewing!");
    EXPECT_FALSE(fp.messageBox.shown[0].yesNo);
    EXPECT_TRUE(fp.shell.opened.isEmpty());
    EXPECT_EQ(w->status(), "");

    // Before the upload has even finished, and again after the link was copied.
    publishYes();
    const QString address = web.base() + w->draft.my_page;
    fp.plant("Quillbox/extra.txt");
    w->Button11_Click();
    EXPECT_EQ(fp.shell.opened, QStringList{address});
    EXPECT_TRUE(quillboxFiles().isEmpty());
    uploadSucceeds();
    w->Button3_Click();
    w->Button11_Click();
    EXPECT_EQ(fp.shell.opened, (QStringList{address, address}));
}

TEST_F(Publishing, TheStatusWatcherAndStateNames)
{
    w->setStatus("Disconnected from server...");
    EXPECT_EQ(w->status(), "Please proceed to next step...");
    w->setStatus("Disconnected from server");
    EXPECT_EQ(w->status(), "Disconnected from server");

    publishYes();
    sftp().changeState("Authenticating");
    EXPECT_EQ(w->status(), "Authenticating...");
    Q_EMIT sftp().Connected(0, QString());
    sftp().changeState("Disconnected from server");
    EXPECT_EQ(w->status(), "Please proceed to next step...");
}

TEST_F(Publishing, ANewPublicationWaitsForTheLastSessionToClose)
{
    publishYes();
    Q_EMIT sftp().Connected(0, QString());
    Q_EMIT sftp().Done(3, "Permission denied");
    ASSERT_TRUE(w->status().startsWith("Publishing failed"));

    // The client is still hanging up when the user tries again.
    sftp().busy = true;
    sftp().calls.clear();
    publishYes();
    EXPECT_FALSE(sftp().calls.contains("connect"));
    sftp().changeState("Disconnected from server");
    EXPECT_EQ(w->status(), "Connecting to server...");
    ASSERT_TRUE(QTest::qWaitFor([this] { return sftp().calls.contains("connect"); }, 2000));
    Q_EMIT sftp().Connected(0, QString());
    EXPECT_TRUE(sftp().calls.last().startsWith("putFolder "));
}

TEST_F(Publishing, ClosingTheWindowDuringAnUploadCancelsIt)
{
    publishYes();
    Q_EMIT sftp().Connected(0, QString());
    ASSERT_TRUE(sftp().calls.last().startsWith("putFolder "));
    w->close();
    EXPECT_TRUE(sftp().calls.contains("cancel"));
    // Nothing the closing client reports afterwards brings the publication back to life.
    Q_EMIT sftp().Done(0, QString());
    QTest::qWait(100);
    EXPECT_FALSE(w->draft.im_done);
    EXPECT_TRUE(web.requests.isEmpty());
}

namespace {

class StepConverter : public VideoConverter
{
public:
    void start(const QString &, const QString &mp4, const QString &) override { calls << "start " + mp4; }
    void cancel() override
    {
        calls << "cancel";
        VideoConversionResult r;
        r.cancelled = true;
        emit finished(r);
    }
    QStringList calls;
};

} // namespace

TEST_F(Publishing, TheVideoIsPreparedForTheWebBeforeTheUploadAndAFailureOnlyCostsTheCopy)
{
    StepConverter *converter = nullptr;
    fp.platform().createVideoConverter = [&converter] {
        auto c = std::make_unique<StepConverter>();
        converter = c.get();
        return std::unique_ptr<VideoConverter>(std::move(c));
    };
    for (const bool closeWindow : {false, true}) {
        SCOPED_TRACE(closeWindow ? "closed" : "failed");
        fillDraft();
        sftp().calls.clear();
        publishYes();
        ASSERT_NE(converter, nullptr);
        EXPECT_EQ(w->status(), "Preparing the video for the web... 0%");
        EXPECT_EQ(w->cursor().shape(), Qt::WaitCursor);
        EXPECT_FALSE(sftp().calls.contains("connect"));
        Q_EMIT converter->progress(42);
        EXPECT_EQ(w->status(), "Preparing the video for the web... 42%");
        if (closeWindow) {
            w->close();
            EXPECT_TRUE(converter->calls.contains("cancel"));
            EXPECT_FALSE(sftp().calls.contains("connect"));
            break;
        }
        VideoConversionResult failed;
        failed.error = "the file is damaged";
        failed.originalCleaned = true;
        Q_EMIT converter->finished(failed);
        EXPECT_TRUE(w->status().startsWith("The video could not be converted for the web (the file is damaged)"));
        ASSERT_TRUE(sftp().calls.contains("connect"));
        EXPECT_TRUE(quillboxFiles().filter(".mov").size() == 1);
        EXPECT_TRUE(quillboxFiles().filter(".mp4").isEmpty());
        uploadSucceeds();
        sftp().changeState("Disconnected from server");
        EXPECT_TRUE(w->status().startsWith("Please proceed to next step... The video could not be converted"));
        Q_EMIT converter->progress(50);   // a late report changes nothing
        EXPECT_TRUE(w->status().startsWith("Please proceed"));
        converter = nullptr;
    }
}
