#include "platform/speech/EspeakWords.h"

#include <algorithm>

namespace parlivo {

WordMapper::WordMapper(const QString &text) : m_text(text)
{
    m_indexOf.reserve(text.size());
    for (int i = 0; i < text.size(); ++i) {
        m_indexOf.append(i);
        if (text.at(i).isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate())
            ++i;
    }
}

int WordMapper::indexOfCodePoint(int codePoint) const
{
    return codePoint >= 0 && codePoint < m_indexOf.size() ? m_indexOf.at(codePoint) : -1;
}

static bool isTrimmable(QChar c)
{
    return c.isPunct();
}

bool WordMapper::map(int textPosition, int *start, int *length)
{
    const int at = indexOfCodePoint(textPosition - 1);
    if (at < 0 || m_text.at(at).isSpace())
        return false;
    int begin = at;
    while (begin > 0 && !m_text.at(begin - 1).isSpace())
        --begin;
    int end = at + 1;
    while (end < m_text.size() && !m_text.at(end).isSpace())
        ++end;
    // A token of nothing but punctuation (a lone dash, an ellipsis) is still what is being
    // read out, so it is kept whole rather than trimmed away.
    int b = begin, e = end;
    while (b < e && isTrimmable(m_text.at(b)))
        ++b;
    while (e > b && isTrimmable(m_text.at(e - 1)))
        --e;
    if (b < e) {
        begin = b;
        end = e;
    }
    if (begin == m_lastStart)
        return false;
    m_lastStart = begin;
    *start = begin;
    *length = end - begin;
    return true;
}

int speechRateWpm(int setting)
{
    setting = std::clamp(setting, -10, 10);
    // Two straight lines meeting at the normal rate: the slow half spans 80..175 and the
    // fast half 175..450, so each end of the slider reaches the synthesiser's limits.
    if (setting < 0)
        return 175 + (setting * 95 - 5) / 10;   // rounds half away from zero
    return 175 + (setting * 275 + 5) / 10;
}

int speechPitch(int setting)
{
    return 50 + 5 * std::clamp(setting, -10, 10);
}

int speechVolume(int setting)
{
    return std::clamp(setting, 0, 100);
}

} // namespace parlivo
