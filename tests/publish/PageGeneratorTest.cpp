#include "publish/PageGenerator.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace parlivo;

namespace {

QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeFile(const QString &path, const QByteArray &content)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(content);
}

QString assetPath(const QString &name)
{
    return QStringLiteral(PARLIVO_SOURCE_DIR "/assets/") + name;
}

PageValues fullValues()
{
    PageValues v;
    v.hasBackgroundSound = true;
    v.backgroundSoundName = "PVD82_1_14_05_09.wav";
    v.hasLink = true;
    v.link = "https://example.com/a?b=1&c=2";
    v.pictureName = "PVD82_1_14_05_09.gif";
    v.hasAudio = true;
    v.audioName = "PVD82_1_14_05_09.mp3";
    v.textMessage = "Hello";
    v.hasVideo = true;
    v.videoName = "PVD82_1_14_05_09.mov";
    v.pageBase = "http://pages.example/";
    return v;
}

} // namespace

TEST(PageVariants, EveryFormatHasItsTemplateExtensionAndOrder)
{
    struct Row { bool video; const char *tag, *file, *ext; ReplacementOrder order; };
    const Row rows[] = {
        {false, "", "MSTemp.dll", "", ReplacementOrder::A},
        {false, "MOV", "MSTemp.dll", "", ReplacementOrder::A},   // the tag means nothing without video
        {true, "SWF", "MSTemp32.dll", ".swf", ReplacementOrder::A},
        {true, "WMV", "MSTempWMV.dll", ".wmv", ReplacementOrder::A},
        {true, "AVI", "MSTempWMV.dll", ".avi", ReplacementOrder::B},
        {true, "FLV", "MSTemp32.dll", ".flv", ReplacementOrder::B},
        {true, "MOV", "MSTempMOV.dll", ".mov", ReplacementOrder::B},
        {true, "MPG", "MSTempWMV.dll", ".mpg", ReplacementOrder::B},
        {true, "MPEG", "MSTempWMV.dll", ".mpeg", ReplacementOrder::B},
        {true, "MP4", "MSTempMOV.dll", ".mp4", ReplacementOrder::B},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(r.tag);
        const PageVariant v = variantFor(r.video, QString::fromLatin1(r.tag));
        EXPECT_TRUE(v.valid);
        EXPECT_EQ(v.templateFile, QString::fromLatin1(r.file));
        EXPECT_EQ(v.videoExtension, QString::fromLatin1(r.ext));
        EXPECT_EQ(v.order, r.order);
    }
    // Tags compare exactly; the disabled RAM entry has no variant at all.
    EXPECT_FALSE(variantFor(true, "mov").valid);
    EXPECT_FALSE(variantFor(true, "RAM").valid);
    EXPECT_FALSE(variantFor(true, "").valid);

    EXPECT_EQ(formatTagForFile("/x/clip.MoV"), "MOV");
    EXPECT_EQ(formatTagForFile("clip.mpeg"), "MPEG");
    EXPECT_EQ(formatTagForFile("clip.mp4"), "MP4");
    EXPECT_EQ(formatTagForFile("clip.webm"), "");
    EXPECT_EQ(formatTagForFile("clip"), "");
}

TEST(PageReplacement, OrdersAAndBDifferOnlyInPictureAndLink)
{
    const auto names = [](const QVector<Replacement> &reps) {
        QStringList out;
        for (const auto &r : reps)
            out << r.placeholder;
        return out;
    };
    const PageValues v = fullValues();
    EXPECT_EQ(names(replacementsFor(v, ReplacementOrder::A)).mid(0, 7),
              (QStringList{"MY_PAGE_BASE/", "my_wave.wav", "https://parlivo.example.org/", "MY_IMAGE.gif", "intro.mp3",
                           "MYTEXTMESSAGE", "MY_VIDEO.swf"}));
    EXPECT_EQ(names(replacementsFor(v, ReplacementOrder::B)).mid(0, 7),
              (QStringList{"MY_PAGE_BASE/", "my_wave.wav", "MY_IMAGE.gif", "https://parlivo.example.org/", "intro.mp3",
                           "MYTEXTMESSAGE", "MY_VIDEO.swf"}));

    // The order decides when two placeholders overlap in the template's text.
    const QVector<Replacement> ab{{"ab", "1"}, {"bc", "2"}};
    const QVector<Replacement> ba{{"bc", "2"}, {"ab", "1"}};
    EXPECT_EQ(replaceInTemplateText("abc", ab), "1c");
    EXPECT_EQ(replaceInTemplateText("abc", ba), "a2");
}

TEST(PageReplacement, LinesOfAbsentElementsAreLeftOutAndTheDescriptionFillsIn)
{
    QTemporaryDir dir;
    const QString tpl = dir.filePath("t.dll"), page = dir.filePath("p.htm");
    writeFile(tpl, "<img src=\"MY_IMAGE.gif\" width=\"MY_IMAGE_WIDTH\">\nmy_wave.wav\nMY_WEB_WAVE.mp3\n"
                   "https://parlivo.example.org/\nintro.mp3\nMYTEXTMESSAGE\nMY_CAPTIONS.vtt\nMYTRANSCRIPT\n"
                   "MY_DESCRIPTION|MY_PAGE_BASE/MY_PAGE.htm\n");
    const auto pageFor = [&](const PageValues &v) {
        EXPECT_TRUE(generatePage(tpl, page, replacementsFor(v, ReplacementOrder::A)).ok);
        return QString::fromUtf8(readAll(page));
    };
    PageValues v;
    v.pictureName = "P.gif";
    v.pictureWidth = 600;
    v.pageBase = "http://h/";
    v.pageName = "P.htm";
    v.transcript = "typed";   // without captions there is no transcript either
    v.hasLink = true;         // a link entered and then cleared is no link
    EXPECT_EQ(pageFor(v), "<img src=\"P.gif\" width=\"600\">\r\n"
                          "A message with a picture is waiting for you.|http://h/P.htm\r\n");

    v.hasAudio = true;
    v.audioName = "A.mp3";
    v.hasBackgroundSound = true;   // its light copy could not be made: the WAV alone
    v.backgroundSoundName = "B.wav";
    v.webBackgroundSoundName = "B.background.mp3";
    EXPECT_EQ(pageFor(v), "<img src=\"P.gif\" width=\"600\">\r\nB.wav\r\nA.mp3\r\n"
                          "A spoken message is waiting for you: open the page to listen.|http://h/P.htm\r\n");
    v.hasAudio = false;
    v.hasVideo = true;
    v.textMessage = "  \n";   // only blanks: nothing to show
    EXPECT_TRUE(pageFor(v).endsWith("A video message is waiting for you: open the page to watch.|http://h/P.htm\r\n"));
}

TEST(PageReplacement, ValuesAreEscapedAndNeverScannedAgain)
{
    PageValues v = fullValues();
    v.textMessage = "<b>Tom & \"Jerry\"</b> MY_VIDEO.swf intro.mp3 MY_IMAGE.gif it's";
    const QString out = replaceInTemplateText("<p>MYTEXTMESSAGE</p><video src=\"MY_VIDEO.swf\">",
                                              replacementsFor(v, ReplacementOrder::A));
    EXPECT_EQ(out, "<p>My Text Message: &lt;b&gt;Tom &amp; &quot;Jerry&quot;&lt;/b&gt; MY_VIDEO.swf intro.mp3 "
                   "MY_IMAGE.gif it&#39;s</p><video src=\"PVD82_1_14_05_09.mov\">");
    v.hasCaptions = true;
    v.captionsName = "PVD82_1_14_05_09.vtt";
    v.transcript = "<i>Tom</i> & MY_CAPTIONS.vtt";
    EXPECT_EQ(replaceInTemplateText("MY_CAPTIONS.vtt|MYTRANSCRIPT", replacementsFor(v, ReplacementOrder::B)),
              "PVD82_1_14_05_09.vtt|&lt;i&gt;Tom&lt;/i&gt; &amp; MY_CAPTIONS.vtt");

    // A link value holding another placeholder stays as typed, too.
    v.link = "https://example.com/MY_IMAGE.gif";
    EXPECT_EQ(replaceInTemplateText("https://parlivo.example.org/ MY_IMAGE.gif", replacementsFor(v, ReplacementOrder::A)),
              "https://example.com/MY_IMAGE.gif PVD82_1_14_05_09.gif");
    EXPECT_EQ(escapeHtml("a&b<c>d\"e'f"), "a&amp;b&lt;c&gt;d&quot;e&#39;f");
}

TEST(PageReplacement, LinksOfOtherSchemesAreRefusedAndBareHostsGetHttp)
{
    EXPECT_EQ(safeLinkValue("https://example.com/x").value, "https://example.com/x");
    EXPECT_EQ(safeLinkValue("HTTP://Example.com").value, "HTTP://Example.com");
    EXPECT_EQ(safeLinkValue("mailto:someone@example.com").value, "mailto:someone@example.com");
    EXPECT_EQ(safeLinkValue("  www.example.com/path ").value, "http://www.example.com/path");
    EXPECT_EQ(safeLinkValue("localhost:8080/x").value, "http://localhost:8080/x");
    EXPECT_EQ(safeLinkValue("example.com:8080").value, "http://example.com:8080");
    EXPECT_TRUE(safeLinkValue("").insert);
    EXPECT_EQ(safeLinkValue("").value, "");
    for (const char *bad : {"javascript:alert(1)", "JavaScript:alert(1)", "data:text/html,<b>x</b>", "file:///etc/passwd",
                            "vbscript:msgbox", "java\tscript:alert(1)"}) {
        SCOPED_TRACE(bad);
        EXPECT_FALSE(safeLinkValue(QString::fromLatin1(bad)).insert);
    }
}

TEST(PageReplacement, ControlCharactersAreDroppedAndThePreviewCarriesTheFirst200Characters)
{
    EXPECT_EQ(safeLinkValue(QString::fromLatin1("https://exa\x07mple.com/\x1b[2Jx\x7f")).value, "https://example.com/[2Jx");
    EXPECT_FALSE(safeLinkValue(QString::fromLatin1("java\x01script:alert(1)")).insert);

    PageValues v;
    v.textMessage = QString::fromLatin1("Bell\x07 esc\x1b del\x7f\tline\r\nnext") + QString(300, QLatin1Char('z'));
    const QVector<Replacement> r = replacementsFor(v, ReplacementOrder::A);
    const QString body = replaceInTemplateText("<p>MYTEXTMESSAGE</p>", r);
    EXPECT_EQ(body, "<p>My Text Message: Bell esc del\tline\r\nnext" + QString(300, QLatin1Char('z')) + "</p>");
    const QString meta = replaceInTemplateText("<meta property=\"og:description\" content=\"MY_DESCRIPTION\">", r);
    EXPECT_EQ(meta, "<meta property=\"og:description\" content=\"Bell esc del line next"
                        + QString(200 - 22, QLatin1Char('z')) + "\">");
}

TEST(PageTemplateFile, LinesEndAtCrCrLfOrLfAndEveryOneIsReplaced)
{
    EXPECT_EQ(templateLines("a\r\nb\rc\nd"), (QStringList{"a", "b", "c", "d"}));
    EXPECT_EQ(templateLines("a\r\n"), (QStringList{"a"}));
    EXPECT_EQ(templateLines("a\r\n\r\nb\n"), (QStringList{"a", "", "b"}));
    EXPECT_TRUE(templateLines("").isEmpty());

    QTemporaryDir dir;
    const QString tpl = dir.filePath("t.dll"), page = dir.filePath("p.htm");
    writeFile(tpl, "<p>MYTEXTMESSAGE</p>\r\n<i>MYTEXTMESSAGE MYTEXTMESSAGE</i>\n"
                   "MYTEXT\r\nMESSAGE\nintro.\r\nmp3\n\xc3\xa9t\xc3\xa9");
    PageValues v;
    v.textMessage = QString::fromUtf8("Hello \xe2\x9c\x93");
    v.hasAudio = true;
    v.audioName = "A.mp3";
    const PageResult r = generatePage(tpl, page, replacementsFor(v, ReplacementOrder::A));
    ASSERT_TRUE(r.ok) << r.error.toStdString();
    EXPECT_EQ(readAll(page), QByteArray("<p>My Text Message: Hello \xe2\x9c\x93</p>\r\n"
                                        "<i>My Text Message: Hello \xe2\x9c\x93 My Text Message: Hello \xe2\x9c\x93</i>\r\n"
                                        "MYTEXT\r\nMESSAGE\r\nintro.\r\nmp3\r\n\xc3\xa9t\xc3\xa9\r\n"));
}

TEST(PageTemplateFile, AMissingTemplateOrUnwritablePageIsReportedByName)
{
    QTemporaryDir dir;
    PageResult r = generatePage(dir.filePath("none.dll"), dir.filePath("p.htm"), {});
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.file, dir.filePath("none.dll"));
    EXPECT_TRUE(r.error.contains("none.dll"));
    EXPECT_FALSE(QFile::exists(dir.filePath("p.htm")));

    writeFile(dir.filePath("t.dll"), "x");
    r = generatePage(dir.filePath("t.dll"), dir.filePath("missing/folder/p.htm"), {});
    EXPECT_FALSE(r.ok);
    EXPECT_TRUE(r.error.contains("p.htm"));
}

TEST(ShippedTemplates, CarryEveryPlaceholderOnOneLineAndStayLight)
{
    for (const char *name : {"MSTemp.dll", "MSTemp32.dll", "MSTempWMV.dll", "MSTempMOV.dll"}) {
        SCOPED_TRACE(name);
        const QByteArray content = readAll(assetPath(QString::fromLatin1(name)));
        ASSERT_FALSE(content.isEmpty());
        EXPECT_LT(content.size(), 10 * 1024);
        const QString text = QString::fromUtf8(content);
        EXPECT_TRUE(text.startsWith("<!DOCTYPE html>"));
        EXPECT_TRUE(text.contains("<meta charset=\"utf-8\">"));
        EXPECT_TRUE(text.contains("name=\"viewport\""));
        EXPECT_TRUE(text.contains("name=\"robots\" content=\"noindex"));
        for (const char *og : {"og:title", "og:type", "og:url\" content=\"MY_PAGE_BASE/MY_PAGE.htm",
                               "og:image\" content=\"MY_PAGE_BASE/MY_IMAGE.gif", "og:image:width", "og:image:alt",
                               "og:audio\" content=\"MY_PAGE_BASE/intro.mp3", "twitter:card\" content=\"summary_large_image",
                               "name=\"description\" content=\"MY_DESCRIPTION", "prefers-color-scheme:dark"})
            EXPECT_TRUE(text.contains(QString::fromLatin1(og))) << og;
        QStringList placeholders{"my_wave.wav", "https://parlivo.example.org/", "MY_IMAGE.gif", "intro.mp3",
                                 "MYTEXTMESSAGE", "MY_CAPTIONS.vtt", "MYTRANSCRIPT"};
        const bool video = QByteArray(name) != "MSTemp.dll";
        if (video)
            placeholders << "MY_VIDEO.swf";
        for (const QString &p : placeholders)
            EXPECT_TRUE(text.contains(p)) << p.toStdString();
        EXPECT_EQ(text.contains("MY_VIDEO.swf"), video);
        EXPECT_TRUE(text.contains("<audio id=\"message\" controls"));
        EXPECT_TRUE(text.contains("id=\"bgplay\""));
        if (video) {
            EXPECT_TRUE(text.contains("<video id=\"clip\" controls"));
            EXPECT_TRUE(text.contains("<a href=\"MY_VIDEO.swf\" download>"));
        }
        // Every picture has a text alternative.
        const QRegularExpression img(QStringLiteral("<img(?![^>]*\\balt=\")"));
        EXPECT_FALSE(img.match(text).hasMatch());
    }
}

TEST(ShippedTemplates, APageWithOnlyTheDefaultPictureHasNoDeadParts)
{
    QTemporaryDir dir;
    PageValues v;
    v.pictureName = "PVD82_1234567890_14_05_09.gif";
    v.pictureType = "image/gif";
    v.pictureWidth = v.pictureHeight = 600;
    v.pageBase = "http://pages.example/";
    v.pageName = "PVD82_1234567890_14_05_09.htm";
    const QString page = dir.filePath("p.htm");
    ASSERT_TRUE(generatePage(assetPath("MSTemp.dll"), page, replacementsFor(v, ReplacementOrder::A)).ok);
    const QString text = QString::fromUtf8(readAll(page));
    // No placeholder is left, and no element the message lacks.
    EXPECT_FALSE(QRegularExpression("MY_[A-Z_]|MYT|intro\\.mp3|my_wave|parlivo\\.example").match(text).hasMatch());
    for (const char *gone : {"<audio", "id=\"text\"", "id=\"link\"", "id=\"words\"", "og:audio", "id=\"bgplay\""})
        EXPECT_FALSE(text.contains(gone)) << gone;
    EXPECT_TRUE(text.contains("src=\"PVD82_1234567890_14_05_09.gif\" width=\"600\" height=\"600\""));
    EXPECT_TRUE(text.contains("content=\"http://pages.example/PVD82_1234567890_14_05_09.gif\"><meta property=\"og:image:type\" "
                              "content=\"image/gif\">"));
    EXPECT_TRUE(text.contains("og:url\" content=\"http://pages.example/PVD82_1234567890_14_05_09.htm\""));
    EXPECT_TRUE(text.contains("og:description\" content=\"A message with a picture is waiting for you.\""));
    // Every line ends with CR LF.
    EXPECT_EQ(text.count("\r\n"), text.count('\n'));
}
