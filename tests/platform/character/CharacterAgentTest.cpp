// The help character's host: finding and loading the character, its window, and the
// request queue (order, cancellation, speech, animations looked up without case).
#include "fakes/FakeComponents.h"
#include "platform/character/CharacterAgent.h"
#include "platform/character/CharacterWindow.h"

#include <QBitmap>
#include <QDir>
#include <QFile>
#include <QPainter>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

using namespace parlivo;
using namespace parlivo::test;

namespace {

const QString Assets = QStringLiteral(PARLIVO_SOURCE_DIR "/assets");

class Character : public ::testing::Test
{
protected:
    void SetUp() override
    {
        host = std::make_unique<CharacterAgentHost>(Assets, [this]() -> std::unique_ptr<SpeechEngine> {
            ++enginesMade;
            if (!speechAvailable)
                return nullptr;
            auto e = std::make_unique<FakeSpeechEngine>();
            speech = e.get();
            return e;
        });
        ASSERT_TRUE(host->load("Merlin", "Merlin.acs")) << host->lastError().toStdString();
        agent = qobject_cast<CharacterAgent *>(host->character("Merlin"));
        ASSERT_NE(agent, nullptr);
        agent->setPace(25);
        QObject::connect(agent, &CharacterAgent::requestStarted, [this](const QString &r) { started << r; });
        QObject::connect(agent, &CharacterAgent::requestFinished, [this](const QString &r) { finished << r; });
    }

    bool waitIdle(int ms = 8000)
    {
        return QTest::qWaitFor([this] { return !agent->isBusy(); }, ms);
    }
    // The speech component says it has started, then (optionally) finished.
    void speechRuns(bool finish)
    {
        ASSERT_TRUE(QTest::qWaitFor([this] { return agent->isSpeaking() && speech; }, 5000));
        Q_EMIT speech->OnTTSStart();
        if (finish)
            Q_EMIT speech->OnTTSEnd();
    }

    bool speechAvailable = true;
    int enginesMade = 0;
    FakeSpeechEngine *speech = nullptr;
    std::unique_ptr<CharacterAgentHost> host;
    CharacterAgent *agent = nullptr;
    QStringList started, finished;
};

} // namespace

TEST(CharacterHost, FindsTheCharacterByItsFileNameBesideTheProgram)
{
    for (const char *file : {"Merlin.acs", "merlin.ACS", "C:\\Parlivo\\Merlin.acs", "Merlin"}) {
        CharacterAgentHost host(Assets, {});
        EXPECT_TRUE(host.load("Merlin", file)) << file;
        EXPECT_NE(host.character("Merlin"), nullptr);
        EXPECT_EQ(host.character("Morgana"), nullptr);
    }
    CharacterAgentHost missing(Assets, {});
    EXPECT_FALSE(missing.load("Morgana", "Morgana.acs"));
    EXPECT_EQ(missing.character("Morgana"), nullptr);

    // Loading again keeps the character the program already holds.
    CharacterAgentHost twice(Assets, {});
    twice.load("Merlin", "Merlin.acs");
    HelpCharacter *first = twice.character("Merlin");
    EXPECT_TRUE(twice.load("Merlin", "Merlin.acs"));
    EXPECT_EQ(twice.character("Merlin"), first);
}

TEST(CharacterHost, BrokenCharacterDataIsRefusedNotHalfLoaded)
{
    QTemporaryDir dir;
    QDir().mkpath(dir.path() + "/character");
    auto write = [&](const QByteArray &json) {
        QFile f(dir.path() + "/character/Merlin.json");
        f.open(QIODevice::WriteOnly | QIODevice::Truncate);
        f.write(json);
    };
    const QList<QByteArray> broken = {
        "not json",
        R"({"canvas": [200, 240], "size": [150, 180], "parts": []})",
        R"({"canvas": [200, 240], "size": [150, 180], "parts": [{"name": "a", "svg": "missing.svg", "pivot": [0, 0]}]})",
        R"({"canvas": [0, 240], "size": [150, 180], "parts": []})",
        R"({"canvas": [200, 240], "size": [150, 180], "parts": [{"name": "a", "svg": "x.svg", "parent": "b", "pivot": [0, 0]}]})",
    };
    for (const QByteArray &json : broken) {
        write(json);
        CharacterAgentHost host(dir.path(), {});
        EXPECT_FALSE(host.load("Merlin", "Merlin.acs")) << json.constData();
        EXPECT_FALSE(host.lastError().isEmpty());
        EXPECT_EQ(host.character("Merlin"), nullptr);
    }
}

TEST(CharacterData, HasEveryAnimationTheHelpUsesWhateverTheCapitals)
{
    auto data = CharacterData::load(Assets + "/character/Merlin.json");
    ASSERT_TRUE(data);
    for (const char *name : {"Greet", "Explain", "GetAttention", "GetAttentionContinued", "GestureRight", "GestureLeft",
                             "GestureUp", "GestureDown", "Think", "Pleased", "Confused", "Uncertain", "Read", "Wave",
                             "Decline", "gestureright", "Gestureleft", "gestureup", "explain", "PLEASED"})
        EXPECT_NE(data->animation(name), nullptr) << name;
    EXPECT_EQ(data->animation("Tango"), nullptr);
    const CharacterAnimation *idle = data->animation(data->idleName);
    ASSERT_NE(idle, nullptr);
    EXPECT_TRUE(idle->loop);
    for (const QString &n : {data->flyName, data->appearName, data->disappearName})
        EXPECT_NE(data->animation(n), nullptr) << n.toStdString();

    // Every one-off animation comes back to rest (or to the pose its sequel starts from),
    // so nothing jumps when the next request begins.
    for (const QString &name : data->animationNames()) {
        const CharacterAnimation *a = data->animation(name);
        if (a->loop || name == data->appearName || name == data->disappearName || name == "GetAttention")
            continue;
        CharacterPose end;
        a->sample(a->duration + 1, end);
        for (auto it = end.constBegin(); it != end.constEnd(); ++it)
            EXPECT_NEAR(it.value(), 0.0, 1e-9) << name.toStdString() << " " << it.key().toStdString();
    }
}

TEST(CharacterData, KeysEaseBetweenValuesAndLoopsWrap)
{
    CharacterAnimation a;
    a.duration = 2;
    a.tracks["x.rot"] = {{0, 0}, {1, 10}, {2, 0}};
    CharacterPose p;
    a.sample(0.5, p);
    EXPECT_NEAR(p["x.rot"], 5.0, 1e-9);
    p.clear();
    a.sample(0.25, p);
    EXPECT_LT(p["x.rot"], 2.5) << "eases in rather than moving linearly";
    p.clear();
    a.sample(-1, p);
    EXPECT_EQ(p["x.rot"], 0.0);
    a.loop = true;
    p.clear();
    a.sample(3.0, p);   // one second into the second round
    EXPECT_NEAR(p["x.rot"], 10.0, 1e-9);
}

TEST_F(Character, WindowIsAFramelessToolOnTopThatNeverTakesFocus)
{
    CharacterWindow *win = agent->window();
    const Qt::WindowFlags f = win->windowFlags();
    EXPECT_TRUE(f.testFlag(Qt::FramelessWindowHint));
    EXPECT_TRUE(f.testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_TRUE(f.testFlag(Qt::WindowDoesNotAcceptFocus));
    EXPECT_EQ(f & Qt::WindowType_Mask, Qt::Tool);
    EXPECT_TRUE(win->testAttribute(Qt::WA_TranslucentBackground));
    EXPECT_TRUE(win->testAttribute(Qt::WA_ShowWithoutActivating));
    EXPECT_EQ(win->focusPolicy(), Qt::NoFocus);
    EXPECT_FALSE(win->isVisible()) << "loading shows nothing";
}

TEST_F(Character, EveryFrameIsShapedToTheFigure)
{
    agent->Show();
    ASSERT_TRUE(waitIdle());
    CharacterWindow *win = agent->window();
    ASSERT_TRUE(win->isVisible());
    const QImage frame = win->frame();
    // Pixels are either fully drawn or fully clear: no half-covered edge can blend with
    // black where no compositor is running.
    int opaque = 0, clear = 0;
    for (int y = 0; y < frame.height(); ++y)
        for (int x = 0; x < frame.width(); ++x) {
            const int a = qAlpha(frame.pixel(x, y));
            EXPECT_TRUE(a == 0 || a == 255) << x << "," << y;
            (a ? opaque : clear)++;
        }
    EXPECT_GT(opaque, frame.width() * frame.height() / 5);
    EXPECT_GT(clear, frame.width() * frame.height() / 5);
    // The mask covers exactly the drawn pixels: corners are outside, the middle inside.
    const QRegion mask = win->mask();
    EXPECT_FALSE(mask.isEmpty());
    EXPECT_FALSE(mask.contains(QPoint(0, 0)));
    EXPECT_FALSE(mask.contains(QPoint(frame.width() - 1, frame.height() - 1)));
    EXPECT_TRUE(mask.contains(QPoint(frame.width() / 2, frame.height() / 2)));
}

TEST(CharacterWindowShape, NothingDrawnMeansNothingShown)
{
    CharacterWindow win(QSize(40, 40));
    QImage empty(40, 40, QImage::Format_ARGB32_Premultiplied);
    empty.fill(Qt::transparent);
    win.setFrame(empty);
    EXPECT_TRUE(win.frameEmpty());
    // An empty mask would show the whole window; this one shows none of it.
    EXPECT_FALSE(win.mask().isEmpty());
    EXPECT_FALSE(win.mask().intersects(QRect(0, 0, 40, 40)));

    QImage edge(2, 1, QImage::Format_ARGB32_Premultiplied);
    edge.setPixel(0, 0, qPremultiply(qRgba(200, 100, 50, 180)));
    edge.setPixel(1, 0, qPremultiply(qRgba(200, 100, 50, 40)));
    EXPECT_TRUE(hardenAlpha(edge));
    const QRgb kept = edge.pixel(0, 0);
    EXPECT_EQ(qAlpha(kept), 255);
    // Kept at its own colour (give or take rounding), not darkened towards black.
    EXPECT_NEAR(qRed(kept), 200, 2);
    EXPECT_NEAR(qGreen(kept), 100, 2);
    EXPECT_NEAR(qBlue(kept), 50, 2);
    EXPECT_EQ(qAlpha(edge.pixel(1, 0)), 0);
}

TEST_F(Character, RequestsArePerformedInOrderAndReturnAtOnce)
{
    agent->Show();
    agent->MoveTo(120, 80);
    agent->Play("gestureRIGHT");
    agent->Speak("hello there ");
    agent->Play("Tango");   // no such animation: skipped
    agent->MoveTo(200, 90);
    agent->Hide();
    EXPECT_TRUE(started.isEmpty()) << "nothing is performed inside the calls";
    EXPECT_EQ(agent->queuedRequests(), 7);

    speechRuns(true);
    ASSERT_TRUE(waitIdle());
    EXPECT_EQ(started, (QStringList{"Show", "MoveTo 120,80", "Play gestureRIGHT", "Speak \"hello there \"",
                                    "Play Tango", "MoveTo 200,90", "Hide"}));
    EXPECT_EQ(finished, started);
    EXPECT_EQ(agent->window()->pos(), QPoint(200, 90));
    EXPECT_FALSE(agent->window()->isVisible());
    EXPECT_FALSE(agent->isShown());
    ASSERT_NE(speech, nullptr);
    EXPECT_TRUE(speech->calls.contains("speak 3 hello there ")) << speech->calls.join('|').toStdString();
    // A voice of its own, made once: American English, pitched lower.
    EXPECT_EQ(enginesMade, 1);
    EXPECT_TRUE(speech->calls.contains("selectVoice 1"));
    EXPECT_TRUE(speech->calls.contains("setSetting 3 -4"));
    EXPECT_TRUE(agent->log().filter("skipped").size() == 1);
}

TEST_F(Character, StopAllCutsSpeechAndTheQueueAtOnce)
{
    agent->Show();
    agent->Speak("a long sentence that goes on and on");
    agent->Play("Explain");
    agent->Hide();
    speechRuns(false);
    ASSERT_TRUE(agent->isSpeaking());
    // Without a balloon, screen readers find the words in the window's description.
    EXPECT_EQ(agent->window()->accessibleDescription(), "a long sentence that goes on and on");
    speech->calls.clear();

    agent->StopAll();
    EXPECT_EQ(speech->calls, QStringList{"stop"});
    EXPECT_EQ(agent->window()->accessibleDescription(), "");
    EXPECT_FALSE(agent->isBusy());
    EXPECT_FALSE(agent->isSpeaking());
    // The component reporting the end of the cut sentence changes nothing.
    Q_EMIT speech->OnTTSEnd();

    // A new script starts from its own beginning; the old Hide never runs.
    started.clear();
    agent->Show();
    agent->MoveTo(50, 60);
    agent->Speak("new");
    agent->Hide();
    speechRuns(true);
    ASSERT_TRUE(waitIdle());
    EXPECT_EQ(started, (QStringList{"Show", "MoveTo 50,60", "Speak \"new\"", "Hide"}));
    EXPECT_EQ(finished.count("Hide"), 1);
    EXPECT_FALSE(finished.contains("Play Explain"));
}

TEST_F(Character, AnEndReportedBeforeTheNextLineStartsDoesNotCutThatLine)
{
    agent->Speak("first");
    speechRuns(false);
    agent->StopAll();
    agent->Speak("second");
    ASSERT_TRUE(QTest::qWaitFor([this] { return agent->isSpeaking(); }, 5000));
    Q_EMIT speech->OnTTSEnd();   // late news of the first line
    QTest::qWait(30);
    EXPECT_TRUE(agent->isSpeaking());
    EXPECT_EQ(agent->currentRequest(), "Speak \"second\"");
    Q_EMIT speech->OnTTSStart();
    Q_EMIT speech->OnTTSEnd();
    EXPECT_TRUE(waitIdle());
}

TEST_F(Character, WithoutSpeechTheMouthMovesForAboutTheLineAndTheQueueGoesOn)
{
    speechAvailable = false;
    // About 160 words a minute: forty words take some fifteen seconds, not a minute.
    const QString forty = QStringLiteral("wizard ").repeated(40);
    EXPECT_GT(CharacterAgent::estimatedSpeechSeconds(forty), 10.0);
    EXPECT_LT(CharacterAgent::estimatedSpeechSeconds(forty), 20.0);
    EXPECT_LT(CharacterAgent::estimatedSpeechSeconds("hello"), 2.0);
    EXPECT_GT(CharacterAgent::estimatedSpeechSeconds("well.... ok, yes... no!"),
              CharacterAgent::estimatedSpeechSeconds("well ok yes no"));
    agent->Show();
    agent->Speak("hello there, how are things today?");
    agent->Hide();
    ASSERT_TRUE(QTest::qWaitFor([this] { return agent->isSpeaking(); }, 5000));
    ASSERT_TRUE(waitIdle());
    EXPECT_EQ(started, (QStringList{"Show", "Speak \"hello there, how are things today?\"", "Hide"}));
    EXPECT_EQ(enginesMade, 1) << "tried once, not for every line";
    // The next script tries again, in case the sound has come back.
    speechAvailable = true;
    agent->StopAll();
    agent->Speak("again");
    speechRuns(true);
    EXPECT_TRUE(waitIdle());
    EXPECT_EQ(enginesMade, 2);
}

TEST_F(Character, MoveWhileHiddenPlacesWithoutFlyingAndShowAppearsThere)
{
    agent->MoveTo(300, 200);
    ASSERT_TRUE(waitIdle());
    EXPECT_EQ(agent->window()->pos(), QPoint(300, 200));
    EXPECT_FALSE(agent->window()->isVisible());
    agent->Show();
    agent->Show();   // already showing: nothing more to do
    agent->MoveTo(10000, 10000);
    ASSERT_TRUE(waitIdle());
    EXPECT_EQ(agent->window()->pos(), QPoint(10000, 10000));
    EXPECT_TRUE(agent->window()->isVisible());
    agent->Hide();
    agent->Hide();
    ASSERT_TRUE(waitIdle());
    EXPECT_FALSE(agent->window()->isVisible());
}

// Where top-level windows cannot be placed, the character is a child of the window it
// explains: screen positions from the window's corner land at the same place inside it,
// and a window closed first takes the character's figure with it without harm.
TEST_F(Character, InsideItsWindowScreenPositionsBecomeWindowPositions)
{
    auto owner = std::make_unique<QWidget>();
    owner->setGeometry(240, 160, 700, 500);
    owner->show();
    agent->MoveTo(260, 170);
    ASSERT_TRUE(waitIdle());
    agent->setOwnerWindow(owner.get(), true);
    EXPECT_EQ(agent->window()->parentWidget(), owner.get());
    EXPECT_EQ(agent->window()->pos(), QPoint(20, 10)) << "stays where it stood";
    agent->Show();
    agent->MoveTo(240 + 293, 160 + 190);
    ASSERT_TRUE(waitIdle());
    EXPECT_EQ(agent->window()->geometry().topLeft(), QPoint(293, 190));
    EXPECT_TRUE(agent->window()->isVisible());
    EXPECT_TRUE(agent->window()->testAttribute(Qt::WA_TransparentForMouseEvents));

    owner.reset();
    EXPECT_EQ(agent->window(), nullptr);
    agent->MoveTo(10, 10);
    agent->Hide();
    EXPECT_TRUE(waitIdle());
}
