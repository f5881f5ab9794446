// The presenter: placing the character beside the main window, the character's set-up,
// and the frame every script is issued in.
#include "fakes/FakeComponents.h"
#include "help/AgentPresenter.h"

#include <gtest/gtest.h>

using namespace parlivo;
using namespace parlivo::test;

TEST(PositionRule, TwipsBecomePixelsBesideTheWindow)
{
    // The worked example: (4400, 2850) at 15 twips a pixel is about 293 right, 190 down.
    EXPECT_EQ(AgentPresenter::position({0, 0}, {4400, 2850}), QPoint(293, 190));
    EXPECT_EQ(AgentPresenter::position({100, 50}, {4400, 2850}), QPoint(393, 240));
    // A window at the top-left corner: ordinary offsets stay on the screen ...
    for (QPointF offset : {QPointF(2500, 1350), QPointF(6100, 5550), QPointF(2900, 4650)}) {
        const QPoint p = AgentPresenter::position({0, 0}, offset);
        EXPECT_GE(p.x(), 0);
        EXPECT_GE(p.y(), 0);
    }
    // ... and only a subtraction from the top edge goes above it.
    EXPECT_EQ(AgentPresenter::position({0, 0}, {7600, -540}), QPoint(507, -36));
    EXPECT_EQ(AgentPresenter::position({200, 300}, {7600, -540}), QPoint(707, 264));
    EXPECT_EQ(AgentPresenter::position({-400, -20}, {1500, 150}), QPoint(-300, -10));
}

TEST(PositionRule, HalvesGoToTheEvenNeighbour)
{
    EXPECT_EQ(twipsToPixel(0, 7.5), 0);     // 0.5
    EXPECT_EQ(twipsToPixel(0, 22.5), 2);    // 1.5
    EXPECT_EQ(twipsToPixel(0, 37.5), 2);    // 2.5
    EXPECT_EQ(twipsToPixel(0, 52.5), 4);    // 3.5
    EXPECT_EQ(twipsToPixel(0, -7.5), 0);    // -0.5
    EXPECT_EQ(twipsToPixel(0, -22.5), -2);  // -1.5
    EXPECT_EQ(twipsToPixel(0, -37.5), -2);  // -2.5
    EXPECT_EQ(twipsToPixel(0, 7.6), 1);     // just over a half
    EXPECT_EQ(twipsToPixel(0, 7.4), 0);
    EXPECT_EQ(twipsToPixel(15, 7.5), 2);    // the window edge counts before rounding: 1.5
}

TEST(PositionRule, StaysWithinSixteenBits)
{
    EXPECT_EQ(twipsToPixel(32767.0 * 15, 0), 32767);
    EXPECT_EQ(twipsToPixel(40000.0 * 15, 0), 32767);
    EXPECT_EQ(twipsToPixel(-40000.0 * 15, 0), -32768);
    EXPECT_EQ(twipsToPixel(0, std::numeric_limits<double>::quiet_NaN()), 0);
}

TEST(PresenterLoad, LoadsMerlinSetsEnglishAndSwitchesOnlyTheBalloonOff)
{
    FakeCharacterHost host;
    host.merlin.balloon = 0x2F;
    AgentPresenter presenter;
    HelpCharacter *c = presenter.load(&host);
    ASSERT_EQ(c, &host.merlin);
    EXPECT_EQ(host.loads, QStringList{"Merlin|Merlin.acs"});
    EXPECT_EQ(host.merlin.language, 1033);
    EXPECT_EQ(host.merlin.balloon, 0x2E);
    EXPECT_TRUE(host.merlin.requests.isEmpty()) << "nothing is shown or said at start-up";

    // A balloon already off stays off, and other bits are untouched.
    FakeCharacterHost quiet;
    quiet.merlin.balloon = 0x4;
    presenter.load(&quiet);
    EXPECT_EQ(quiet.merlin.balloon, 0x4);
}

TEST(PresenterLoad, NoCharacterMeansNoScripts)
{
    FakeCharacterHost host;
    host.loadable = false;
    AgentPresenter presenter;
    EXPECT_EQ(presenter.load(&host), nullptr);
    EXPECT_EQ(presenter.load(nullptr), nullptr);
    HelpTopic topic{"t", {}, {100, 100}, {ScriptStep::say("hello")}};
    EXPECT_FALSE(presenter.perform(topic, {0, 0}));
    EXPECT_TRUE(host.merlin.requests.isEmpty());
}

TEST(PresenterScript, IsFramedByStopAllShowStartAndHide)
{
    FakeCharacter c;
    AgentPresenter presenter;
    presenter.setCharacter(&c);
    HelpTopic topic{"t", {}, {4400, 2850},
                    {ScriptStep::say("hi there "), ScriptStep::play("explain"), ScriptStep::moveOffset(7600, -540),
                     ScriptStep::moveScreen(10000, 10000), ScriptStep::moveScreen(-100, -100)}};
    ASSERT_TRUE(presenter.perform(topic, {10, 20}));
    EXPECT_EQ(c.requests, (QStringList{"StopAll", "Show", "MoveTo 303,210", "Speak hi there ", "Play explain",
                                       "MoveTo 517,-16", "MoveTo 10000,10000", "MoveTo -100,-100", "Hide"}));

    // The next run follows the window to where it now stands and starts from the top.
    c.requests.clear();
    presenter.perform(topic, {300, 200});
    EXPECT_EQ(c.requests.mid(0, 3), (QStringList{"StopAll", "Show", "MoveTo 593,390"}));
    EXPECT_EQ(c.requests.at(5), "MoveTo 807,164");
    EXPECT_EQ(c.requests.at(6), "MoveTo 10000,10000") << "screen positions do not follow the window";
}
