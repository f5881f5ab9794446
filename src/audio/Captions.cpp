#include "Captions.h"

#include <QRegularExpression>

#include <vector>

namespace parlivo {

namespace {

// A caption line is read at a glance: about the width of a subtitle line.
constexpr int MaxCueChars = 42;
// A comma or the like ends a phrase only once it has this many words, so a list of short
// words is not shown one flash at a time.
constexpr int ClauseWords = 3;

int tokenBegin(const QString &text, int index)
{
    while (index > 0 && !text.at(index - 1).isSpace())
        --index;
    return index;
}

// text[from, to) as one line: runs of white space, line breaks included, become one blank
// and control characters are left out.
QString oneLine(const QString &text, int from, int to)
{
    QString out;
    bool blank = false;
    for (int i = from; i < to; ++i) {
        const QChar c = text.at(i);
        if (c.isSpace()) {
            blank = !out.isEmpty();
            continue;
        }
        if (c.category() == QChar::Other_Control || c.category() == QChar::Other_Format)
            continue;
        if (blank)
            out += QLatin1Char(' ');
        blank = false;
        out += c;
    }
    return out;
}

bool endsSentence(const QString &between)
{
    for (const QChar c : between)
        if (c == QLatin1Char('.') || c == QLatin1Char('!') || c == QLatin1Char('?') || c == QChar(0x2026)
            || c == QLatin1Char('\n') || c == QLatin1Char('\r'))
            return true;
    return false;
}

bool endsClause(const QString &between)
{
    for (const QChar c : between)
        if (c == QLatin1Char(',') || c == QLatin1Char(';') || c == QLatin1Char(':') || c == QChar(0x2013)
            || c == QChar(0x2014) || c == QLatin1Char(')'))
            return true;
    return false;
}

QString timestamp(qint64 ms)
{
    ms = qMax<qint64>(0, ms);
    return QStringLiteral("%1:%2:%3.%4")
        .arg(ms / 3600000, 2, 10, QLatin1Char('0'))
        .arg(ms / 60000 % 60, 2, 10, QLatin1Char('0'))
        .arg(ms / 1000 % 60, 2, 10, QLatin1Char('0'))
        .arg(ms % 1000, 3, 10, QLatin1Char('0'));
}

bool parseTimestamp(const QString &text, qint64 *ms)
{
    // Hours take any number of digits in the format; nine are over a hundred thousand years and
    // keep the product far from overflowing, where a wrapped time would pass as a valid cue.
    static const QRegularExpression form(QStringLiteral("^(?:(\\d{1,9}):)?([0-5]\\d):([0-5]\\d)\\.(\\d{3})$"));
    const auto m = form.match(text);
    if (!m.hasMatch())
        return false;
    *ms = ((m.captured(1).toLongLong() * 60 + m.captured(2).toLongLong()) * 60 + m.captured(3).toLongLong()) * 1000
        + m.captured(4).toLongLong();
    return true;
}

QString cueTextEscaped(const QString &text)
{
    QString out = text;
    out.replace(QLatin1Char('&'), QLatin1String("&amp;"));
    out.replace(QLatin1Char('<'), QLatin1String("&lt;"));
    out.replace(QLatin1Char('>'), QLatin1String("&gt;"));
    return out;
}

QString cueTextPlain(QString text)
{
    static const QRegularExpression tag(QStringLiteral("<[^>]*>"));
    text.remove(tag);
    text.replace(QLatin1String("&lt;"), QLatin1String("<"));
    text.replace(QLatin1String("&gt;"), QLatin1String(">"));
    text.replace(QLatin1String("&nbsp;"), QLatin1String(" "));
    text.replace(QLatin1String("&lrm;"), QString());
    text.replace(QLatin1String("&rlm;"), QString());
    text.replace(QLatin1String("&amp;"), QLatin1String("&"));
    return oneLine(text, 0, int(text.size()));
}

} // namespace

QVector<CaptionCue> captionCues(const QString &text, const QVector<TimedWord> &words, qint64 audioMs)
{
    struct Phrase
    {
        int from;     // where its first word's token begins in text
        qint64 ms;
    };
    std::vector<Phrase> phrases;
    int wordsInPhrase = 0;
    int previousEnd = 0;
    for (const TimedWord &w : words) {
        if (w.start < 0 || w.start >= text.size() || w.length <= 0 || w.start < previousEnd)
            continue;
        const int from = tokenBegin(text, w.start);
        const int end = int(qMin<qint64>(text.size(), qint64(w.start) + w.length));
        bool startsPhrase = phrases.empty();
        if (!startsPhrase && w.ms > phrases.back().ms) {
            const QString between = text.mid(previousEnd, w.start - previousEnd);
            startsPhrase = endsSentence(between) || (wordsInPhrase >= ClauseWords && endsClause(between))
                || oneLine(text, phrases.back().from, end).size() > MaxCueChars;
        }
        if (startsPhrase) {
            phrases.push_back({phrases.empty() ? 0 : from, qMax<qint64>(0, w.ms)});
            wordsInPhrase = 0;
        }
        ++wordsInPhrase;
        previousEnd = end;
    }
    // A phrase heard only after the audio has ended belongs to the one before it.
    while (phrases.size() > 1 && phrases.back().ms >= audioMs)
        phrases.pop_back();
    QVector<CaptionCue> cues;
    if (phrases.empty() || audioMs <= 0)
        return cues;
    if (phrases.front().ms >= audioMs)
        phrases.front().ms = 0;
    for (size_t i = 0; i < phrases.size(); ++i) {
        const bool last = i + 1 == phrases.size();
        const int to = last ? int(text.size()) : phrases[i + 1].from;
        const QString line = oneLine(text, phrases[i].from, to);
        if (line.isEmpty())
            continue;
        cues.append({phrases[i].ms, last ? audioMs : phrases[i + 1].ms, line});
    }
    return cues;
}

QString webVttOf(const QVector<CaptionCue> &cues)
{
    QString out = QStringLiteral("WEBVTT\n");
    int number = 0;
    for (const CaptionCue &c : cues) {
        out += QStringLiteral("\n%1\n%2 --> %3\n%4\n")
                   .arg(++number)
                   .arg(timestamp(c.startMs), timestamp(c.endMs), cueTextEscaped(c.text));
    }
    return out;
}

bool readWebVtt(const QByteArray &data, QVector<CaptionCue> *cues, QString *why)
{
    QString text = QString::fromUtf8(data);
    if (text.startsWith(QChar(0xFEFF)))
        text.remove(0, 1);
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    const QStringList lines = text.split(QLatin1Char('\n'));
    static const QRegularExpression header(QStringLiteral("^WEBVTT([ \t].*)?$"));
    if (lines.isEmpty() || !header.match(lines.first()).hasMatch()) {
        *why = QStringLiteral("it does not begin with WEBVTT");
        return false;
    }
    cues->clear();
    static const QRegularExpression timing(QStringLiteral("^(\\S+)[ \t]+-->[ \t]+(\\S+)"));
    for (int i = 1; i < lines.size(); ++i) {
        if (!lines[i].contains(QLatin1String("-->")))
            continue;
        const auto m = timing.match(lines[i]);
        CaptionCue cue;
        if (!m.hasMatch() || !parseTimestamp(m.captured(1), &cue.startMs) || !parseTimestamp(m.captured(2), &cue.endMs)
            || cue.endMs < cue.startMs) {
            *why = QStringLiteral("line %1 is not a cue's timing").arg(i + 1);
            return false;
        }
        QStringList body;
        while (i + 1 < lines.size() && !lines[i + 1].trimmed().isEmpty())
            body << lines[++i];
        cue.text = cueTextPlain(body.join(QLatin1Char(' ')));
        cues->append(cue);
    }
    if (cues->isEmpty()) {
        *why = QStringLiteral("it holds no captions");
        return false;
    }
    return true;
}

QString transcriptOf(const QVector<CaptionCue> &cues)
{
    QStringList parts;
    for (const CaptionCue &c : cues)
        if (!c.text.isEmpty())
            parts << c.text;
    return parts.join(QLatin1Char(' '));
}

} // namespace parlivo
