#include "Factories.h"

namespace parlivo {

std::unique_ptr<AudioRecorder> makeAudioRecorder() { return nullptr; }
std::unique_ptr<AudioFileWriter> makeAudioFileWriter() { return nullptr; }
std::unique_ptr<AudioPlayer> makeAudioPlayer() { return nullptr; }

} // namespace parlivo
