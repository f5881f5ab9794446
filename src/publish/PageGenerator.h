#pragma once
// Turns a page template into the message's page: the template is copied line by line and
// the placeholder strings are replaced by the names of the message's files and its texts.
#include <QString>
#include <QStringList>
#include <QVector>

namespace parlivo {

// The literal strings a template carries (case matters). A template line that names the
// placeholder of an element the message does not have is left out of the page.
namespace Placeholder {
inline constexpr const char *BackgroundSound = "my_wave.wav";
inline constexpr const char *Link = "https://parlivo.example.org/";
inline constexpr const char *Picture = "MY_IMAGE.gif";
inline constexpr const char *Audio = "intro.mp3";
inline constexpr const char *TextMessage = "MYTEXTMESSAGE";
inline constexpr const char *Video = "MY_VIDEO.swf";
// The address the page is served from, for the absolute addresses of link previews.
inline constexpr const char *PageBase = "MY_PAGE_BASE/";
// The captions of audio converted from text, and that text in full.
inline constexpr const char *Captions = "MY_CAPTIONS.vtt";
inline constexpr const char *Transcript = "MYTRANSCRIPT";
// The copy every browser plays and its poster; lines naming one that was not made are
// left out of the page.
inline constexpr const char *WebVideo = "MY_WEB_VIDEO.mp4";
inline constexpr const char *Poster = "MY_POSTER.jpg";
inline constexpr const char *PosterWidth = "MY_POSTER_WIDTH";
inline constexpr const char *PosterHeight = "MY_POSTER_HEIGHT";
// The page's own name, for the address a link preview names.
inline constexpr const char *Page = "MY_PAGE.htm";
// The picture's size in pixels and its media type, so the page keeps its place while it
// loads and link previews know what they get.
inline constexpr const char *PictureWidth = "MY_IMAGE_WIDTH";
inline constexpr const char *PictureHeight = "MY_IMAGE_HEIGHT";
inline constexpr const char *PictureType = "MY_IMAGE_TYPE";
// The light copy of the background sound that browsers play first.
inline constexpr const char *WebBackgroundSound = "MY_WEB_WAVE.mp3";
// One line about the message for search results and link previews.
inline constexpr const char *Description = "MY_DESCRIPTION";
} // namespace Placeholder

enum class ReplacementOrder { A, B };

// One way of publishing: the template, the extension of the video copy ("" without
// video) and the order in which the placeholders are replaced.
struct PageVariant
{
    QString templateFile;     // relative to the application folder, e.g. "MSTemp.dll"
    QString videoExtension;   // ".swf", ... or "" for no video
    ReplacementOrder order = ReplacementOrder::A;
    bool valid = true;        // false: the format tag names no variant
};

// The variant for the draft's video choice; formatTag is compared exactly.
PageVariant variantFor(bool wantsVideo, const QString &formatTag);

// The format tag for a video file's extension ("clip.MOV" gives "MOV"); "" when none fits.
QString formatTagForFile(const QString &path);

// One placeholder and what replaces it.
struct Replacement
{
    QString placeholder;
    QString value;
    bool dropLine = false;   // template lines holding the placeholder are left out instead
};

// What the page gets. The lines of an element the message does not have are left out.
struct PageValues
{
    bool hasBackgroundSound = false;
    QString backgroundSoundName;
    bool hasWebBackgroundSound = false;   // its MP3 copy was made
    QString webBackgroundSoundName;
    bool hasLink = false;
    QString link;             // already made safe (see safeLinkValue)
    QString pictureName;
    int pictureWidth = 0, pictureHeight = 0;   // as shown, orientation applied
    QString pictureType;      // "image/jpeg", ...
    bool hasAudio = false;
    QString audioName;
    QString textMessage;      // as typed; escaped when inserted
    bool hasVideo = false;
    QString videoName;
    // The original could not be copied without its metadata: lines naming it are left out.
    bool originalVideoWithheld = false;
    QString pageBase;         // "http://host/"
    QString pageName;         // "PVD82_..._hh_mm_ss.htm"
    bool hasCaptions = false;
    QString captionsName;
    QString transcript;       // as typed; escaped when inserted, only with captions
    // With a video: the copy converted for the web and its poster, when they were made.
    bool hasWebVideo = false;
    QString webVideoName;
    bool hasPoster = false;
    QString posterName;
    int posterWidth = 0, posterHeight = 0;
};

// The line a link preview shows: the start of the text message, or a sentence of our own
// saying what waits on the page.
QString pageDescription(const PageValues &values);

// The text without control characters (BEL, ESC, DEL, ...): they have no meaning in a page
// and some browsers and mail programs act on them. Tab and line breaks stay when asked.
QString withoutControlCharacters(const QString &text, bool keepLineBreaks);

// At most this many characters of the text go into the link preview.
inline constexpr qsizetype PreviewLength = 200;
// The first PreviewLength characters of the text, on one line.
QString previewText(const QString &text);

// HTML-escapes text for element content and quoted attribute values.
QString escapeHtml(const QString &text);

// The link as it may go into the page, or nothing when it must not be inserted:
// http, https and mailto pass; a bare host gets "http://"; any other scheme is refused.
// "" stays "" (a link that was cleared removes the placeholder).
struct SafeLink
{
    bool insert = false;
    QString value;
};
SafeLink safeLinkValue(const QString &link);

// The replacements of a page in the variant's order, values already escaped.
QVector<Replacement> replacementsFor(const PageValues &values, ReplacementOrder order);

// Applies the replacements one after the other, each to every occurrence left to right,
// but only ever in the template's own text: a value once inserted is never scanned again.
QString replaceInTemplateText(const QString &line, const QVector<Replacement> &replacements);

// Splits a template into lines: a line ends at CR, CR LF or LF; the end is not part of it.
QStringList templateLines(const QByteArray &content);

struct PageResult
{
    bool ok = false;
    QString error;   // in plain words, naming the file
    QString file;    // the template or page that failed
};

// Reads the template (UTF-8), writes the page with every line followed by CR LF.
PageResult generatePage(const QString &templatePath, const QString &pagePath,
                        const QVector<Replacement> &replacements);

} // namespace parlivo
