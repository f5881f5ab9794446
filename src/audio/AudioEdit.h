#pragma once
// Edits a message's audio before it is sent: cuts the silence at its ends (or keeps a span
// chosen by hand) and evens out its loudness, decoded once, worked on in memory and
// encoded once. Runs on a worker thread; nothing here touches a widget.
#include "platform/LoudnessMeter.h"

#include <QString>

#include <atomic>
#include <vector>

namespace parlivo {

// Spoken audio on the web is usually heard at this loudness; the messages of one sender
// then play at the same level.
inline constexpr double TargetLoudnessLufs = -16.0;
inline constexpr double TruePeakCeilingDbtp = -1.0;
// Kept before the first and after the last sound, so words do not start or end abruptly.
inline constexpr int SilencePadMs = 150;
// Quieter than this, a recording holds no voice worth raising: amplifying it only raises noise.
inline constexpr double AlmostSilentLufs = -45.0;

// Where sound begins and ends in mono samples, in frames; found is false when nothing stands
// out from the recording's own noise floor. The span carries no pads.
struct SoundSpan
{
    qint64 start = 0;
    qint64 end = 0;
    bool found = false;
};
SoundSpan findSound(const std::vector<float> &mono, int sampleRate);

// An edit holds the whole audio in memory; a person's file beyond these is refused.
inline constexpr qint64 LargestEditableBytes = qint64(200) * 1024 * 1024;
inline constexpr qint64 LongestEditableMs = qint64(30) * 60 * 1000;
// "" when the file at path is small enough to edit, else why not.
QString tooLargeToEdit(const QString &path);

struct DecodedAudio;
// The decoded samples as one channel in -1..1 (channels averaged).
std::vector<float> monoOf(const DecodedAudio &audio);

// Writes mono samples as a 16-bit WAV file (for playing a part of the audio).
bool writeWavFile(const QString &path, const float *samples, qint64 count, int sampleRate);

// The true peak (dBTP) of the samples, the peak between them included, judged where a sample
// reaches at least `from` (linear).
double truePeakDb(const std::vector<float> &samples, float from);

// Lowers the samples' peaks smoothly to at most ceiling (linear), leaving the rest alone.
// False when no sample was over the ceiling (nothing changed).
bool limitPeaks(std::vector<float> &samples, float ceiling, int sampleRate);

struct AudioEdit
{
    bool trimSilence = false;          // cut the silence at both ends
    qint64 startMs = -1, endMs = -1;   // keep only this span; -1: from the start / to the end
    bool level = false;                // bring the loudness to the target
    bool alwaysWrite = false;          // write the output even when nothing changes
};

struct AudioEditResult
{
    QString error;               // "" on success
    bool written = false;        // false: nothing worth changing, no output was made
    qint64 originalMs = 0;
    qint64 cutStartMs = 0;       // removed before what was kept
    qint64 keptMs = 0;
    double gainDb = 0;           // applied to what was kept
    bool almostSilent = false;   // no voice found, or too quiet to raise
    bool ok() const { return error.isEmpty(); }
    double trimmedSeconds() const { return double(originalMs - keptMs) / 1000.0; }
};

// Reads input (any format the decoder knows), writes output as MP3 (128 kbit/s, mono,
// 44.1 kHz) through a part file, so a failure leaves any file at output as it was.
AudioEditResult editAudioFile(const QString &input, const QString &output, const AudioEdit &edit,
                              LoudnessMeter &meter, const std::atomic<bool> *cancel = nullptr);

// What the status line says after the automatic trim and level: "Trimmed 2.1 s of silence", ...
QString autoEditStatusText(const AudioEditResult &result);

// Captions (WebVTT) of audio of which cutStartMs were removed at the start and keptMs kept:
// every cue moves with its words, cues of removed audio go. "" when none remains.
QString retimedWebVtt(const QString &webVtt, qint64 cutStartMs, qint64 keptMs);

} // namespace parlivo
