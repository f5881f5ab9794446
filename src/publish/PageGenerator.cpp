#include "PageGenerator.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSaveFile>

namespace parlivo {

PageVariant variantFor(bool wantsVideo, const QString &formatTag)
{
    using O = ReplacementOrder;
    if (!wantsVideo)
        return {QStringLiteral("MSTemp.dll"), QString(), O::A, true};
    struct Row { const char *tag, *file, *ext; O order; };
    static const Row rows[] = {
        {"SWF", "MSTemp32.dll", ".swf", O::A},   {"WMV", "MSTempWMV.dll", ".wmv", O::A},
        {"AVI", "MSTempWMV.dll", ".avi", O::B},  {"FLV", "MSTemp32.dll", ".flv", O::B},
        {"MOV", "MSTempMOV.dll", ".mov", O::B},  {"MPG", "MSTempWMV.dll", ".mpg", O::B},
        {"MPEG", "MSTempWMV.dll", ".mpeg", O::B}, {"MP4", "MSTempMOV.dll", ".mp4", O::B},
    };
    for (const Row &r : rows) {
        if (formatTag == QLatin1String(r.tag))
            return {QString::fromLatin1(r.file), QString::fromLatin1(r.ext), r.order, true};
    }
    PageVariant none;
    none.valid = false;
    return none;
}

QString formatTagForFile(const QString &path)
{
    const QString suffix = QFileInfo(path).suffix().toUpper();
    static const QStringList tags{QStringLiteral("SWF"), QStringLiteral("WMV"), QStringLiteral("AVI"),
                                  QStringLiteral("FLV"), QStringLiteral("MOV"), QStringLiteral("MPG"),
                                  QStringLiteral("MPEG"), QStringLiteral("MP4")};
    return tags.contains(suffix) ? suffix : QString();
}

QString escapeHtml(const QString &text)
{
    QString out;
    out.reserve(text.size() + text.size() / 8);
    for (const QChar c : text) {
        switch (c.unicode()) {
        case '&': out += QLatin1String("&amp;"); break;
        case '<': out += QLatin1String("&lt;"); break;
        case '>': out += QLatin1String("&gt;"); break;
        case '"': out += QLatin1String("&quot;"); break;
        case '\'': out += QLatin1String("&#39;"); break;
        default: out += c;
        }
    }
    return out;
}

QString withoutControlCharacters(const QString &text, bool keepLineBreaks)
{
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        const bool kept = keepLineBreaks && (u == '\t' || u == '\n' || u == '\r');
        if ((u < 0x20 && !kept) || u == 0x7f)
            continue;
        out += c;
    }
    return out;
}

QString previewText(const QString &text)
{
    QString flat = text;
    flat.replace(QLatin1String("\r\n"), QLatin1String(" "));
    for (const char c : {'\r', '\n', '\t'})
        flat.replace(QLatin1Char(c), QLatin1Char(' '));
    flat = withoutControlCharacters(flat, false);
    if (flat.size() <= PreviewLength)
        return flat;
    qsizetype n = PreviewLength;
    if (flat.at(n - 1).isHighSurrogate())
        --n;   // never half a character
    return flat.left(n);
}

SafeLink safeLinkValue(const QString &typed)
{
    // Control characters have no place in an address; a browser drops them too, so they are
    // dropped before the scheme is looked at ("java\x01script:" is refused like the rest).
    const QString link = withoutControlCharacters(typed, false);
    const QString trimmed = link.trimmed();
    if (trimmed.isEmpty())
        return {true, QString()};
    // "host:8080/path" is a bare host with a port, not a scheme.
    static const QRegularExpression scheme(QStringLiteral("^([A-Za-z][A-Za-z0-9+.\\-]*):(?!\\d+(/|$))"));
    const auto m = scheme.match(trimmed);
    if (!m.hasMatch())
        return {true, QStringLiteral("http://") + trimmed};
    const QString name = m.captured(1).toLower();
    if (name == QLatin1String("http") || name == QLatin1String("https") || name == QLatin1String("mailto"))
        return {true, trimmed};
    return {false, QString()};
}

QString pageDescription(const PageValues &v)
{
    const QString typed = previewText(v.textMessage).trimmed();
    if (!typed.isEmpty())
        return typed;
    if (v.hasAudio)
        return QStringLiteral("A spoken message is waiting for you: open the page to listen.");
    if (v.hasVideo)
        return QStringLiteral("A video message is waiting for you: open the page to watch.");
    return QStringLiteral("A message with a picture is waiting for you.");
}

QVector<Replacement> replacementsFor(const PageValues &v, ReplacementOrder order)
{
    const auto ph = [](const char *p) { return QString::fromLatin1(p); };
    const auto number = [](int n) { return n > 0 ? QString::number(n) : QString(); };
    const QString typed = withoutControlCharacters(v.textMessage, true);
    const QString text = typed.isEmpty()
        ? QString()
        : QStringLiteral("My Text Message: ") + escapeHtml(typed);
    // A link that was entered and then cleared is no link: an empty one would lead nowhere.
    const bool link = v.hasLink && !v.link.isEmpty();

    QVector<Replacement> r;
    r.push_back({ph(Placeholder::PageBase), escapeHtml(v.pageBase)});
    r.push_back({ph(Placeholder::BackgroundSound), escapeHtml(v.backgroundSoundName), !v.hasBackgroundSound});
    const Replacement linkValue{ph(Placeholder::Link), escapeHtml(v.link), !link};
    const Replacement picture{ph(Placeholder::Picture), escapeHtml(v.pictureName)};
    if (order == ReplacementOrder::A) {
        r.push_back(linkValue);
        r.push_back(picture);
    } else {
        r.push_back(picture);
        r.push_back(linkValue);
    }
    r.push_back({ph(Placeholder::Audio), escapeHtml(v.audioName), !v.hasAudio});
    r.push_back({ph(Placeholder::TextMessage), text, typed.isEmpty()});
    if (v.hasVideo) {
        r.push_back({ph(Placeholder::Video), escapeHtml(v.videoName), v.originalVideoWithheld});
        r.push_back({ph(Placeholder::WebVideo), escapeHtml(v.webVideoName), !v.hasWebVideo});
        r.push_back({ph(Placeholder::Poster), escapeHtml(v.posterName), !v.hasPoster});
    }
    r.push_back({ph(Placeholder::Captions), escapeHtml(v.captionsName), !v.hasCaptions});
    r.push_back({ph(Placeholder::Transcript),
                 v.hasCaptions ? escapeHtml(withoutControlCharacters(v.transcript, true)) : QString(), !v.hasCaptions});
    // Sizes ride on the lines of their picture, which stay even when a size is unknown.
    r.push_back({ph(Placeholder::PosterWidth), number(v.posterWidth)});
    r.push_back({ph(Placeholder::PosterHeight), number(v.posterHeight)});
    r.push_back({ph(Placeholder::Page), escapeHtml(v.pageName)});
    r.push_back({ph(Placeholder::PictureWidth), number(v.pictureWidth)});
    r.push_back({ph(Placeholder::PictureHeight), number(v.pictureHeight)});
    r.push_back({ph(Placeholder::PictureType), escapeHtml(v.pictureType)});
    r.push_back({ph(Placeholder::WebBackgroundSound), escapeHtml(v.webBackgroundSoundName),
                 !(v.hasBackgroundSound && v.hasWebBackgroundSound)});
    r.push_back({ph(Placeholder::Description), escapeHtml(pageDescription(v))});
    return r;
}

QString replaceInTemplateText(const QString &line, const QVector<Replacement> &replacements)
{
    // The line as pieces of template text and inserted values; later placeholders are
    // only looked for in the template pieces.
    struct Piece { QString text; bool inserted; };
    std::vector<Piece> pieces{{line, false}};
    for (const Replacement &rep : replacements) {
        const QString &value = rep.value;
        if (rep.placeholder.isEmpty())
            continue;
        std::vector<Piece> next;
        next.reserve(pieces.size());
        for (Piece &p : pieces) {
            if (p.inserted) {
                next.push_back(std::move(p));
                continue;
            }
            qsizetype from = 0;
            for (;;) {
                const qsizetype at = p.text.indexOf(rep.placeholder, from, Qt::CaseSensitive);
                if (at < 0)
                    break;
                if (at > from)
                    next.push_back({p.text.mid(from, at - from), false});
                next.push_back({value, true});
                from = at + rep.placeholder.size();
            }
            if (from < p.text.size())
                next.push_back({p.text.mid(from), false});
        }
        pieces = std::move(next);
    }
    QString out;
    for (const Piece &p : pieces)
        out += p.text;
    return out;
}

QStringList templateLines(const QByteArray &content)
{
    const QString text = QString::fromUtf8(content);
    QStringList lines;
    qsizetype start = 0;
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = text.at(i);
        if (c == QLatin1Char('\r') || c == QLatin1Char('\n')) {
            lines << text.mid(start, i - start);
            if (c == QLatin1Char('\r') && i + 1 < n && text.at(i + 1) == QLatin1Char('\n'))
                ++i;
            start = i + 1;
        }
    }
    if (start < n)
        lines << text.mid(start);
    return lines;
}

PageResult generatePage(const QString &templatePath, const QString &pagePath,
                        const QVector<Replacement> &replacements)
{
    QFile in(templatePath);
    if (!in.open(QIODevice::ReadOnly))
        return {false, QStringLiteral("The page template \"%1\" could not be read: %2.")
                           .arg(templatePath, in.errorString()), templatePath};
    const QByteArray content = in.readAll();
    if (in.error() != QFileDevice::NoError)
        return {false, QStringLiteral("The page template \"%1\" could not be read: %2.")
                           .arg(templatePath, in.errorString()), templatePath};
    in.close();

    QByteArray page;
    page.reserve(content.size() + 1024);
    const auto dropped = [&replacements](const QString &line) {
        for (const Replacement &rep : replacements) {
            if (rep.dropLine && !rep.placeholder.isEmpty() && line.contains(rep.placeholder))
                return true;
        }
        return false;
    };
    for (const QString &line : templateLines(content)) {
        if (dropped(line))
            continue;
        page += replaceInTemplateText(line, replacements).toUtf8();
        page += "\r\n";
    }

    QSaveFile out(pagePath);
    if (!out.open(QIODevice::WriteOnly) || out.write(page) != page.size() || !out.commit())
        return {false, QStringLiteral("The page \"%1\" could not be written: %2.").arg(pagePath, out.errorString()),
                pagePath};
    return {true, QString(), QString()};
}

} // namespace parlivo
