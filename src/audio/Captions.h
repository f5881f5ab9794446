#pragma once
// Captions for a message spoken from typed text: the words the speech engine timed in the
// written audio are grouped into short phrases, and the phrases are written and read as
// WebVTT, the captions format browsers show beside a media element.
#include "platform/SpeechEngine.h"

#include <QString>
#include <QVector>

namespace parlivo {

struct CaptionCue
{
    qint64 startMs = 0;
    qint64 endMs = 0;
    QString text;   // one line, as typed (punctuation kept)
    friend bool operator==(const CaptionCue &, const CaptionCue &) = default;
};

// The phrases of text, each from its first word's moment to the next phrase's (the last
// one to the end of the audio). A phrase ends at a sentence's or a line's end, at a comma
// or the like once it has a few words, and before it grows too long to read at a glance.
QVector<CaptionCue> captionCues(const QString &text, const QVector<TimedWord> &words, qint64 audioMs);

QString webVttOf(const QVector<CaptionCue> &cues);

// The cues of a WebVTT file, their text stripped of markup. False (with why) when the data
// is not WebVTT or holds no cue.
bool readWebVtt(const QByteArray &data, QVector<CaptionCue> *cues, QString *why);

// The text the cues speak, as one paragraph.
QString transcriptOf(const QVector<CaptionCue> &cues);

} // namespace parlivo
