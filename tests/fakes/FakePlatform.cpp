#include "FakePlatform.h"

#include "message/MessageDraft.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace parlivo::test {

FakePlatform::FakePlatform()
{
    m_platform.createAudioRecorder = [this] {
        auto r = std::make_unique<FakeRecorder>();
        r->devices = devices;
        lastRecorder = r.get();
        return std::unique_ptr<AudioRecorder>(std::move(r));
    };
    m_platform.createAudioFileWriter = [this] {
        auto w = std::make_unique<FakeFileWriter>();
        lastWriter = w.get();
        return std::unique_ptr<AudioFileWriter>(std::move(w));
    };
    m_platform.createAudioPlayer = [this] {
        auto p = std::make_unique<FakePlayer>();
        lastPlayer = p.get();
        return std::unique_ptr<AudioPlayer>(std::move(p));
    };
    m_platform.createSpeechEngine = [this](const QString &classId) -> std::unique_ptr<SpeechEngine> {
        if (!speechAvailable || classId != QLatin1String(SpeechEngineClassId))
            return nullptr;
        auto s = std::make_unique<FakeSpeechEngine>();
        s->format = speechInitialFormat;
        lastSpeech = s.get();
        ++speechEnginesMade;
        return s;
    };
    m_platform.createSftpClient = [this] {
        auto s = std::make_unique<FakeSftpClient>();
        lastSftp = s.get();
        return std::unique_ptr<SftpClient>(std::move(s));
    };
    m_platform.createCharacterHost = [this] {
        auto h = std::make_unique<FakeCharacterHost>();
        h->loadable = characterLoadable;
        lastCharacterHost = h.get();
        return std::unique_ptr<CharacterHost>(std::move(h));
    };
    m_platform.fileDialog = &fileDialog;
    m_platform.inputPrompt = &inputPrompt;
    m_platform.messageBox = &messageBox;
    m_platform.clipboard = &clipboard;
    m_platform.shell = &shell;
    m_platform.driveInfo = &driveInfo;
    m_platform.balloonTips = &balloonTips;
    // The picture choice is program-wide: every test starts without one.
    my_picture.clear();
    wants_picture = false;
}

std::unique_ptr<frmMAIN> FakePlatform::makeWindow(bool runDeferredLoad)
{
    auto w = std::make_unique<frmMAIN>(m_platform, appFolder());
    w->Form_Load();
    if (runDeferredLoad)
        w->runDeferredLoad();
    return w;
}

QString FakePlatform::plant(const QString &relativePath, const QByteArray &content)
{
    const QString path = appFolder() + QLatin1Char('/') + relativePath;
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    if (f.open(QIODevice::WriteOnly))
        f.write(content);
    return path;
}

} // namespace parlivo::test
