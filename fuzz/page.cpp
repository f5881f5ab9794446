// Page generation with whatever a person types as the text, the transcript and the link: the
// typed values never add markup to the page, in any template line and either replacement order.
#include "FuzzSupport.h"
#include "publish/PageGenerator.h"

using namespace parlivo;
using namespace parlivo::fuzz;

namespace {

QStringList templateLinesShipped()
{
    QStringList lines;
    for (const char *name : {"MSTemp.dll", "MSTemp32.dll", "MSTempMOV.dll", "MSTempWMV.dll"}) {
        QFile f(QStringLiteral(PARLIVO_SOURCE_DIR "/assets/") + QLatin1String(name));
        if (!f.open(QIODevice::ReadOnly))
            broken("the templates can be read", f.fileName());
        for (const QString &line : templateLines(f.readAll()))
            if (!lines.contains(line))
                lines << line;
    }
    return lines;
}

int markup(const QString &s)
{
    int n = 0;
    for (const QChar c : s)
        n += c == QLatin1Char('<') || c == QLatin1Char('>') || c == QLatin1Char('"') || c == QLatin1Char('\'');
    return n;
}

PageValues values(const QString &text, const QString &transcript, const QString &link)
{
    PageValues v;
    v.hasBackgroundSound = v.hasLink = v.hasAudio = v.hasVideo = v.hasCaptions = v.hasWebVideo = v.hasPoster = true;
    v.backgroundSoundName = "m.wav";
    v.pictureName = "m.gif";
    v.audioName = "m.mp3";
    v.videoName = "m.avi";
    v.pageBase = "http://example.org/";
    v.captionsName = "m.vtt";
    v.webVideoName = "m.mp4";
    v.posterName = "m.jpg";
    v.textMessage = text;
    v.transcript = transcript;
    const SafeLink safe = safeLinkValue(link);
    v.hasLink = safe.insert;
    v.link = safe.value;
    return v;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const QStringList lines = templateLinesShipped();
    Script s(data, size);
    const QString text = QString::fromUtf8(s.field()), transcript = QString::fromUtf8(s.field()),
                  link = QString::fromUtf8(s.field());
    const SafeLink safe = safeLinkValue(link);
    if (safe.insert && !safe.value.isEmpty()) {
        const QString scheme = safe.value.section(QLatin1Char(':'), 0, 0).toLower();
        check(scheme == "http" || scheme == "https" || scheme == "mailto", "only web and mail links go in", safe.value);
    }
    for (ReplacementOrder order : {ReplacementOrder::A, ReplacementOrder::B}) {
        const auto typed = replacementsFor(values(text, transcript, link), order);
        const auto plain = replacementsFor(values("x", "x", "http://example.org/x"), order);
        for (const QString &line : lines) {
            const QString out = replaceInTemplateText(line, typed);
            check(markup(out) == markup(replaceInTemplateText(line, plain)), "typed text adds no markup", line + "\n" + out);
        }
    }
    return 0;
}
