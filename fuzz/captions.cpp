// WebVTT as a person may pick it, and the cues made from a speech engine's word timings: times
// never negative or backwards, and what is written reads back the same.
#include "FuzzSupport.h"
#include "audio/Captions.h"

using namespace parlivo;
using namespace parlivo::fuzz;

namespace {

void checkCues(const QVector<CaptionCue> &cues, const char *where)
{
    for (const CaptionCue &c : cues) {
        check(c.startMs >= 0 && c.endMs >= c.startMs, where, QStringLiteral("%1 --> %2").arg(c.startMs).arg(c.endMs));
        check(!c.text.contains(QLatin1Char('\n')), "a cue's text is one line", c.text);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray input(reinterpret_cast<const char *>(data), qsizetype(size));
    QVector<CaptionCue> cues;
    QString why;
    if (readWebVtt(input, &cues, &why)) {
        checkCues(cues, "cues read are in order");
        const QString written = webVttOf(cues);
        QVector<CaptionCue> again;
        check(readWebVtt(written.toUtf8(), &again, &why), "written captions read back", why + QLatin1Char('\n') + written);
        check(again == cues, "captions survive a round trip", written);
        transcriptOf(cues);
    }

    // The same bytes as a text and word timings: text, then (start, length, ms) triples.
    Script s(data, size);
    const QString text = QString::fromUtf8(s.field());
    const qint64 audioMs = qint64(s.u32());
    QVector<TimedWord> words;
    while (!s.done() && words.size() < 200)
        words.append({int(s.u32()), int(s.u32()), qint64(int(s.u32()))});
    const QVector<CaptionCue> made = captionCues(text, words, audioMs);
    checkCues(made, "cues made are in order");
    for (const CaptionCue &c : made)
        check(c.endMs <= audioMs, "no cue outlasts the audio");
    return 0;
}
