#pragma once
// Encodes a whole mono recording held in memory into an MP3 file (constant bit rate, info frame
// first). Encoding is most of the time an edit takes, so a long recording is encoded in two
// halves on two threads at once, and the halves' frames are joined into one stream that plays
// like a single encoding: same length to the sample, no click where they meet.
#include <QString>

namespace parlivo {

// Shorter audio is encoded in one piece: a second thread would save little.
inline constexpr int ShortestSplitMs = 10000;

// The sample from which the second half's frames are heard (the join, give or take the
// decoder's overlap of one frame), or 0 when the audio is encoded in one piece.
qint64 mp3JoinSample(qint64 count, int inputRate, int outputRate);

// samples are one channel in -1..1 (clipped here). False with error set on failure; the file
// may then be incomplete.
bool encodeMonoMp3File(const QString &path, const float *samples, qint64 count, int inputRate, int outputRate,
                       int bitrateKbps, QString *error = nullptr);

} // namespace parlivo
