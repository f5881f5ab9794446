// The help topics as the main window performs them: loaded at start-up, started from the
// help menu and the intro panel, placed beside the window, and harmless to the message.
#include "ExpectedTopics.h"
#include "fakes/FakePlatform.h"
#include "help/HelpScript.h"
#include "platform/character/CharacterAgent.h"
#include "platform/character/CharacterData.h"
#include "platform/character/CharacterWindow.h"

#include <QAction>
#include <QFile>
#include <QFrame>
#include <QLineEdit>
#include <QMenu>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

using namespace parlivo;
using namespace parlivo::test;

namespace {

QByteArray shippedTopics()
{
    QFile f(QStringLiteral(PARLIVO_SOURCE_DIR "/assets/help/topics.json"));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

const ExpectedTopic &expected(const QString &name)
{
    for (const ExpectedTopic &e : expectedTopics())
        if (name == QLatin1String(e.name))
            return e;
    static const ExpectedTopic none{"", 0, 0, {}};
    return none;
}

QString moveTo(QPoint p) { return QStringLiteral("MoveTo %1,%2").arg(p.x()).arg(p.y()); }

class HelpTopics : public ::testing::Test
{
protected:
    void SetUp() override
    {
        fake.plant(QStringLiteral("help/topics.json"), shippedTopics());
        w = fake.makeWindow();
        ASSERT_NE(fake.lastCharacterHost, nullptr);
        merlin = &fake.lastCharacterHost->merlin;
    }

    QAction *action(const QString &name) { return w->findChild<QAction *>(name); }
    // Where a main-window offset lands with the window where it stands now.
    QPoint at(int dx, int dy) const
    {
        const QPoint tl = w->frameGeometry().topLeft();
        return {qRound((tl.x() * 15.0 + dx) / 15.0), qRound((tl.y() * 15.0 + dy) / 15.0)};
    }

    FakePlatform fake;
    std::unique_ptr<frmMAIN> w;
    FakeCharacter *merlin = nullptr;
};

const QStringList MenuTopics = {"mnuOverview", "mnuRULES", "mnu_REC_OPTIONS", "mnuRecord", "mnUConvert_t2s",
                                "mnu_AquireT2S", "mnuPlay_recording", "mnuAdd_picture", "mnuAddVideo", "mnuAddText",
                                "mnuOtherStuff", "mnuUplaoding", "mnuClipboard", "mnuPreview", "mnu_Why_subscription"};

} // namespace

TEST_F(HelpTopics, CharacterIsLoadedQuietlyAtStartUp)
{
    EXPECT_EQ(fake.lastCharacterHost->loads, QStringList{"Merlin|Merlin.acs"});
    EXPECT_EQ(w->help_character, merlin);
    EXPECT_EQ(merlin->language, 1033);
    EXPECT_EQ(merlin->balloon & 1, 0);
    EXPECT_TRUE(merlin->requests.isEmpty());
}

TEST_F(HelpTopics, EveryMenuEntryPerformsItsWholeScriptBesideTheWindow)
{
    const HelpScripts scripts = HelpScripts::fromJson(shippedTopics());
    w->move(40, 30);
    for (const QString &name : MenuTopics) {
        SCOPED_TRACE(name.toStdString());
        const ExpectedTopic &e = expected(name);
        merlin->requests.clear();
        ASSERT_NE(action(name), nullptr);
        EXPECT_EQ(action(name)->text(), scripts.topic(name)->caption) << "the file names its menu entry";
        action(name)->trigger();
        const QStringList r = merlin->requests;
        ASSERT_EQ(r.size(), qsizetype(e.steps.size()) + 4);
        EXPECT_EQ(r.mid(0, 3), (QStringList{"StopAll", "Show", moveTo(at(e.dx, e.dy))}));
        EXPECT_EQ(r.last(), "Hide");
        EXPECT_EQ(r.count("StopAll"), 1);
        EXPECT_EQ(r.count("Hide"), 1);
    }
}

TEST_F(HelpTopics, IntroPanelStartsTheLongRulesAndLeavesThePanelUp)
{
    EXPECT_FALSE(w->Frame1->isHidden());
    QMetaObject::invokeMethod(w.get(), "Label23_Click");
    EXPECT_EQ(merlin->requests.size(), 31 + 4);
    EXPECT_EQ(merlin->requests.at(3), "Play gestureright");
    // Clicking the picture next restarts it from its beginning.
    QMetaObject::invokeMethod(w.get(), "Image17_Click");
    EXPECT_EQ(merlin->requests.size(), 2 * 35);
    EXPECT_EQ(merlin->requests.mid(35, 4), merlin->requests.mid(0, 4));
    EXPECT_FALSE(w->Frame1->isHidden());
}

TEST_F(HelpTopics, StepTopicsBringTheirPanelForwardBeforeTheCharacterAppears)
{
    auto shown = [this] {
        QStringList out;
        for (QFrame *f : {w->Frame1, w->Frame4, w->Frame2, w->Frame7})
            if (!f->isHidden())
                out << f->objectName();
        return out;
    };
    // The panel is switched before the script is issued, not as part of it.
    w->Button14_Click();   // text to speech on view, intro still up
    ASSERT_EQ(shown(), (QStringList{"Frame1", "Frame7"}));
    action("mnuRecord")->trigger();
    EXPECT_EQ(shown(), QStringList{"Frame2"});
    EXPECT_FALSE(w->Label7->isHidden());
    action("mnUConvert_t2s")->trigger();
    EXPECT_EQ(shown(), QStringList{"Frame7"});
    action("mnu_REC_OPTIONS")->trigger();
    EXPECT_EQ(shown(), QStringList{"Frame4"});
}

TEST_F(HelpTopics, OnlyTheStepTopicsDismissTheIntro)
{
    for (const char *name : {"mnuOverview", "mnuRULES", "mnu_Why_subscription", "mnu_AquireT2S"}) {
        action(name)->trigger();
        EXPECT_FALSE(w->Frame1->isHidden()) << name;
    }
    action("mnuAdd_picture")->trigger();
    EXPECT_TRUE(w->Frame1->isHidden());
    EXPECT_FALSE(w->Label7->isHidden());
}

TEST_F(HelpTopics, TheCharacterFollowsTheWindowBetweenTopics)
{
    w->move(0, 0);
    action("mnuPreview")->trigger();
    const QString first = merlin->requests.at(2);
    w->move(123, 77);
    merlin->requests.clear();
    action("mnuPreview")->trigger();
    EXPECT_EQ(merlin->requests.at(2), moveTo(at(6100, 5450)));
    EXPECT_NE(merlin->requests.at(2), first);
    EXPECT_EQ(at(6100, 5450) - at(0, 0), QPoint(407, 363));
}

TEST_F(HelpTopics, AcquireVoicesFliesOffTheScreenAndBack)
{
    w->move(50, 60);
    action("mnu_AquireT2S")->trigger();
    const QStringList r = merlin->requests;
    ASSERT_EQ(r.size(), 27);
    // Request n + 3 is the script's step n (after StopAll, Show and the start).
    EXPECT_EQ(r.at(3 + 4), moveTo(at(7600, -540)));
    EXPECT_EQ(r.at(3 + 10), "MoveTo 10000,10000");
    EXPECT_EQ(r.at(3 + 13), moveTo(at(5100, 3250)));
    EXPECT_EQ(r.at(3 + 13), r.at(2)) << "back to where it started";
    EXPECT_EQ(r.at(3 + 21), "MoveTo -100,-100");
    EXPECT_TRUE(r.at(3 + 22).startsWith("Speak yep...this way looks"));
    EXPECT_EQ(r.at(3 + 23), "Hide");
}

TEST_F(HelpTopics, PublishingWarningPointsDownAtTheStatusLine)
{
    w->move(10, 20);
    w->performHelpTopic("PublishingWarning");
    EXPECT_EQ(merlin->requests,
              (QStringList{"StopAll", "Show", moveTo(at(4100, 4850)),
                           "Speak please don't be clicking around on any of these buttons until the files have been uploaded!.",
                           "Play gesturedown", "Speak You will be notified via the status text below.", "Hide"}));
    // An unknown topic is ignored rather than cutting short the one being performed.
    merlin->requests.clear();
    w->performHelpTopic("mnuNoSuchTopic");
    EXPECT_TRUE(merlin->requests.isEmpty());
}

TEST_F(HelpTopics, TopicsLeaveTheMessageAndTheStatusLineAlone)
{
    w->draft.i_recorded = true;
    w->draft.my_recording = "/tmp/a.mp3";
    w->draft.my_text_message = "hello";
    w->draft.my_link = "http://example.org/";
    w->draft.wants_link = true;
    w->draft.what_format = "MOV";
    w->draft.im_done = true;
    w->draft.my_page = "page.html";
    w->setStatus("Uploading...");
    const QString file = w->txtRecFilename->text();
    const MessageDraft before = w->draft;
    QSignalSpy statusChanges(w->Text1, &QLineEdit::textChanged);
    for (const QString &name : MenuTopics)
        action(name)->trigger();
    w->TellRulesOfTheRoad();
    EXPECT_EQ(w->status(), "Uploading...");
    EXPECT_EQ(statusChanges.count(), 0);
    EXPECT_EQ(w->txtRecFilename->text(), file);
    EXPECT_EQ(w->draft.i_recorded, before.i_recorded);
    EXPECT_EQ(w->draft.my_recording, before.my_recording);
    EXPECT_EQ(w->draft.my_text_message, before.my_text_message);
    EXPECT_EQ(w->draft.my_link, before.my_link);
    EXPECT_EQ(w->draft.wants_link, before.wants_link);
    EXPECT_EQ(w->draft.what_format, before.what_format);
    EXPECT_EQ(w->draft.im_done, before.im_done);
    EXPECT_EQ(w->draft.my_page, before.my_page);
}

TEST(HelpTopicsWithoutCharacter, DoNothingAndDoNotCrash)
{
    FakePlatform fake;
    fake.characterLoadable = false;
    fake.plant(QStringLiteral("help/topics.json"), shippedTopics());
    auto w = fake.makeWindow();
    EXPECT_EQ(w->help_character, nullptr);
    for (const QString &name : MenuTopics)
        w->findChild<QAction *>(name)->trigger();
    w->TellRulesOfTheRoad();
    EXPECT_TRUE(fake.lastCharacterHost->merlin.requests.isEmpty());
    // The window preparation still happens: it is not part of the script.
    EXPECT_TRUE(w->Frame1->isHidden());
}

TEST(HelpTopicsWithoutCharacter, NoCharacterComponentOrNoTopicsFileIsSilentToo)
{
    FakePlatform noHost;
    noHost.platform().createCharacterHost = nullptr;
    auto w = noHost.makeWindow();
    w->TellRulesOfTheRoad();
    EXPECT_EQ(w->help_character, nullptr);

    FakePlatform noTopics;   // a character, but no topics file beside the program
    auto w2 = noTopics.makeWindow();
    ASSERT_NE(w2->help_character, nullptr);
    w2->findChild<QAction *>("mnuRULES")->trigger();
    EXPECT_TRUE(noTopics.lastCharacterHost->merlin.requests.isEmpty());

    // Before the deferred load nothing is loaded and a topic is quietly ignored.
    FakePlatform early;
    early.plant(QStringLiteral("help/topics.json"), shippedTopics());
    auto w3 = early.makeWindow(false);
    w3->TellRulesOfTheRoad();
    EXPECT_EQ(early.lastCharacterHost, nullptr);
}

// The real character behind the window: a second topic cuts the first short at once.
TEST(HelpTopicsPerformed, ASecondTopicCancelsTheFirstMidSentence)
{
    FakePlatform fake;
    fake.plant(QStringLiteral("help/topics.json"), shippedTopics());
    FakeSpeechEngine *speech = nullptr;
    CharacterAgentHost *host = nullptr;
    fake.platform().createCharacterHost = [&] {
        auto h = std::make_unique<CharacterAgentHost>(QStringLiteral(PARLIVO_SOURCE_DIR "/assets"), [&] {
            auto e = std::make_unique<FakeSpeechEngine>();
            speech = e.get();
            return std::unique_ptr<SpeechEngine>(std::move(e));
        });
        host = h.get();
        return std::unique_ptr<CharacterHost>(std::move(h));
    };
    auto w = fake.makeWindow();
    auto *agent = qobject_cast<CharacterAgent *>(w->help_character);
    ASSERT_NE(agent, nullptr);
    agent->setPace(20);
    QStringList started;
    QObject::connect(agent, &CharacterAgent::requestStarted, [&](const QString &r) { started << r; });

    w->findChild<QAction *>("mnuPreview")->trigger();
    // Wait until the character is speaking its first line.
    ASSERT_TRUE(QTest::qWaitFor([&] { return agent->isSpeaking(); }, 5000));
    ASSERT_NE(speech, nullptr);
    Q_EMIT speech->OnTTSStart();
    EXPECT_TRUE(speech->calls.last().startsWith("speak 3 hello again...and greetings"));

    started.clear();
    speech->calls.clear();
    w->findChild<QAction *>("mnuClipboard")->trigger();
    // Cut off at once, before control returns to the event loop.
    EXPECT_EQ(speech->calls, QStringList{"stop"});
    EXPECT_FALSE(agent->isSpeaking());
    EXPECT_EQ(agent->queuedRequests(), 21 + 3);

    QTest::qWait(50);
    ASSERT_FALSE(started.isEmpty());
    EXPECT_EQ(started.first(), "Show");
    EXPECT_TRUE(started.size() < 2 || started.at(1).startsWith("MoveTo"));
    // Nothing of the first topic ran after the cut: not its rest, not its Hide.
    EXPECT_FALSE(started.contains("Hide"));
    EXPECT_TRUE(agent->isShown());
    EXPECT_TRUE(host != nullptr);
}

TEST_F(HelpTopics, TheCharacterStandsBesideWhatItExplainsAndClearOfTheStatusLine)
{
    const auto merlinData = CharacterData::load(QStringLiteral(PARLIVO_SOURCE_DIR "/assets/character/Merlin.json"));
    ASSERT_NE(merlinData, nullptr);
    const QSize frame = merlinData->size;
    const HelpScripts scripts = HelpScripts::fromJson(shippedTopics());
    const QHash<QString, QString> pointsAt = {
        {"mnu_REC_OPTIONS", "Button13"}, {"mnuRecord", "cmdRecRecord"}, {"mnUConvert_t2s", "Text4"},
        {"mnuPlay_recording", "Button4"}, {"mnuAdd_picture", "Button5"}, {"mnuAddVideo", "Button21"},
        {"mnuAddText", "Button12"},       {"mnuOtherStuff", "Button20"}, {"mnuUplaoding", "Button2"},
        {"mnuClipboard", "Button3"},      {"mnuPreview", "Button11"}};
    auto area = [](const QRect &r) { return r.isEmpty() ? 0 : r.width() * r.height(); };
    auto inWindow = [this](const char *name) {
        QWidget *c = w->findChild<QWidget *>(QLatin1String(name));
        return c ? QRect(c->mapTo(w.get(), QPoint(0, 0)), c->size()) : QRect();
    };
    const QRect status = inWindow("Text1");
    for (const QString &name : MenuTopics + QStringList{"TellRulesOfTheRoad", "PublishingWarning"}) {
        const HelpTopic *topic = scripts.topic(name);
        ASSERT_NE(topic, nullptr) << name.toStdString();
        QList<QPointF> offsets{topic->start};
        for (const ScriptStep &step : topic->steps)
            if (step.kind == ScriptStep::MoveOffset)
                offsets << step.position;
        const QRect control = pointsAt.contains(name) ? inWindow(qPrintable(pointsAt[name])) : QRect();
        for (const QPointF &offset : offsets) {
            SCOPED_TRACE(QStringLiteral("%1 at %2,%3").arg(name).arg(offset.x()).arg(offset.y()).toStdString());
            const QRect at(qRound(offset.x() / 15), qRound(offset.y() / 15), frame.width(), frame.height());
            EXPECT_LE(4 * area(at & control), area(control)) << "covers what it explains";
            EXPECT_LE(4 * area(at & status), area(status));
            if (name == "PublishingWarning")
                EXPECT_FALSE(at.intersects(status)) << "the status line shows the upload's progress meanwhile";
        }
    }
}
