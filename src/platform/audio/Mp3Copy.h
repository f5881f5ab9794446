#pragma once
// A light MP3 copy of a sound file for the web page: a WAV of ten seconds in stereo weighs
// 1.7 MB, its MP3 copy a tenth of that. Read and written in chunks, never whole in memory.
#include <QString>

namespace parlivo {

// Writes target from source (WAV or whatever the decoder knows): mono at 96 kbit/s, more
// channels mixed to stereo at 128 kbit/s. Returns "" on success, else why in a few words;
// a failed copy leaves no target behind.
QString writeMp3Copy(const QString &source, const QString &target);

} // namespace parlivo
