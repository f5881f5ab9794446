#pragma once
// The real components behind the platform interfaces.
#include "platform/Platform.h"

namespace parlivo {

std::unique_ptr<AudioRecorder> makeAudioRecorder();
std::unique_ptr<AudioFileWriter> makeAudioFileWriter();
std::unique_ptr<AudioPlayer> makeAudioPlayer();
std::unique_ptr<LoudnessMeter> makeLoudnessMeter();
std::unique_ptr<SpeechEngine> makeSpeechEngine(const QString &classId);
std::unique_ptr<SftpClient> makeSftpClient();
std::unique_ptr<CharacterHost> makeCharacterHost(const QString &appFolder);
std::unique_ptr<VideoConverter> makeVideoConverter();

} // namespace parlivo
