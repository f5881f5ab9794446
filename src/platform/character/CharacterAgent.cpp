#include "platform/character/CharacterAgent.h"

#include "platform/character/CharacterWindow.h"
#include "platform/desktop/WindowPlacement.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPainter>
#include <QRegularExpression>

#include <algorithm>
#include <cmath>

namespace parlivo {

namespace {

constexpr int FrameMs = 33;
constexpr double FlySpeed = 700.0;   // pixels per second
constexpr double FlyMin = 0.35, FlyMax = 1.8;
constexpr double SmoothSeconds = 0.045;
// Seconds (real time) the speech component gets to start speaking before the character
// falls back to miming the line.
constexpr double SpeechStartWait = 4.0;

double ease(double u)
{
    u = std::clamp(u, 0.0, 1.0);
    return u * u * (3.0 - 2.0 * u);
}

QString shortText(const QString &text)
{
    return text.size() > 60 ? text.left(57) + QStringLiteral("...") : text;
}

} // namespace

QString CharacterAgent::Request::describe() const
{
    switch (type) {
    case Show: return QStringLiteral("Show");
    case Hide: return QStringLiteral("Hide");
    case MoveTo: return QStringLiteral("MoveTo %1,%2").arg(to.x()).arg(to.y());
    case Speak: return QStringLiteral("Speak \"%1\"").arg(shortText(text));
    case Play: return QStringLiteral("Play %1").arg(text);
    }
    return {};
}

double CharacterAgent::estimatedSpeechSeconds(const QString &text)
{
    static const QRegularExpression words(QStringLiteral("[\\w']+"));
    static const QRegularExpression pauses(QStringLiteral("\\.{2,}|[,;:!?]"));
    auto count = [&text](const QRegularExpression &re) {
        int n = 0;
        for (auto it = re.globalMatch(text); it.hasNext(); it.next())
            ++n;
        return double(n);
    };
    const double n = count(words);
    const double p = count(pauses);
    // About 160 words a minute, with a breath at every run of dots and punctuation.
    return std::clamp(0.5 + n * 0.375 + p * 0.22, 0.8, 40.0);
}

CharacterAgent::CharacterAgent(std::unique_ptr<CharacterData> data, SpeechFactory speech, QObject *parent)
    : HelpCharacter(parent), m_data(std::move(data)), m_speechFactory(std::move(speech))
{
    m_window = new CharacterWindow(m_data->size);
    m_timer.setInterval(FrameMs);
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &CharacterAgent::tick);
    m_clock.start();
}

CharacterAgent::~CharacterAgent()
{
    m_timer.stop();
    if (m_engine && m_speaking)
        m_engine->stop();
    delete m_window.data();
}

void CharacterAgent::setOwnerWindow(QWidget *owner, bool inside)
{
    const QPoint at = standing();
    m_owner = owner;
    m_inside = owner && inside;
    if (!m_window || (!m_inside && m_window->isWindow()))
        return;
    const bool visible = m_window->isVisible();
    if (m_inside) {
        m_window->setParent(owner, Qt::Widget);
        // Clicks go to the controls beneath: the window stays usable while it speaks.
        m_window->setAttribute(Qt::WA_TransparentForMouseEvents);
    } else {
        m_window->setParent(nullptr, CharacterWindow::OwnWindowFlags);
        m_window->setAttribute(Qt::WA_TransparentForMouseEvents, false);
    }
    standAt(at);
    m_window->setVisible(visible);
    if (m_inside && visible)
        m_window->raise();
}

QPoint CharacterAgent::ownerOrigin() const
{
    // The client area's corner in Qt's own books: on Wayland not where it really is, but
    // the same origin the positions were computed from, so the difference is exact.
    return m_inside && m_owner ? m_owner->geometry().topLeft() : QPoint();
}

QPoint CharacterAgent::standing() const
{
    if (!m_window)
        return {};
    return m_window->pos() + ownerOrigin();
}

void CharacterAgent::standAt(QPoint screen)
{
    if (m_window)
        m_window->move(screen - ownerOrigin());
}

double CharacterAgent::now() const
{
    return m_clockBase + double(m_clock.elapsed() - m_clockMark) / 1000.0 * m_pace;
}

void CharacterAgent::setPace(double pace)
{
    if (!(pace > 0))
        return;
    m_clockBase = now();
    m_clockMark = m_clock.elapsed();
    m_pace = pace;
}

QString CharacterAgent::currentRequest() const
{
    return m_current ? m_current->describe() : QString();
}

void CharacterAgent::note(const QString &event, const QString &what)
{
    const QString line = QStringLiteral("%1  %2  %3")
                             .arg(QDateTime::currentDateTime().toString(QStringLiteral("HH:mm:ss.zzz")),
                                  event.leftJustified(9), what);
    m_log << line;
    if (m_log.size() > 2000)
        m_log.remove(0, 500);
    // A running record for whoever is checking the character's timing.
    static const QString path = qEnvironmentVariable("PARLIVO_CHARACTER_LOG");
    if (!path.isEmpty()) {
        QFile f(path);
        if (f.open(QIODevice::Append | QIODevice::Text))
            f.write(line.toUtf8() + '\n');
    }
}

void CharacterAgent::enqueue(Request r)
{
    note(QStringLiteral("queued"), r.describe());
    m_queue.push_back(std::move(r));
    ensureTicking();
}

void CharacterAgent::ensureTicking()
{
    if (!m_timer.isActive()) {
        m_lastFrame = now();
        m_timer.start();
    }
    // Start the new work on the next turn of the event loop rather than a frame later.
    QTimer::singleShot(0, this, &CharacterAgent::tick);
}

void CharacterAgent::Show() { enqueue({Request::Show, {}, {}}); }
void CharacterAgent::Hide() { enqueue({Request::Hide, {}, {}}); }
void CharacterAgent::MoveTo(qint16 x, qint16 y) { enqueue({Request::MoveTo, {}, QPoint(x, y)}); }
void CharacterAgent::Speak(const QString &text) { enqueue({Request::Speak, text, {}}); }
void CharacterAgent::Play(const QString &animation) { enqueue({Request::Play, animation, {}}); }

void CharacterAgent::StopAll()
{
    note(QStringLiteral("StopAll"), QStringLiteral("%1 queued").arg(m_queue.size()));
    // A speech component that failed before gets another chance with the next script,
    // so sound comes back once the audio output does.
    if (!m_engine)
        m_engineTried = false;
    for (const Request &r : m_queue)
        note(QStringLiteral("cancelled"), r.describe());
    m_queue.clear();
    if (m_current) {
        const Request r = *m_current;
        m_current.reset();
        if (m_speaking) {
            m_window->setAccessibleDescription(QString());
            // Clear first: the component may report the end of the cut speech at once.
            m_speaking = false;
            m_speechPending = false;
            if (m_engine)
                m_engine->stop();
        }
        m_anim = nullptr;
        m_flying = false;
        note(QStringLiteral("cancelled"), r.describe());
        Q_EMIT requestCancelled(r.describe());
    }
}

SpeechEngine *CharacterAgent::engine()
{
    if (m_engine || m_engineTried || !m_speechFactory)
        return m_engine.get();
    m_engineTried = true;
    m_engine = m_speechFactory();
    if (!m_engine)
        return nullptr;
    // A voice of the character's own: an English voice, lower and a touch slower than
    // the program's default, so it does not sound like the message's voice.
    int chosen = -1;
    const int n = m_engine->voiceCount();
    for (int pass = 0; pass < 3 && chosen < 0; ++pass) {
        for (int i = 0; i < n && chosen < 0; ++i) {
            const QString v = m_engine->voiceName(i).toLower();
            const bool fits = pass == 0   ? (v.contains(QLatin1String("america")) || v.contains(QLatin1String("en-us")))
                              : pass == 1 ? v.contains(QLatin1String("english")) || v.startsWith(QLatin1String("en"))
                                          : true;
            if (fits)
                chosen = i;
        }
    }
    if (chosen >= 0)
        m_engine->selectVoice(chosen);
    m_engine->setSetting(3, -4);
    m_engine->setSetting(1, -1);
    connect(m_engine.get(), &SpeechEngine::OnTTSStart, this, [this] {
        if (m_speaking && m_speechPending && m_deadline < 0) {
            // Speaking has begun: from now on only a generous safety limit applies.
            m_deadline = now() + (estimatedSpeechSeconds(m_current ? m_current->text : QString()) * 3 + 5) * m_pace;
        }
    });
    connect(m_engine.get(), &SpeechEngine::OnTTSWord, this, [this](int, int) {
        if (m_speaking)
            m_lastWord = now();
    });
    connect(m_engine.get(), &SpeechEngine::OnTTSEnd, this, [this] {
        // An end before this line's start belongs to an earlier, cut-short line.
        if (m_speaking && m_speechPending && m_deadline >= 0) {
            m_speechPending = false;
            // Not from inside the component's notification: go on from the event loop.
            QTimer::singleShot(0, this, &CharacterAgent::tick);
        }
    });
    return m_engine.get();
}

bool CharacterAgent::begin(const Request &r)
{
    m_started = now();
    m_anim = nullptr;
    switch (r.type) {
    case Request::Show:
        if (m_shown)
            return false;
        m_shown = true;
        m_snapPose = true;
        m_anim = m_data->animation(m_data->appearName);
        renderFrame();
        if (m_window) {
            m_window->show();
            // Above every control, the intro panel included.
            if (m_inside)
                m_window->raise();
        }
        return m_anim != nullptr;
    case Request::Hide:
        if (!m_shown)
            return false;
        m_anim = m_data->animation(m_data->disappearName);
        if (!m_anim) {
            if (m_window)
                m_window->hide();
            m_shown = false;
        }
        return m_anim != nullptr;
    case Request::MoveTo: {
        const QPointF from = standing();
        const double distance = std::hypot(r.to.x() - from.x(), r.to.y() - from.y());
        if (!m_shown || distance < 1.0) {
            standAt(r.to);
            return false;
        }
        m_flying = true;
        m_flyFrom = from;
        m_flyTo = r.to;
        m_deadline = m_started + std::clamp(distance / FlySpeed, FlyMin, FlyMax);
        return true;
    }
    case Request::Speak:
        m_speaking = true;
        // The words are not shown (no balloon); screen readers find them here.
        m_window->setAccessibleDescription(r.text);
        if (SpeechEngine *e = engine()) {
            m_speechPending = true;
            m_deadline = -1;   // set once the component reports the start
            e->speak(r.text, 3);
        } else {
            m_speechPending = false;
            m_deadline = m_started + estimatedSpeechSeconds(r.text);
        }
        return true;
    case Request::Play:
        m_anim = m_data->animation(r.text);
        if (!m_anim)
            note(QStringLiteral("skipped"), r.describe() + QStringLiteral(" (no such animation)"));
        return m_anim != nullptr;
    }
    return false;
}

bool CharacterAgent::currentDone() const
{
    if (!m_current)
        return true;
    const double t = now();
    switch (m_current->type) {
    case Request::Show:
    case Request::Hide:
    case Request::Play:
        return !m_anim || t - m_started >= m_anim->duration;
    case Request::MoveTo:
        return !m_flying || t >= m_deadline;
    case Request::Speak:
        if (m_speechPending && m_deadline < 0)
            return false;   // waiting for the start; tick() handles a component that never starts
        return !m_speechPending ? (m_engine ? true : t >= m_deadline) : t >= m_deadline;
    }
    return true;
}

void CharacterAgent::finishCurrent()
{
    const Request r = *m_current;
    m_current.reset();
    switch (r.type) {
    case Request::Hide:
        if (m_window)
            m_window->hide();
        m_shown = false;
        break;
    case Request::MoveTo:
        standAt(r.to);
        m_flying = false;
        break;
    case Request::Speak:
        m_speaking = false;
        m_speechPending = false;
        m_window->setAccessibleDescription(QString());
        break;
    default:
        break;
    }
    m_anim = nullptr;
    note(QStringLiteral("done"), r.describe());
    Q_EMIT requestFinished(r.describe());
}

void CharacterAgent::tick()
{
    const double t = now();
    // A speech component that never gets going: mime the line instead.
    if (m_current && m_current->type == Request::Speak && m_speechPending && m_deadline < 0
        && t - m_started > SpeechStartWait * m_pace) {
        m_speechPending = false;
        m_engine.reset();
        m_deadline = m_started + SpeechStartWait * m_pace + estimatedSpeechSeconds(m_current->text);
        note(QStringLiteral("mime"), QStringLiteral("the speech component did not start"));
    }
    for (int guard = 0; guard < 1000; ++guard) {
        if (m_current && !currentDone())
            break;
        if (m_current)
            finishCurrent();
        if (m_queue.empty())
            break;
        Request next = std::move(m_queue.front());
        m_queue.pop_front();
        m_current = next;
        note(QStringLiteral("start"), next.describe());
        Q_EMIT requestStarted(next.describe());
        if (!begin(next))
            finishCurrent();
        else if (!m_current)
            break;
    }
    const double dt = std::max(0.0, t - m_lastFrame);
    m_lastFrame = t;
    if (m_shown) {
        updatePose(dt);
        renderFrame();
    }
    if (!m_shown && !isBusy())
        m_timer.stop();
}

void CharacterAgent::updatePose(double dt)
{
    const double t = now();
    CharacterPose target;
    if (const CharacterAnimation *idle = m_data->animation(m_data->idleName))
        idle->sample(t, target);
    if (m_flying && m_current) {
        const double span = std::max(1e-3, m_deadline - m_started);
        const double u = ease((t - m_started) / span);
        const QPointF p = m_flyFrom + (m_flyTo - m_flyFrom) * u;
        standAt(p.toPoint());
        if (const CharacterAnimation *fly = m_data->animation(m_data->flyName))
            fly->sample(t - m_started, target);
        const double dir = m_flyTo.x() > m_flyFrom.x() ? 1.0 : -1.0;
        target[QStringLiteral("root.rot")] += dir * 10.0 * std::sin(M_PI * std::clamp((t - m_started) / span, 0.0, 1.0));
    }
    if (m_anim)
        m_anim->sample(t - m_started, target);
    if (m_speaking) {
        const double s = t - m_started;
        const double wave = std::abs(std::sin(s * 2 * M_PI * 2.3)) * (0.6 + 0.4 * std::sin(s * 2 * M_PI * 0.7 + 1.0));
        // Wide open on each word the component reports, chattering in between.
        const double sinceWord = (t - m_lastWord) / m_pace;
        const double onWord = sinceWord >= 0 && sinceWord < 0.18 ? 1.0 - sinceWord / 0.18 : 0.0;
        target[QStringLiteral("mouth.open")] += std::clamp(std::max(0.15 + wave, onWord), 0.0, 1.0);
        target[QStringLiteral("head.y")] += 0.7 * std::sin(s * 2 * M_PI * 1.1);
        target[QStringLiteral("brows.y")] += -1.2 * std::max(0.0, std::sin(s * 2 * M_PI * 0.45));
    }
    if (m_snapPose) {
        m_pose = target;
        m_snapPose = false;
        return;
    }
    // Ease every channel towards its target, so one motion flows into the next.
    const double k = 1.0 - std::exp(-dt / SmoothSeconds);
    for (auto it = target.constBegin(); it != target.constEnd(); ++it) {
        double &v = m_pose[it.key()];
        // The mouth snaps between its shapes rather than lagging behind the words.
        v = it.key() == QLatin1String("mouth.open") ? it.value() : v + (it.value() - v) * k;
    }
    for (auto it = m_pose.begin(); it != m_pose.end(); ++it) {
        if (!target.contains(it.key()))
            it.value() -= it.value() * k;
    }
}

void CharacterAgent::setFigureScale(double scale)
{
    const double share = scale > 0 ? std::min(scale, 1.0) : 1.0;
    const QSize size(std::max(1, int(std::lround(m_data->size.width() * share))),
                     std::max(1, int(std::lround(m_data->size.height() * share))));
    if (!m_window || m_window->size() == size)
        return;
    m_window->setFixedSize(size);
    renderFrame();
}

void CharacterAgent::renderFrame()
{
    if (m_snapPose)
        updatePose(0);
    const QSize size = m_window ? m_window->size() : m_data->size;
    // Drawn in the screen's own pixels, so it stays sharp on a scaled output.
    const qreal ratio = m_window ? std::max<qreal>(1.0, m_window->devicePixelRatioF()) : 1.0;
    QImage frame(QSize(qRound(size.width() * ratio), qRound(size.height() * ratio)), QImage::Format_ARGB32_Premultiplied);
    frame.fill(Qt::transparent);
    {
        QPainter p(&frame);
        // The figure is drawn for its own size; a smaller window shows it smaller.
        p.scale(frame.width() / double(m_data->size.width()), frame.height() / double(m_data->size.height()));
        m_data->render(p, m_pose, now());
    }
    frame.setDevicePixelRatio(ratio);
    if (m_window)
        m_window->setFrame(std::move(frame));
}

// ---------------------------------------------------------------- host

CharacterAgentHost::CharacterAgentHost(const QString &appFolder, CharacterAgent::SpeechFactory speech, QObject *parent)
    : CharacterHost(parent), m_folder(appFolder + QStringLiteral("/character")), m_speech(std::move(speech))
{
}

CharacterAgentHost::~CharacterAgentHost() = default;

bool CharacterAgentHost::load(const QString &name, const QString &file)
{
    // A bare file name, a path or a name in other capitals all find the same character:
    // what counts is the base name, looked up beside the program.
    QString base = QFileInfo(QString(file).replace(QLatin1Char('\\'), QLatin1Char('/'))).completeBaseName();
    if (base.isEmpty())
        base = name;
    QString path;
    const QStringList entries = QDir(m_folder).entryList({QStringLiteral("*.json")}, QDir::Files);
    for (const QString &e : entries) {
        if (QFileInfo(e).completeBaseName().compare(base, Qt::CaseInsensitive) == 0)
            path = m_folder + QLatin1Char('/') + e;
    }
    if (path.isEmpty()) {
        m_error = QStringLiteral("no character data for %1 in %2").arg(base, m_folder);
        return false;
    }
    // The program keeps the character it was given: loading the same name again keeps it.
    if (character(name))
        return true;
    auto data = CharacterData::load(path, &m_error);
    if (!data)
        return false;
    auto agent = std::make_unique<CharacterAgent>(std::move(data), m_speech);
    if (m_owner)
        agent->setOwnerWindow(m_owner, !topLevelPositionsHonoured());
    m_characters.emplace_back(name, std::move(agent));
    return true;
}

void CharacterAgentHost::setOwnerWindow(QWidget *window)
{
    m_owner = window;
    for (auto &entry : m_characters)
        entry.second->setOwnerWindow(window, !topLevelPositionsHonoured());
}

HelpCharacter *CharacterAgentHost::character(const QString &name)
{
    for (auto &entry : m_characters) {
        if (entry.first.compare(name, Qt::CaseInsensitive) == 0)
            return entry.second.get();
    }
    return nullptr;
}

} // namespace parlivo
