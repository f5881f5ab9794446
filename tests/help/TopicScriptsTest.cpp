// The shipped help topics against what each topic must perform, and the topics file
// reader's handling of damaged files.
#include "ExpectedTopics.h"
#include "help/HelpScript.h"
#include "platform/character/CharacterData.h"

#include <QFile>
#include <gtest/gtest.h>

using namespace parlivo;
using namespace parlivo::test;

namespace {

const QString TopicsFile = QStringLiteral(PARLIVO_SOURCE_DIR "/assets/help/topics.json");

const HelpScripts &shipped()
{
    static const HelpScripts s = HelpScripts::fromFile(TopicsFile);
    return s;
}

QString describe(const ScriptStep &s)
{
    switch (s.kind) {
    case ScriptStep::Say: return "say:" + s.text;
    case ScriptStep::Play: return "play:" + s.text;
    case ScriptStep::MoveOffset: return QStringLiteral("move:%1,%2").arg(s.position.x()).arg(s.position.y());
    case ScriptStep::MoveScreen: return QStringLiteral("screen:%1,%2").arg(s.position.x()).arg(s.position.y());
    }
    return {};
}

} // namespace

TEST(ShippedTopics, ReadWithoutComplaint)
{
    EXPECT_TRUE(shipped().errors().isEmpty()) << shipped().errors().join('\n').toStdString();
    EXPECT_EQ(shipped().size(), int(expectedTopics().size()));
}

TEST(ShippedTopics, StartsStepsMovesAnimationsAndWordsAreAsRequired)
{
    for (const ExpectedTopic &e : expectedTopics()) {
        SCOPED_TRACE(e.name);
        const HelpTopic *t = shipped().topic(QLatin1String(e.name));
        ASSERT_NE(t, nullptr);
        EXPECT_EQ(t->start, QPointF(e.dx, e.dy));
        ASSERT_EQ(t->steps.size(), qsizetype(e.steps.size()));
        for (size_t i = 0; i < e.steps.size(); ++i) {
            SCOPED_TRACE(i + 1);
            const QString want = QString::fromUtf8(e.steps[i]);
            const QString got = describe(t->steps[qsizetype(i)]);
            if (want.startsWith("begins:")) {
                const QString opening = want.mid(7);
                ASSERT_EQ(t->steps[qsizetype(i)].kind, ScriptStep::Say);
                const QString line = t->steps[qsizetype(i)].text;
                EXPECT_TRUE(line.startsWith(opening)) << line.toStdString();
                // The line goes on past its opening words and says something.
                EXPECT_GT(line.size(), opening.size() + 8) << line.toStdString();
            } else {
                EXPECT_EQ(got, want);
            }
        }
    }
}

TEST(ShippedTopics, StepCountsMatchTheHelpMenu)
{
    const QList<QPair<QString, int>> menu = {
        {"mnuOverview", 16}, {"mnuRULES", 22}, {"mnu_REC_OPTIONS", 20}, {"mnuRecord", 33},
        {"mnUConvert_t2s", 32}, {"mnu_AquireT2S", 23}, {"mnuPlay_recording", 17}, {"mnuAdd_picture", 11},
        {"mnuAddVideo", 12}, {"mnuAddText", 11}, {"mnuOtherStuff", 14}, {"mnuUplaoding", 13},
        {"mnuClipboard", 21}, {"mnuPreview", 11}, {"mnu_Why_subscription", 21}};
    for (const auto &[name, steps] : menu) {
        const HelpTopic *t = shipped().topic(name);
        ASSERT_NE(t, nullptr) << name.toStdString();
        EXPECT_EQ(t->steps.size(), steps) << name.toStdString();
        EXPECT_FALSE(t->caption.isEmpty()) << name.toStdString();
    }
    EXPECT_EQ(shipped().topic("TellRulesOfTheRoad")->steps.size(), 31);
}

TEST(ShippedTopics, TheTwoRulesScriptsShareTheirStartButNotTheirWords)
{
    const HelpTopic *shortRules = shipped().topic("mnuRULES");
    const HelpTopic *longRules = shipped().topic("TellRulesOfTheRoad");
    ASSERT_TRUE(shortRules && longRules);
    EXPECT_EQ(shortRules->start, longRules->start);
    EXPECT_EQ(longRules->steps.first(), ScriptStep::play("gestureright"));
    // The upload-size sentence and the page-name sentence are worded differently.
    EXPECT_NE(shortRules->steps[9].text, longRules->steps[10].text);
    EXPECT_NE(shortRules->steps[12].text, longRules->steps[13].text);
    // Only the long one speaks of copyright and of pages kept for 10 days.
    auto mentions = [](const HelpTopic *t, const QString &word) {
        for (const ScriptStep &s : t->steps)
            if (s.kind == ScriptStep::Say && s.text.contains(word, Qt::CaseInsensitive))
                return true;
        return false;
    };
    EXPECT_TRUE(mentions(longRules, "copyright"));
    EXPECT_TRUE(mentions(longRules, "10 days"));
    EXPECT_FALSE(mentions(shortRules, "copyright"));
    EXPECT_FALSE(mentions(shortRules, "10 days"));
}

TEST(ShippedTopics, EveryAnimationTheyNameIsOneTheCharacterHas)
{
    QString error;
    auto character = CharacterData::load(PARLIVO_SOURCE_DIR "/assets/character/Merlin.json", &error);
    ASSERT_TRUE(character) << error.toStdString();
    for (const QString &name : shipped().names()) {
        for (const ScriptStep &s : shipped().topic(name)->steps) {
            if (s.kind == ScriptStep::Play) {
                EXPECT_NE(character->animation(s.text), nullptr) << name.toStdString() << ": " << s.text.toStdString();
            }
        }
    }
}

TEST(TopicsFile, DamageIsContainedToTheTopicItHits)
{
    const QByteArray json = R"({"topics": {
        "good":   {"start": [100, -200.5], "steps": [{"say": "hello "}, {"play": "Wave"}, {"move": [1, 2]}, {"screen": [-100, -100]}]},
        "badKind":{"start": [0, 0], "steps": [{"say": "first"}, {"dance": "tango"}]},
        "badMove":{"start": [0, 0], "steps": [{"move": [1]}]},
        "noStart":{"steps": [{"say": "x"}]},
        "twoKeys":{"start": [0, 0], "steps": [{"say": "x", "play": "y"}]},
        "empty":  {"start": [0, 0], "steps": [{"say": ""}]},
        "beyondFloat": {"start": [0, 0], "steps": [{"move": [281e50, 0]}]}
    }})";
    const HelpScripts s = HelpScripts::fromJson(json);
    EXPECT_EQ(s.names(), QStringList{"good"});
    EXPECT_EQ(s.errors().size(), 6);
    const HelpTopic *g = s.topic("good");
    ASSERT_NE(g, nullptr);
    EXPECT_EQ(g->start, QPointF(100, -200.5));
    EXPECT_EQ(g->steps, (QVector<ScriptStep>{ScriptStep::say("hello "), ScriptStep::play("Wave"),
                                             ScriptStep::moveOffset(1, 2), ScriptStep::moveScreen(-100, -100)}));
    EXPECT_EQ(s.topic("badKind"), nullptr) << "half a script would point at the wrong control";
}

TEST(TopicsFile, UnreadableOrNotJsonGivesNoTopicsAndSaysWhy)
{
    for (const QByteArray &junk : {QByteArray(), QByteArray("{"), QByteArray("[1,2]"), QByteArray("\xff\xfe"),
                                 QByteArray(R"({"topic": {}})")}) {
        const HelpScripts s = HelpScripts::fromJson(junk);
        EXPECT_TRUE(s.isEmpty());
        EXPECT_FALSE(s.errors().isEmpty());
    }
    const HelpScripts missing = HelpScripts::fromFile("/nonexistent/topics.json");
    EXPECT_TRUE(missing.isEmpty());
    EXPECT_EQ(missing.topic("mnuRULES"), nullptr);
}
