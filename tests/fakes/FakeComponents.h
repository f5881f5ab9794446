#pragma once
// Fakes of the device and network components. Each records the calls made to it in
// order (calls) so tests can check sequences, and lets tests raise its notifications.
#include "platform/AudioPlayer.h"
#include "platform/AudioRecorder.h"
#include "platform/CharacterHost.h"
#include "platform/SftpClient.h"
#include "platform/SpeechEngine.h"

#include <QStringList>
#include <vector>

namespace parlivo::test {

struct FakeDevice
{
    QString name;
    bool input = true;
    QStringList sources;
    int activeSource = 0;
};

class FakeRecorder : public AudioRecorder
{
public:
    std::vector<FakeDevice> devices;
    int defaultDev = 0;
    int selectedDevice = -1, selectedSource = -1;
    int vol = 50;
    int status = 0;          // what startStatus() reports
    bool running = false;
    bool monitoring = false;
    QByteArray nextBlock;
    QStringList calls;

    int deviceCount() override { calls << "deviceCount"; return int(devices.size()); }
    int defaultDevice() override { return defaultDev; }
    void selectDevice(int d) override { calls << QStringLiteral("selectDevice %1").arg(d); selectedDevice = d; }
    int isInputDevice() override { return validDevice() && devices[selectedDevice].input ? 1 : 0; }
    QString deviceName() override { return validDevice() ? devices[selectedDevice].name : QString(); }
    int highestSourceNumber() override { return validDevice() ? int(devices[selectedDevice].sources.size()) - 1 : -1; }
    int currentSource() override { return validDevice() ? devices[selectedDevice].activeSource : -1; }
    void selectSource(int s) override { calls << QStringLiteral("selectSource %1").arg(s); selectedSource = s; }
    QString sourceName() override
    {
        return validDevice() && selectedSource >= 0 && selectedSource < devices[selectedDevice].sources.size()
                   ? devices[selectedDevice].sources[selectedSource] : QString();
    }
    bool sourceIsActive() override { return validDevice() && devices[selectedDevice].activeSource == selectedSource; }
    void makeSourceActive(bool a) override
    {
        calls << QStringLiteral("makeSourceActive %1").arg(selectedSource);
        if (a && validDevice())
            devices[selectedDevice].activeSource = selectedSource;
    }
    int volume() override { return vol; }
    void setVolume(int v) override { calls << QStringLiteral("setVolume %1").arg(v); vol = v; }
    int volumeMaximum() const override { return 100; }
    void setFormat(int rate, int ch) override { calls << QStringLiteral("setFormat %1 %2").arg(rate).arg(ch); }
    int sizeForDuration(int ms) override { return 44100 * 2 * ms / 1000; }
    void setBlockSize(int b) override { calls << QStringLiteral("setBlockSize %1").arg(b); }
    void start() override { calls << "start"; running = status >= 0; }
    int startStatus() override { return status; }
    QString lastError() const override { return status < 0 ? QStringLiteral("the device is busy") : QString(); }
    void stop() override { calls << "stop"; running = false; }
    QByteArray takeBlock() override { calls << "takeBlock"; return nextBlock; }
    void setMonitoring(bool on) override { monitoring = on; }

    void deliverBlock(const QByteArray &pcm, int n = 0) { nextBlock = pcm; Q_EMIT EndArrayRecord(n); }

private:
    bool validDevice() const { return selectedDevice >= 0 && selectedDevice < int(devices.size()); }
};

class FakeFileWriter : public AudioFileWriter
{
public:
    QStringList calls;
    int status = 0;          // what openStatus() reports after createFile
    QString path;
    QByteArray written;
    bool open = false;

    void setMp3Output(int r, int b, int c) override { calls << QStringLiteral("setMp3Output %1 %2 %3").arg(r).arg(b).arg(c); }
    void createFile(const QString &p, int mode) override
    {
        calls << QStringLiteral("createFile %1 %2").arg(p).arg(mode);
        path = p;
        open = status >= 0;
        written.clear();
    }
    int openStatus() override { return status; }
    QString lastError() const override { return status < 0 ? QStringLiteral("permission denied") : QString(); }
    int fileSampleRate() override { return 44100; }
    int fileChannelCount() override { return 1; }
    void write(const QByteArray &pcm) override { calls << "write"; written += pcm; }
    void close() override { calls << "close"; open = false; }
};

class FakePlayer : public AudioPlayer
{
public:
    QStringList calls;
    QString file;
    qint64 position = 0;

    void setFileName(const QString &p) override { calls << "setFileName " + p; file = p; }
    QString fileName() const override { return file; }
    void prepare() override { calls << "prepare"; }
    void play() override { calls << "play"; }
    void stop() override { calls << "stop"; }
    void release() override { calls << "release"; }
    qint64 time() const override { return position; }

    void tick(qint64 ms) { position = ms; Q_EMIT timeNotification(0); }
    void fail(const QString &message) { Q_EMIT errorNotification(0, 1, message); }
};

class FakeSpeechEngine : public SpeechEngine
{
public:
    QStringList calls;
    QStringList voices{QStringLiteral("English (Great Britain)"), QStringLiteral("English (America)")};
    int format = 0, option = 0, voice = -1;
    bool fileOk = true;

    int voiceCount() override { return int(voices.size()); }
    QString voiceName(int v) override { return v >= 0 && v < voices.size() ? voices[v] : QString(); }
    void selectVoice(int v) override { calls << QStringLiteral("selectVoice %1").arg(v); voice = v; }
    int outputFormat() override { return format; }
    void setOutputFormat(int f) override { calls << QStringLiteral("setOutputFormat %1").arg(f); format = f; }
    int optionCount() override { return 2; }
    void selectOption(int o) override { calls << QStringLiteral("selectOption %1").arg(o); option = o; }
    QString optionName() override { return QStringLiteral("option %1").arg(option); }
    void setSetting(int w, int v) override { calls << QStringLiteral("setSetting %1 %2").arg(w).arg(v); }
    void speak(const QString &text, int mode) override { calls << QStringLiteral("speak %1 %2").arg(mode).arg(text); }
    void speakToFile(const QString &text, const QString &path, int mode) override
    {
        calls << QStringLiteral("speakToFile %1 %2").arg(mode).arg(path);
        lastText = text;
        lastPath = path;
    }
    void stop() override { calls << "stop"; }
    QString lastText, lastPath;
};

class FakeSftpClient : public SftpClient
{
public:
    QStringList calls;
    QString host, login, password, fingerprint, knownHosts, identity, passphrase;
    QString state = QStringLiteral("Disconnected from server");
    bool useAgent = true;
    int port = 22;
    bool busy = false;

    void setHostname(const QString &h) override { calls << "setHostname " + h; host = h; }
    void setPort(int p) override { port = p; }
    void setLogin(const QString &l) override { calls << "setLogin " + l; login = l; }
    void setPassword(const QString &p) override { calls << "setPassword"; password = p; }
    void setHostKeyFingerprint(const QString &f) override { fingerprint = f; }
    void setKnownHostsFile(const QString &f) override { knownHosts = f; }
    void setUseAgent(bool use) override { useAgent = use; }
    void setIdentityFile(const QString &f) override { identity = f; }
    void setPassphrase(const QString &p) override { passphrase = p; }
    void checkFolder(const QString &r) override { calls << "checkFolder " + r; }
    QString hostKeyNote() const override { return QStringLiteral("matches the pinned host key"); }
    QString loginMethod() const override { return QStringLiteral("the password"); }
    void connectToServer() override { calls << "connect"; busy = true; }
    void putFolder(const QString &l, const QString &r, int rec) override
    {
        calls << QStringLiteral("putFolder %1 %2 %3").arg(l, r).arg(rec);
    }
    QString stateText() const override { return state; }
    bool isBusy() const override { return busy; }
    void disconnectFromServer() override { calls << "disconnect"; busy = false; }
    void cancel() override { calls << "cancel"; busy = false; }

    void changeState(const QString &s) { state = s; Q_EMIT StateChanged(0); }
};

class FakeCharacter : public HelpCharacter
{
public:
    QStringList requests;   // "StopAll", "Show", "MoveTo x,y", "Speak text", "Play name", "Hide"
    int language = 0;
    int balloon = 0x3;

    void setLanguageID(int l) override { language = l; }
    int balloonStyle() const override { return balloon; }
    void setBalloonStyle(int s) override { balloon = s; }
    void StopAll() override { requests << "StopAll"; }
    void Show() override { requests << "Show"; }
    void MoveTo(qint16 x, qint16 y) override { requests << QStringLiteral("MoveTo %1,%2").arg(x).arg(y); }
    void Speak(const QString &t) override { requests << "Speak " + t; }
    void Play(const QString &a) override { requests << "Play " + a; }
    void Hide() override { requests << "Hide"; }
};

class FakeCharacterHost : public CharacterHost
{
public:
    bool loadable = true;
    QStringList loads;
    FakeCharacter merlin;

    bool load(const QString &name, const QString &file) override
    {
        loads << name + "|" + file;
        return loadable;
    }
    HelpCharacter *character(const QString &name) override
    {
        return loadable && name == QLatin1String("Merlin") ? &merlin : nullptr;
    }
};

} // namespace parlivo::test
