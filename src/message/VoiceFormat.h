#pragma once
// The one form a message's voice is kept in, however it was made (recorded, trimmed, or from
// the command line): MP3, one channel, 44.1 kHz, 128 kbit/s. The page and the e-mail text
// assume nothing else, so every producer takes it from here.
namespace parlivo::voice_format {

constexpr int SampleRate = 44100;
constexpr int BitrateKbps = 128;
constexpr int Channels = 1;

} // namespace parlivo::voice_format
