// The optional page elements as the user reaches them from the main window: the
// text message, the link, the background sound and the seven video commands.
#include "content/OptionalElements.h"
#include "fakes/FakePlatform.h"
#include "fakes/UserInput.h"
#include "platform/desktop/QtDesktop.h"

#include <QAction>
#include <QCoreApplication>
#include <QMenu>
#include <QLineEdit>
#include <QPushButton>
#include <gtest/gtest.h>

using namespace parlivo;
using parlivo::test::FakePlatform;

namespace {

struct Elements : ::testing::Test
{
    FakePlatform fake;
    std::unique_ptr<frmMAIN> w = fake.makeWindow();
};

// Lets the window finish what an answer set off.
void settle()
{
    QCoreApplication::processEvents();
}

QAction *menuEntry(frmMAIN &w, const char *name)
{
    return w.findChild<QAction *>(QLatin1String(name));
}

} // namespace

TEST_F(Elements, TextMessageIsStoredAsTypedAndOnlyANonEmptyOneIsAnnounced)
{
    w->setStatus("before");
    fake.inputPrompt.answers = {"  <b>Hi</b> & \"bye\"  \r\nsecond line"};
    w->Button12->click();
    ASSERT_EQ(fake.inputPrompt.prompts.size(), 1);
    EXPECT_EQ(fake.inputPrompt.prompts[0],
              "Add any SHORT {as this feature is limited} text message you want added to your web page here...");
    EXPECT_EQ(fake.inputPrompt.titles[0], "Parlivo");
    EXPECT_EQ(w->draft.my_text_message, "  <b>Hi</b> & \"bye\"  \r\nsecond line");
    settle();
    EXPECT_EQ(w->status(), "Text message accepted and will be added...");

    // Cancel (or an empty answer) loses the earlier text and says nothing.
    w->setStatus("unchanged");
    fake.inputPrompt.answers = {""};
    w->Button12->click();
    EXPECT_EQ(w->draft.my_text_message, "");
    settle();
    EXPECT_EQ(w->status(), "unchanged");

    // Spaces alone are a text: kept and announced.
    fake.inputPrompt.answers = {"   "};
    w->Button12->click();
    EXPECT_EQ(w->draft.my_text_message, "   ");
    settle();
    EXPECT_EQ(w->status(), "Text message accepted and will be added...");
}

TEST_F(Elements, LinkIsKeptAsTypedAndCancelNeverWithdrawsIt)
{
    QAction *entry = menuEntry(*w, "mnuADD_link");
    ASSERT_NE(entry, nullptr);
    EXPECT_FALSE(entry->isVisible());

    fake.inputPrompt.answers = {"not even an address <>&"};
    entry->trigger();   // hidden, but the command works
    ASSERT_EQ(fake.inputPrompt.prompts.size(), 1);
    const QString prompt = fake.inputPrompt.prompts[0];
    const QStringList lines = prompt.split("\r\n");
    ASSERT_EQ(lines.size(), 2) << prompt.toStdString();
    EXPECT_EQ(lines[0], "Please enter in the web link you want to add.");
    EXPECT_TRUE(lines[1].startsWith("An example might be - "));
    EXPECT_TRUE(lines[1].mid(22).startsWith("https://")) << lines[1].toStdString();
    EXPECT_EQ(fake.inputPrompt.titles[0], "Parlivo");
    EXPECT_EQ(w->draft.my_link, "not even an address <>&");
    EXPECT_TRUE(w->draft.wants_link);

    const QString status = w->status();
    fake.inputPrompt.answers = {""};
    w->mnuADD_link_Click();
    EXPECT_EQ(w->draft.my_link, "");
    EXPECT_TRUE(w->draft.wants_link);
    EXPECT_EQ(w->status(), status);

    // With no earlier link, Cancel leaves it unwanted.
    FakePlatform other;
    auto w2 = other.makeWindow();
    other.inputPrompt.answers = {""};
    w2->mnuADD_link_Click();
    EXPECT_FALSE(w2->draft.wants_link);
}

TEST_F(Elements, BackgroundSoundCancelKeepsTheEarlierChoice)
{
    QAction *entry = menuEntry(*w, "mnu_Add_backsound");
    ASSERT_NE(entry, nullptr);

    // Cancel with nothing chosen before: still nothing.
    fake.fileDialog.answers = {""};
    entry->trigger();
    EXPECT_FALSE(w->draft.wants_backsound);
    EXPECT_EQ(w->draft.my_background_wav, "");

    fake.fileDialog.answers = {"/music/birds.wav", ""};
    entry->trigger();
    EXPECT_EQ(w->draft.my_background_wav, "/music/birds.wav");
    EXPECT_TRUE(w->draft.wants_backsound);
    entry->trigger();   // cancelled
    EXPECT_EQ(w->draft.my_background_wav, "/music/birds.wav");
    EXPECT_TRUE(w->draft.wants_backsound);

    ASSERT_EQ(fake.fileDialog.calls.size(), 3u);
    for (const auto &call : fake.fileDialog.calls) {
        EXPECT_EQ(call.title, "Select wav background sound - will not be set to loop!");
        EXPECT_EQ(call.filter, "Wav files (*.wav)|*.wav|");
    }
}

TEST_F(Elements, EveryVideoCommandAsksForItsOwnKindAndRecordsItsTag)
{
    w->show();
    struct Row
    {
        const char *command, *caption, *title, *filter, *tag, *qtFilter;
    };
    const Row rows[] = {
        {"mnuAVIvideo", "Add a AVI video - the most common format for audio/video", "Select avi video to add to your page...",
         "AVI video files (*.avi)|*.avi|", "AVI", "AVI video files (*.avi)"},
        {"mnuFLV_video", "Add a FLV video - Flash format", "Select flash (flv) video to add to your page...",
         "FLV Flash video files (*.flv)|*.flv|", "FLV", "FLV Flash video files (*.flv)"},
        {"mnuAdd_MOV_video", "Add a MOV video - QuickTime\u2019s native format", "Select mov video to add to your page...",
         "MOV video files (*.mov)|*.mov|", "MOV", "MOV video files (*.mov)"},
        {"mnuMPG_VIDEO", "Add a MPG video - Moving Picture Experts Group", "Select mpg video to add to your page...",
         "MPG video files (*.mpg)|*.mpg|", "MPG", "MPG video files (*.mpg)"},
        {"mnuMPEG_video", "Add a MPEG video - Moving Picture Experts Group", "Select mpeg video to add to your page...",
         "MPG video files (*.mpeg)|*.mpeg|", "MPEG", "MPG video files (*.mpeg)"},
        {"mnuFLASH", "Add a SWF video - Flash format", "Select flash (swf) video to add to your page...",
         "SWF Flash video files (*.swf)|*.swf|", "SWF", "SWF Flash video files (*.swf)"},
        {"mnuWMFvideo", "Add a WMV video - Windows Movie Video format", "Select wmv video to add to your page...",
         "WMV video files (*.wmv)|*.wmv|", "WMV", "WMV video files (*.wmv)"},
        {"mnuMP4video", "Add a MP4 video - the format of phones and the web", "Select mp4 video to add to your page...",
         "MP4 video files (*.mp4)|*.mp4|", "MP4", "MP4 video files (*.mp4)"},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.command);
        QAction *entry = menuEntry(*w, row.command);
        ASSERT_NE(entry, nullptr);
        EXPECT_EQ(entry->text(), QString::fromUtf8(row.caption));

        const QString path = QStringLiteral("/videos/clip of ") + QLatin1String(row.tag);
        fake.fileDialog.answers = {path};
        test::chooseInMenu(w->Button21, w->mnuAddVideoMenu, entry);
        ASSERT_TRUE(QTest::qWaitFor([&] { return !w->mnuAddVideoMenu->isVisible(); }, 2000));
        ASSERT_FALSE(fake.fileDialog.calls.empty());
        EXPECT_EQ(fake.fileDialog.calls.back().title, row.title);
        EXPECT_EQ(fake.fileDialog.calls.back().filter, row.filter);
        // Only the pattern counts: the MPEG entry offers *.mpeg alone despite its "MPG" label.
        EXPECT_EQ(toQtFilter(fake.fileDialog.calls.back().filter), row.qtFilter);
        EXPECT_EQ(w->draft.my_video, path);
        EXPECT_TRUE(w->draft.wants_video);
        EXPECT_EQ(w->draft.what_format, row.tag);
    }
    EXPECT_EQ(fake.fileDialog.calls.size(), 8u);
    EXPECT_FALSE(menuEntry(*w, "mnuRAMvideo")->isVisible());
}

TEST_F(Elements, OneVideoPerMessageTheLastChoiceWinsAndCancelChangesNothing)
{
    // Cancel before any choice leaves the draft untouched.
    fake.fileDialog.answers = {""};
    w->mnuMPG_VIDEO_Click();
    EXPECT_FALSE(w->draft.wants_video);
    EXPECT_EQ(w->draft.my_video, "");
    EXPECT_EQ(w->draft.what_format, "");

    fake.fileDialog.answers = {"/v/holiday.wmv", "/v/party.avi", ""};
    w->mnuWMFvideo_Click();
    w->mnuAVIvideo_Click();
    EXPECT_EQ(w->draft.my_video, "/v/party.avi");
    EXPECT_EQ(w->draft.what_format, "AVI");

    // A cancelled MOV choice must not leave "MOV" paired with the AVI file.
    w->mnuAdd_MOV_video_Click();
    EXPECT_EQ(w->draft.my_video, "/v/party.avi");
    EXPECT_EQ(w->draft.what_format, "AVI");
    EXPECT_TRUE(w->draft.wants_video);
}

TEST_F(Elements, CommandsTouchOnlyTheirOwnFields)
{
    MessageDraft before = w->draft;
    fake.fileDialog.answers = {"/a.wav", "/b.swf"};
    fake.inputPrompt.answers = {"text", "http://x"};
    w->mnu_Add_backsound_Click();
    w->mnuFLASH_Click();
    w->Button12_Click();
    w->mnuADD_link_Click();
    EXPECT_EQ(w->draft.i_recorded, before.i_recorded);
    EXPECT_EQ(w->draft.my_recording, before.my_recording);
    EXPECT_EQ(w->draft.im_done, before.im_done);
    EXPECT_EQ(w->draft.my_page, before.my_page);
    EXPECT_FALSE(wants_picture);
    EXPECT_EQ(my_picture, "");
    EXPECT_EQ(w->draft.my_background_wav, "/a.wav");
    EXPECT_EQ(w->draft.my_video, "/b.swf");
    EXPECT_EQ(w->draft.what_format, "SWF");
    EXPECT_EQ(w->draft.my_text_message, "text");
    EXPECT_EQ(w->draft.my_link, "http://x");
}
