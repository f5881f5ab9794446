#pragma once
// The frames of an MPEG-1 layer III stream made by our own encoder, and the info frame at its
// start that tells players the stream's length, where to seek, and how many samples of
// encoder delay and end padding to leave out. Used to join streams encoded apart into one.
#include <QByteArray>

#include <vector>

namespace parlivo {

// Where each whole frame starts, plus the end of the last one: frames are back to back in an
// encoder's output, so the walk stops at the first place that is not a frame header (or at
// a frame cut short).
std::vector<qsizetype> mp3FrameOffsets(const QByteArray &stream);

// How many bytes before its own header a frame's audio data begins (the bit reservoir); 0
// when the frame draws on no earlier frame. -1 when frame does not hold a whole header.
int mp3MainDataBegin(const char *frame, qsizetype size);

// Rewrites an info frame ("Info"/"Xing" with the encoder's extension, as the encoder wrote it)
// to describe the frames that follow it: frame and byte counts, seek table, delay and padding,
// music length and both checksums. frameOffsets are those of audio (mp3FrameOffsets).
// False, and infoFrame untouched, when it is not such a frame or a figure does not fit.
bool rewriteMp3InfoFrame(QByteArray &infoFrame, const QByteArray &audio, const std::vector<qsizetype> &frameOffsets,
                         int encoderDelay, int padding);

} // namespace parlivo
