// The web copy of a video: a converter's progress, failure and cancellation, and the page
// written from what was made.
#include "publish/MessageFiles.h"
#include "publish/WebVideoStep.h"
#include "platform/VideoConverter.h"
#include "fakes/MediaSamples.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

namespace parlivo {
namespace {

class FakeConverter : public VideoConverter
{
public:
    void start(const QString &source, const QString &mp4, const QString &poster) override
    {
        this->source = source;
        this->mp4 = mp4;
        this->poster = poster;
        QFile(mp4).open(QIODevice::WriteOnly);   // begun, as a real one would
    }
    void cancel() override
    {
        QFile::remove(mp4);
        VideoConversionResult r;
        r.cancelled = true;
        emit finished(r);
    }
    void succeed()
    {
        QFile f(mp4);
        f.open(QIODevice::WriteOnly);
        f.write("web copy");
        f.close();
        QFile p(poster);
        p.open(QIODevice::WriteOnly);
        p.write("jpeg");
        p.close();
        VideoConversionResult r;
        r.converted = r.posterWritten = r.originalCleaned = true;
        emit finished(r);
    }
    void fail(const QString &why)
    {
        QFile::remove(mp4);
        VideoConversionResult r;
        r.error = why;
        r.originalCleaned = true;
        emit finished(r);
    }
    QString source, mp4, poster;
};

QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

struct Layout
{
    QTemporaryDir dir;
    PreparedMessage message;
    Layout(const char *format, const char *ext)
    {
        const QString app = QStringLiteral(PARLIVO_SOURCE_DIR "/assets");
        QFile::copy(app + "/HTML/Rabbit.gif", dir.path() + "/Rabbit.gif");
        const QString clip = dir.path() + "/clip" + ext;
        QFile f(clip);
        f.open(QIODevice::WriteOnly);
        f.write(test::sampleVideo(format));
        f.close();
        MessageInputs in;
        in.wants_video = true;
        in.my_video = clip;
        in.what_format = QString::fromLatin1(format);
        PrepareOptions o;
        o.appFolder = app;
        o.outFolder = dir.path() + "/out";
        o.baseName = "PVD82_1_2";
        o.pageBase = "http://pages.test/";
        message = prepareMessage(in, o);
    }
    QString page() const { return QString::fromUtf8(readAll(message.pagePath)); }
};

TEST(WebVideo, AConvertedVideoLeadsThePageAndAnMp4OriginalIsReplacedWhole)
{
    for (const auto &[format, ext] : {std::pair{"MOV", ".mov"}, std::pair{"MP4", ".mp4"}}) {
        SCOPED_TRACE(format);
        Layout l(format, ext);
        ASSERT_TRUE(l.message.ok) << l.message.error.toStdString();
        const QByteArray original = readAll(l.message.videoCopy);
        FakeConverter c;
        WebVideoStep step;
        QList<int> seen;
        WebVideoOutcome outcome;
        bool done = false;
        QObject::connect(&step, &WebVideoStep::progress, [&](int p) { seen << p; });
        QObject::connect(&step, &WebVideoStep::finished, [&](const WebVideoOutcome &o) { outcome = o; done = true; });
        step.start(&c, l.message.videoCopy, l.message.webVideoPath, l.message.posterPath);
        EXPECT_TRUE(step.isRunning());
        EXPECT_EQ(c.source, l.message.videoCopy);
        // An MP4 original is never the converter's output while it is read.
        EXPECT_EQ(c.mp4 == l.message.videoCopy, false);
        emit c.progress(42);
        EXPECT_EQ(seen, QList<int>{42});
        EXPECT_EQ(WebVideoStep::progressText(42), "Preparing the video for the web... 42%");
        if (QString(format) == "MP4")
            EXPECT_EQ(readAll(l.message.videoCopy), original);
        c.succeed();
        ASSERT_TRUE(done);
        EXPECT_TRUE(outcome.mp4 && outcome.poster && !outcome.cancelled);
        EXPECT_EQ(readAll(l.message.webVideoPath), "web copy");
        ASSERT_TRUE(addWebVideo(l.message, outcome, nullptr));
        const QString page = l.page();
        const qsizetype web = page.indexOf("<source src=\"PVD82_1_2.mp4\" type=\"video/mp4\">");
        const qsizetype orig = page.indexOf(QStringLiteral("<source src=\"PVD82_1_2%1\">").arg(ext));
        EXPECT_GE(web, 0);
        EXPECT_GT(orig, web);
        EXPECT_TRUE(page.contains("poster=\"PVD82_1_2.jpg\""));
        EXPECT_TRUE(page.contains(QStringLiteral("<a href=\"PVD82_1_2%1\" download>Download the original video</a>").arg(ext)));
        EXPECT_TRUE(page.contains("og:video\" content=\"http://pages.test/PVD82_1_2.mp4\""));
        EXPECT_TRUE(page.contains("og:image\" content=\"http://pages.test/PVD82_1_2.jpg\""));
        EXPECT_FALSE(page.contains("MY_WEB_VIDEO") || page.contains("MY_POSTER"));
        EXPECT_TRUE(l.message.written.contains(l.message.posterPath));
        EXPECT_FALSE(QDir(l.dir.path() + "/out").entryList(QDir::Files | QDir::Hidden).join(' ').contains("converting"));
    }
}

// An original that could not be rewritten without its metadata stays home: the page plays
// the converted copy alone, and without one nothing of the video can go out.
TEST(WebVideo, AnOriginalThatKeepsItsMetadataNeverGoesOut)
{
    Layout l("AVI", ".avi");
    ASSERT_TRUE(l.message.ok);
    QFile web(l.message.webVideoPath);
    ASSERT_TRUE(web.open(QIODevice::WriteOnly));
    web.close();
    WebVideoOutcome outcome;
    outcome.mp4 = true;
    outcome.originalError = "the file is damaged";
    ASSERT_TRUE(addWebVideo(l.message, outcome, nullptr));
    const QString page = l.page();
    EXPECT_FALSE(page.contains(".avi")) << page.toStdString();
    EXPECT_TRUE(page.contains("<source src=\"PVD82_1_2.mp4\" type=\"video/mp4\">"));
    EXPECT_FALSE(QFile::exists(l.message.videoCopy));
    EXPECT_FALSE(l.message.written.contains(l.message.videoCopy));

    Layout none("AVI", ".avi");
    outcome.mp4 = false;
    QString why;
    EXPECT_FALSE(addWebVideo(none.message, outcome, &why));
    EXPECT_TRUE(why.contains("could not be copied without its hidden details (the file is damaged)")) << why.toStdString();
}

TEST(WebVideo, AFailedOrCancelledConversionLeavesTheOriginalAndNoDeadParts)
{
    for (const bool cancel : {false, true}) {
        SCOPED_TRACE(cancel ? "cancelled" : "failed");
        Layout l("AVI", ".avi");
        ASSERT_TRUE(l.message.ok);
        FakeConverter c;
        WebVideoStep step;
        WebVideoOutcome outcome;
        QObject::connect(&step, &WebVideoStep::finished, [&](const WebVideoOutcome &o) { outcome = o; });
        step.start(&c, l.message.videoCopy, l.message.webVideoPath, l.message.posterPath);
        if (cancel)
            step.cancel();
        else
            c.fail("the file is damaged");
        EXPECT_FALSE(step.isRunning());
        EXPECT_EQ(outcome.cancelled, cancel);
        EXPECT_FALSE(outcome.mp4);
        EXPECT_EQ(outcome.error, cancel ? "" : "the file is damaged");
        EXPECT_FALSE(QFile::exists(l.message.webVideoPath));
        EXPECT_TRUE(QFile::exists(l.message.videoCopy));
        if (cancel)
            continue;   // a cancelled publication goes no further
        ASSERT_TRUE(addWebVideo(l.message, outcome, nullptr));
        const QString page = l.page();
        EXPECT_FALSE(page.contains(".mp4") || page.contains(".jpg") || page.contains("og:video"));
        EXPECT_FALSE(page.contains("MY_WEB_VIDEO") || page.contains("MY_POSTER"));
        EXPECT_TRUE(page.contains("<source src=\"PVD82_1_2.avi\">"));
        EXPECT_TRUE(page.contains("<a href=\"PVD82_1_2.avi\" download>"));
    }
    EXPECT_EQ(WebVideoStep::failureNote("the file is damaged."),
              "The video could not be converted for the web (the file is damaged); the original is published with "
              "its download link.");
    // No converter at all is a failure said at once, not a hang.
    WebVideoStep step;
    WebVideoOutcome outcome;
    QObject::connect(&step, &WebVideoStep::finished, [&](const WebVideoOutcome &o) { outcome = o; });
    step.start(nullptr, "/x.avi", "/x.mp4", "/x.jpg");
    EXPECT_FALSE(step.isRunning());
    EXPECT_FALSE(outcome.error.isEmpty());
}

} // namespace
} // namespace parlivo
