#pragma once
// The encoder settings every MP3 this program writes shares, so that the streaming encoder and
// the two-thread one make the same frames.
#include <lame/lame.h>

namespace parlivo {

// Sets the format and quality (lame_init_params is left to the caller, which may add to them).
void configureLame(lame_global_flags *lame, int inputRate, int outputRate, int channels, int bitrateKbps,
                   bool infoFrame);

} // namespace parlivo
