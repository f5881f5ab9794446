#pragma once
// The help character as the program drives it: requests are queued and performed one
// after the other on the UI thread's timer, every call returns at once, and StopAll cuts
// everything short (speech included). Speech goes through the program's speech
// component with a voice of the character's own; without one the mouth still moves for
// about as long as the words would take, so the queue keeps going.
#include "platform/character/CharacterData.h"
#include "platform/character/CharacterWindow.h"
#include "platform/CharacterHost.h"
#include "platform/SpeechEngine.h"

#include <QElapsedTimer>
#include <QPoint>
#include <QPointF>
#include <QPointer>
#include <QStringList>
#include <QTimer>

#include <deque>
#include <functional>
#include <memory>
#include <optional>

namespace parlivo {

class CharacterAgent : public HelpCharacter
{
    Q_OBJECT
public:
    using SpeechFactory = std::function<std::unique_ptr<SpeechEngine>()>;

    CharacterAgent(std::unique_ptr<CharacterData> data, SpeechFactory speech, QObject *parent = nullptr);
    ~CharacterAgent() override;

    void setLanguageID(int language) override { m_language = language; }
    int languageID() const { return m_language; }
    int balloonStyle() const override { return m_balloonStyle; }
    void setBalloonStyle(int style) override { m_balloonStyle = style; }

    void StopAll() override;
    void Show() override;
    void MoveTo(qint16 x, qint16 y) override;
    void Speak(const QString &text) override;
    void Play(const QString &animation) override;
    void Hide() override;
    void setFigureScale(double scale) override;

    // Runs the character's clock faster (tests) or slower; 1 is real time.
    void setPace(double pace);
    // Performs due work now instead of waiting for the next frame (tests).
    void advance() { tick(); }

    // Where top-level windows cannot be placed (Wayland), the character is drawn inside
    // owner as a child above its controls; elsewhere it keeps a window of its own and
    // owner only serves to stack it. MoveTo's screen positions are turned into owner's
    // coordinates by the same origin the positions were computed from, so a topic's
    // offsets keep meaning the same place in the window.
    void setOwnerWindow(QWidget *owner, bool inside);
    bool isInsideOwner() const { return m_inside; }

    const CharacterData &data() const { return *m_data; }
    CharacterWindow *window() const { return m_window.data(); }
    bool isShown() const { return m_shown; }
    bool isBusy() const { return m_current.has_value() || !m_queue.empty(); }
    bool isSpeaking() const { return m_speaking; }
    QString currentRequest() const;
    int queuedRequests() const { return int(m_queue.size()); }
    // Every queued, started, finished, skipped and cancelled request, with its time.
    const QStringList &log() const { return m_log; }
    SpeechEngine *speechEngine() const { return m_engine.get(); }
    // Seconds a text takes to say when no speech component can say it.
    static double estimatedSpeechSeconds(const QString &text);

Q_SIGNALS:
    void requestStarted(const QString &request);
    void requestFinished(const QString &request);
    void requestCancelled(const QString &request);

private:
    struct Request
    {
        enum Type { Show, Hide, MoveTo, Speak, Play } type;
        QString text;
        QPoint to;
        QString describe() const;
    };

    void enqueue(Request r);
    void tick();
    // Begins the next request; false when it finished at once (nothing to do or skipped).
    bool begin(const Request &r);
    bool currentDone() const;
    void finishCurrent();
    void ensureTicking();
    void updatePose(double dt);
    void renderFrame();
    void note(const QString &event, const QString &what);
    // The character's top-left corner in screen pixels, as MoveTo takes it.
    QPoint standing() const;
    void standAt(QPoint screen);
    QPoint ownerOrigin() const;
    double now() const;
    SpeechEngine *engine();

    std::unique_ptr<CharacterData> m_data;
    SpeechFactory m_speechFactory;
    std::unique_ptr<SpeechEngine> m_engine;
    bool m_engineTried = false;
    // Owned by the agent; inside an owner window, that window may delete it first.
    QPointer<CharacterWindow> m_window;
    QPointer<QWidget> m_owner;
    bool m_inside = false;
    QTimer m_timer;
    QElapsedTimer m_clock;
    double m_pace = 1.0;
    double m_clockBase = 0;   // seconds accumulated before the last pace change
    qint64 m_clockMark = 0;
    double m_lastFrame = 0;

    int m_language = 0;
    int m_balloonStyle = 0x1;

    std::deque<Request> m_queue;
    std::optional<Request> m_current;
    double m_started = 0;
    double m_deadline = 0;
    const CharacterAnimation *m_anim = nullptr;   // the one-off animation now playing
    bool m_flying = false;
    QPointF m_flyFrom, m_flyTo;
    bool m_speaking = false;
    bool m_speechPending = false;
    double m_lastWord = -1e9;
    bool m_shown = false;
    bool m_snapPose = true;
    CharacterPose m_pose;
    QStringList m_log;
};

class CharacterAgentHost : public CharacterHost
{
    Q_OBJECT
public:
    // Character files are looked for in appFolder/character/ by the file's base name.
    CharacterAgentHost(const QString &appFolder, CharacterAgent::SpeechFactory speech, QObject *parent = nullptr);
    ~CharacterAgentHost() override;

    bool load(const QString &name, const QString &file) override;
    HelpCharacter *character(const QString &name) override;
    // Where top-level positions are not honoured, the characters are drawn inside window.
    void setOwnerWindow(QWidget *window) override;
    QString lastError() const { return m_error; }

private:
    QString m_folder;
    CharacterAgent::SpeechFactory m_speech;
    std::vector<std::pair<QString, std::unique_ptr<CharacterAgent>>> m_characters;
    QPointer<QWidget> m_owner;
    QString m_error;
};

} // namespace parlivo
