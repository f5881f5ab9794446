#pragma once
// Turns the synthesiser's word events into ranges of the spoken QString. The events count
// Unicode code points from 1, and their lengths are not trustworthy (apostrophes, hyphens,
// quotes and numbers split one written word into several events), so every event is
// widened to the whitespace-delimited token it falls in and trimmed of punctuation.
#include <QString>
#include <QVector>

namespace parlivo {

struct SpokenWord
{
    qint64 sample = 0;   // first sample of the word in the synthesised audio
    int start = 0;       // QString index into the spoken text
    int length = 0;      // QString units, so an emoji counts 2
};

class WordMapper
{
public:
    explicit WordMapper(const QString &text);

    // QString index of a 0-based code point; -1 when outside the text.
    int indexOfCodePoint(int codePoint) const;

    // Maps an event's 1-based text position. False (and nothing stored) when the
    // position lies outside the text or on whitespace, or names the word the previous
    // accepted event already named.
    bool map(int textPosition, int *start, int *length);

private:
    QString m_text;
    QVector<int> m_indexOf;   // code point -> QString index
    int m_lastStart = -1;
};

// Speaking rate in words a minute for the setting -10..10 (0 is the normal 175).
int speechRateWpm(int setting);
// Pitch 0..100 for the setting -10..10 (0 is the voice's normal 50).
int speechPitch(int setting);
// Volume 0..100 passed through, clamped.
int speechVolume(int setting);

} // namespace parlivo
