#pragma once
// A complete platform of fakes, with a temporary application folder, and the main
// window built on it. Components made by the factories stay reachable through the
// last* pointers (owned by the window once made).
#include "FakeComponents.h"
#include "FakeDesktop.h"
#include "app/frmMAIN.h"
#include "platform/Platform.h"

#include <QTemporaryDir>
#include <memory>

namespace parlivo::test {

class FakePlatform
{
public:
    FakePlatform();

    Platform &platform() { return m_platform; }
    QString appFolder() const { return m_dir.path(); }

    // Behaviour of the components the factories make next.
    std::vector<FakeDevice> devices{{QStringLiteral("Microphone"), true, {QStringLiteral("Microphone"), QStringLiteral("Line In")}, 0}};
    bool speechAvailable = true;
    int speechInitialFormat = 0;   // the output format a new speech component starts with
    bool characterLoadable = true;

    FakeRecorder *lastRecorder = nullptr;
    FakeFileWriter *lastWriter = nullptr;
    FakePlayer *lastPlayer = nullptr;
    FakeSpeechEngine *lastSpeech = nullptr;
    int speechEnginesMade = 0;
    FakeSftpClient *lastSftp = nullptr;
    FakeCharacterHost *lastCharacterHost = nullptr;

    FakeFileDialog fileDialog;
    FakeInputPrompt inputPrompt;
    FakeMessageBox messageBox;
    FakeClipboard clipboard;
    FakeShellOpen shell;
    FakeDriveInfo driveInfo;
    FakeBalloonTipFactory balloonTips;

    // A main window with Form_Load and the deferred load already run.
    std::unique_ptr<frmMAIN> makeWindow(bool runDeferredLoad = true);

    // Writes a file under the application folder and returns its path.
    QString plant(const QString &relativePath, const QByteArray &content = "x");

private:
    QTemporaryDir m_dir;
    Platform m_platform;
};

} // namespace parlivo::test
