// The video converter on real clips made here with the ffmpeg tool: every format the
// window offers, the awkward shapes, files it cannot read, the remux path and cancelling.
#include "fakes/VideoClips.h"
#include "platform/Factories.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace parlivo {
namespace {

using test::haveFfmpegTools;

void makeClip(const QString &path, const QStringList &codec, int w, int h, double seconds, bool sound = true)
{
    const QString why = test::makeClip(path, codec, w, h, seconds, sound);
    ASSERT_TRUE(why.isEmpty()) << why.toStdString();
}


struct Probe
{
    QString videoCodec, pixFmt, audioCodec, format;
    int width = 0, height = 0;
    bool moovFirst = false;
};

Probe probe(const QString &path)
{
    Probe r;
    QProcess p;
    p.start("ffprobe", {"-v", "error", "-print_format", "json", "-show_streams", "-show_format", path});
    p.waitForFinished(30000);
    const QJsonObject root = QJsonDocument::fromJson(p.readAllStandardOutput()).object();
    for (const QJsonValue &s : root["streams"].toArray()) {
        const QJsonObject o = s.toObject();
        if (o["codec_type"] == "video") {
            r.videoCodec = o["codec_name"].toString();
            r.pixFmt = o["pix_fmt"].toString();
            r.width = o["width"].toInt();
            r.height = o["height"].toInt();
        } else if (o["codec_type"] == "audio") {
            r.audioCodec = o["codec_name"].toString();
        }
    }
    r.format = root["format"].toObject()["format_name"].toString();
    QFile f(path);
    if (f.open(QIODevice::ReadOnly)) {
        const QByteArray data = f.readAll();
        const qsizetype moov = data.indexOf("moov"), mdat = data.indexOf("mdat");
        r.moovFirst = moov > 0 && mdat > 0 && moov < mdat;
    }
    return r;
}

bool isJpeg(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) && f.read(3) == QByteArray("\xFF\xD8\xFF", 3);
}

// Nothing but the sources and the finished outputs: no temporary files left.
void expectNoPartialFiles(const QTemporaryDir &dir)
{
    for (const QString &name : QDir(dir.path()).entryList(QDir::Files | QDir::Hidden))
        EXPECT_FALSE(name.endsWith(".part")) << name.toStdString();
}

struct Conversion
{
    bool done = false;
    VideoConversionResult result;
    QList<int> percents;
};

Conversion convert(VideoConverter &c, const QString &src, const QString &mp4, const QString &jpg, int ms = 60000)
{
    Conversion run;
    auto a = QObject::connect(&c, &VideoConverter::finished, [&](const VideoConversionResult &r) {
        run.result = r;
        run.done = true;
    });
    auto b = QObject::connect(&c, &VideoConverter::progress, [&](int p) { run.percents << p; });
    c.start(src, mp4, jpg);
    QElapsedTimer clock;
    clock.start();
    while (!run.done && clock.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    QObject::disconnect(a);
    QObject::disconnect(b);
    return run;
}

TEST(VideoConverter, EveryOfferedFormatAndShapeBecomesAWebMp4WithPoster)
{
    if (!haveFfmpegTools())
        GTEST_SKIP() << "ffmpeg tools missing";
    QTemporaryDir dir;
    struct Case
    {
        const char *name;
        QStringList codec;
        int w, h;
        bool sound;
        int outW, outH;
    };
    const QList<Case> cases{
        {"clip.avi", test::typicalCodecs("avi"), 320, 240, true, 320, 240},
        {"clip.flv", test::typicalCodecs("flv"), 320, 240, true, 320, 240},
        {"clip.mov", test::typicalCodecs("mov"), 320, 240, true, 320, 240},
        {"clip.mpg", test::typicalCodecs("mpg"), 320, 240, true, 320, 240},
        {"clip.mpeg", test::typicalCodecs("mpeg"), 320, 240, true, 320, 240},
        {"clip.swf", test::typicalCodecs("swf"), 320, 240, true, 320, 240},
        {"clip.wmv", test::typicalCodecs("wmv"), 320, 240, true, 320, 240},
        {"silent.avi", {"-c:v", "mpeg4"}, 320, 240, false, 320, 240},
        {"portrait.mov", {"-c:v", "mpeg4"}, 242, 431, true, 242, 432},
        {"wide.avi", {"-c:v", "mpeg4", "-q:v", "10"}, 1920, 1080, true, 1280, 720},
    };
    auto converter = makeVideoConverter();
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const QString src = dir.filePath(c.name);
        makeClip(src, c.codec, c.w, c.h, 1.5, c.sound);
        const QString mp4 = dir.filePath(QString(c.name) + ".mp4"), jpg = dir.filePath(QString(c.name) + ".jpg");
        const Conversion run = convert(*converter, src, mp4, jpg);
        ASSERT_TRUE(run.done);
        EXPECT_TRUE(run.result.converted) << run.result.error.toStdString();
        EXPECT_TRUE(run.result.posterWritten);
        const Probe p = probe(mp4);
        EXPECT_EQ(p.videoCodec, "h264");
        EXPECT_EQ(p.pixFmt, "yuv420p");
        EXPECT_EQ(p.audioCodec, c.sound ? "aac" : "");
        EXPECT_EQ(p.width, c.outW);
        EXPECT_EQ(p.height, c.outH);
        EXPECT_TRUE(p.moovFirst);
        EXPECT_TRUE(isJpeg(jpg));
        EXPECT_EQ(probe(jpg).width, c.outW);
    }
    expectNoPartialFiles(dir);
}

TEST(VideoConverter, WebReadyMp4IsRemuxedAndUnreadableFilesSayWhy)
{
    if (!haveFfmpegTools())
        GTEST_SKIP() << "ffmpeg tools missing";
    QTemporaryDir dir;
    auto converter = makeVideoConverter();

    // Already H.264 + AAC but with the index at the end: copied, not re-encoded.
    const QString ready = dir.filePath("phone.mp4");
    makeClip(ready, {"-c:v", "libx264", "-pix_fmt", "yuv420p", "-preset", "ultrafast", "-c:a", "aac"}, 320, 240, 1.5);
    ASSERT_FALSE(probe(ready).moovFirst);
    const QString out = dir.filePath("out.mp4");
    Conversion run = convert(*converter, ready, out, dir.filePath("out.jpg"));
    ASSERT_TRUE(run.done);
    EXPECT_TRUE(run.result.converted) << run.result.error.toStdString();
    const Probe p = probe(out);
    EXPECT_EQ(p.videoCodec, "h264");
    EXPECT_EQ(p.audioCodec, "aac");
    EXPECT_TRUE(p.moovFirst);
    EXPECT_TRUE(isJpeg(dir.filePath("out.jpg")));
    // A re-encode at other settings would change the size well beyond the container's share.
    EXPECT_EQ(QFile(out).size() / 1000, QFile(ready).size() / 1000) << "the streams were re-encoded";

    // A damaged file and a Flash file holding only vector drawings.
    const QString damaged = dir.filePath("damaged.avi");
    {
        QFile f(damaged);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(QByteArray("RIFF\x10\0\0\0AVI LIST", 16) + QByteArray(5000, '\x5a'));
    }
    const QString vector = dir.filePath("vector.swf");
    {
        QFile f(vector);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        // Header, empty frame rectangle, 12 fps, 1 frame; a background colour, ShowFrame, End.
        f.write(QByteArray("FWS\x06\x16\0\0\0" "\x00" "\x00\x0c" "\x01\x00" "\x43\x02\xff\xff\xff" "\x40\x00" "\x00\x00", 22));
    }
    for (const QString &bad : {damaged, vector}) {
        SCOPED_TRACE(bad.toStdString());
        const QString mp4 = bad + ".mp4", jpg = bad + ".jpg";
        run = convert(*converter, bad, mp4, jpg);
        ASSERT_TRUE(run.done);
        EXPECT_FALSE(run.result.converted);
        EXPECT_FALSE(run.result.cancelled);
        EXPECT_FALSE(run.result.error.isEmpty());
        EXPECT_FALSE(QFile::exists(mp4));
        EXPECT_FALSE(QFile::exists(jpg));
    }
    expectNoPartialFiles(dir);
}

TEST(VideoConverter, ProgressCountsUpWhenTheFileDoesNotSayHowLongItIs)
{
    if (!haveFfmpegTools())
        GTEST_SKIP() << "ffmpeg tools missing";
    QTemporaryDir dir;
    auto converter = makeVideoConverter();
    // Written to a pipe, an AVI keeps the length of its unfinished header (half an hour)
    // and a Matroska file has none.
    for (const char *format : {"avi", "matroska"}) {
        SCOPED_TRACE(format);
        const QString src = dir.filePath(QString("piped.") + format);
        QProcess ffmpeg;
        ffmpeg.setStandardOutputFile(src);
        ffmpeg.start("ffmpeg", {"-v", "error", "-f", "lavfi", "-i", "testsrc=size=640x480:rate=25:duration=15",
                                "-c:v", "mpeg4", "-f", format, "pipe:1"});
        ASSERT_TRUE(ffmpeg.waitForFinished(60000));
        ASSERT_EQ(ffmpeg.exitCode(), 0);
        const Conversion run = convert(*converter, src, src + ".mp4", src + ".jpg");
        ASSERT_TRUE(run.done);
        EXPECT_TRUE(run.result.converted) << run.result.error.toStdString();
        const std::vector<int> percents(run.percents.begin(), run.percents.end());
        EXPECT_THAT(percents, testing::Contains(testing::AllOf(testing::Ge(10), testing::Lt(100))));
        EXPECT_TRUE(std::is_sorted(percents.begin(), percents.end()));
        EXPECT_EQ(run.percents.value(run.percents.size() - 1), 100);
    }
}

TEST(VideoConverter, CancellingOrDestroyingStopsPromptlyAndLeavesNothing)
{
    if (!haveFfmpegTools())
        GTEST_SKIP() << "ffmpeg tools missing";
    QTemporaryDir dir;
    const QString src = dir.filePath("long.avi");
    makeClip(src, {"-c:v", "mpeg4", "-q:v", "5", "-c:a", "mp3"}, 1280, 720, 20);
    const QString mp4 = dir.filePath("long.mp4"), jpg = dir.filePath("long.jpg");

    auto converter = makeVideoConverter();
    Conversion run;
    QObject::connect(converter.get(), &VideoConverter::finished, [&](const VideoConversionResult &r) {
        run.result = r;
        run.done = true;
    });
    QObject::connect(converter.get(), &VideoConverter::progress, [&](int p) { run.percents << p; });
    QElapsedTimer clock;
    clock.start();
    converter->start(src, mp4, jpg);
    EXPECT_LT(clock.elapsed(), 200) << "start blocked the caller";
    while (run.percents.isEmpty() && clock.elapsed() < 20000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    ASSERT_FALSE(run.percents.isEmpty());
    converter->cancel();
    clock.restart();
    while (!run.done && clock.elapsed() < 5000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    ASSERT_TRUE(run.done);
    EXPECT_LT(clock.elapsed(), 1500);
    EXPECT_TRUE(run.result.cancelled);
    EXPECT_FALSE(run.result.converted);

    // Destroyed while converting: the destructor stops the worker.
    converter->start(src, mp4, jpg);
    QTest::qWait(500);
    clock.restart();
    converter.reset();
    EXPECT_LT(clock.elapsed(), 1500);
    for (const QString &name : QDir(dir.path()).entryList(QDir::Files | QDir::Hidden))
        EXPECT_TRUE(name == "long.avi") << name.toStdString();
}

} // namespace
} // namespace parlivo
