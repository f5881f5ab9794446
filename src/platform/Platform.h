#pragma once
// Everything the forms reach outside the program, handed to them as one bundle so
// tests can substitute fakes. Components the main window owns are made by factories;
// stateless services are shared and outlive the forms.
#include "AudioPlayer.h"
#include "AudioRecorder.h"
#include "BalloonTip.h"
#include "CharacterHost.h"
#include "Desktop.h"
#include "LoudnessMeter.h"
#include "SftpClient.h"
#include "SpeechEngine.h"
#include "VideoConverter.h"

#include <functional>
#include <memory>

namespace parlivo {

// The class identifier by which the speech component is created.
inline constexpr const char *SpeechEngineClassId = "TTSObj.TextToSpeech.1";

struct Platform
{
    std::function<std::unique_ptr<AudioRecorder>()> createAudioRecorder;
    std::function<std::unique_ptr<AudioFileWriter>()> createAudioFileWriter;
    std::function<std::unique_ptr<AudioPlayer>()> createAudioPlayer;
    // Called on the worker thread that measures; each call makes a meter of its own.
    std::function<std::unique_ptr<LoudnessMeter>()> createLoudnessMeter;
    // nullptr when no component is registered under classId or it cannot start.
    std::function<std::unique_ptr<SpeechEngine>(const QString &classId)> createSpeechEngine;
    std::function<std::unique_ptr<SftpClient>()> createSftpClient;
    std::function<std::unique_ptr<CharacterHost>()> createCharacterHost;
    std::function<std::unique_ptr<VideoConverter>()> createVideoConverter;

    FileDialog *fileDialog = nullptr;
    InputPrompt *inputPrompt = nullptr;
    MessageBox *messageBox = nullptr;
    Clipboard *clipboard = nullptr;
    ShellOpen *shell = nullptr;
    DriveInfo *driveInfo = nullptr;
    BalloonTipFactory *balloonTips = nullptr;
};

} // namespace parlivo
