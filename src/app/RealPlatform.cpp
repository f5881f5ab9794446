#include "RealPlatform.h"

#include "platform/desktop/BalloonTipWidget.h"
#include "platform/Factories.h"
#include "platform/desktop/QtDesktop.h"

namespace parlivo {

struct RealPlatform::Services
{
    QtFileDialog fileDialog;
    QtInputPrompt inputPrompt;
    QtMessageBox messageBox;
    QtClipboard clipboard;
    QtShellOpen shell;
    PosixDriveInfo driveInfo;
    QtBalloonTipFactory balloonTips;
};

RealPlatform::RealPlatform(const QString &appFolder) : m_services(std::make_unique<Services>())
{
    m_platform.createAudioRecorder = makeAudioRecorder;
    m_platform.createAudioFileWriter = makeAudioFileWriter;
    m_platform.createAudioPlayer = makeAudioPlayer;
    m_platform.createLoudnessMeter = makeLoudnessMeter;
    m_platform.createSpeechEngine = makeSpeechEngine;
    m_platform.createSftpClient = makeSftpClient;
    m_platform.createCharacterHost = [appFolder] { return makeCharacterHost(appFolder); };
    m_platform.createVideoConverter = makeVideoConverter;
    m_platform.fileDialog = &m_services->fileDialog;
    m_platform.inputPrompt = &m_services->inputPrompt;
    m_platform.messageBox = &m_services->messageBox;
    m_platform.clipboard = &m_services->clipboard;
    m_platform.shell = &m_services->shell;
    m_platform.driveInfo = &m_services->driveInfo;
    m_platform.balloonTips = &m_services->balloonTips;
}

RealPlatform::~RealPlatform() = default;

} // namespace parlivo
