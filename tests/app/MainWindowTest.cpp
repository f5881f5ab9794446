// The main window offscreen: its controls, menus, panels, clock, tips and shutdown.
#include "app/widgets/ClickLabel.h"
#include "app/widgets/ToolTipTable.h"
#include "app/dialogs/frnAbout.h"
#include "fakes/FakePlatform.h"

#include <QAccessible>
#include <QApplication>
#include <QRegularExpression>
#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QUrl>
#include <gtest/gtest.h>
#include <optional>

using namespace parlivo;
using namespace parlivo::test;

namespace {

QRect twips(int l, int t, int w, int h)
{
    return QRect(l / 15, t / 15, w / 15, h / 15);
}

QStringList captions(QMenu *menu, bool visibleOnly)
{
    QStringList out;
    for (QAction *a : menu->actions())
        if (!visibleOnly || a->isVisible())
            out << a->objectName() + "=" + a->text();
    return out;
}

class MainWindow : public ::testing::Test
{
protected:
    FakePlatform fake;
    std::unique_ptr<frmMAIN> w = fake.makeWindow();

    template<typename T = QWidget> T *child(const char *name)
    {
        return w->findChild<T *>(QLatin1String(name));
    }
};

} // namespace

TEST_F(MainWindow, IsFixedBorderlessAndNamed)
{
    EXPECT_EQ(w->objectName(), "frmMAIN");
    EXPECT_EQ(w->size(), QSize(752, 509));
    EXPECT_EQ(w->minimumSize(), w->maximumSize());
    EXPECT_TRUE(w->windowFlags() & Qt::FramelessWindowHint);
}

TEST_F(MainWindow, WindowLevelControlsSitWhereDesigned)
{
    const struct { const char *name; QRect rect; const char *text; } expected[] = {
        {"Label14", twips(840, 360, 9375, 495), "Parlivo z2006.8.3"},
        {"Label16", twips(8760, 120, 495, 495), "!"},
        {"Label17", twips(9240, 120, 495, 375), "up"},
        {"Label15", twips(9720, 120, 495, 495), "?"},
        {"Label11", twips(10200, 0, 495, 375), "_"},
        {"Label12", twips(10680, 120, 495, 495), "X"},
        {"Frame1", twips(480, 960, 10215, 6135), nullptr},
        {"Label7", twips(840, 6240, 2535, 375), nullptr},
        {"Frame4", twips(2040, 1080, 4095, 2415), nullptr},
        {"Frame2", twips(1680, 1080, 4455, 2415), nullptr},
        {"Frame7", twips(600, 960, 6015, 2415), nullptr},
        {"Frame3", twips(720, 3480, 2895, 2895), nullptr},
        {"Label13", twips(4080, 4080, 2775, 855), "Step 3: Add a picture, video, text message or other stuff if you want..."},
        {"Label4", twips(7080, 1680, 2895, 1455),
         "Step 4: Please be sure you are connected to the INTERNET!  Clicking below sends your created Web Message to the web site for viewing."},
        {"Label5", twips(7440, 4080, 3375, 1095),
         "Step 5: Clicking the below button copies the link (special text) to Windows internal memory (clipboard) for you...."},
        {"Label18", twips(7560, 6240, 1095, 495), "When all is said & done >>>"},
        {"Text1", twips(480, 6720, 10215, 495), nullptr},
    };
    for (const auto &e : expected) {
        QWidget *c = child(e.name);
        ASSERT_NE(c, nullptr) << e.name;
        EXPECT_EQ(c->geometry(), e.rect) << e.name;
        if (e.text) {
            auto *label = qobject_cast<QLabel *>(c);
            ASSERT_NE(label, nullptr) << e.name;
            EXPECT_EQ(label->text(), QString::fromUtf8(e.text)) << e.name;
        }
    }
    EXPECT_EQ(child("Image3")->geometry().topLeft(), QPoint(0, 0));
    EXPECT_FALSE(child("txtRecFilename")->isVisibleTo(w.get()));
}

TEST_F(MainWindow, ButtonsCarryTheirCaptions)
{
    const std::pair<const char *, const char *> buttons[] = {
        {"Button13", "Record audio - your voice via microphone"},
        {"Button14", "Convert text to audio - enter or paste text then have the software convert to audio..."},
        {"Button6", "Select to use a previosly recorded mp3 file for your audio message..."},
        {"cmdRecRecord", "Record"}, {"cmdRecStop", "Stop"},
        {"Button15", "Convert"}, {"Button16", "Play to Test"}, {"Button19", "Stop Playing"},
        {"Button17", "Cancel"}, {"Button18", "Cancel"},
        {"Button4", "Play current recorded"}, {"cmdAudioStop", "Stop"},
        {"Button5", "Click to add a picture to your message..."},
        {"Button12", "Option to add a text message to page!"},
        {"Button20", "Add other stuff?"}, {"Button21", "Add a video to your Web Message?"},
        {"Button22", "Software that will enhance YOUR creativity!"},
        {"Button2", "Upload created files to server..."},
        {"Button3", "Copy link to clipboard - then YOU paste into your email message..."},
        {"Button11", "Want to view your new Web Message?"},
    };
    for (const auto &[name, caption] : buttons) {
        auto *b = child<QPushButton>(name);
        ASSERT_NE(b, nullptr) << name;
        EXPECT_EQ(b->text(), QString::fromUtf8(caption)) << name;
        EXPECT_EQ(b->accessibleName(), QString::fromUtf8(caption)) << name;
    }
    EXPECT_EQ(child<QLabel>("Label19")->text(), "Step 1: Choose your recording preferance... ");
    EXPECT_EQ(child<QLabel>("Label8")->text(), "Step 1: Option to record what you want to say...");
    EXPECT_EQ(child<QLabel>("Label9")->text(), "Step 2: Listen to what you recorded...");
    EXPECT_EQ(child<QPlainTextEdit>("Text4")->toPlainText(),
              "Input what text you want to use as your message \nthen click to Play (for testing) or select to Convert...\n");
}

TEST_F(MainWindow, EveryObjectNameIsUniqueAndEveryControlHasAnAccessibleName)
{
    QSet<QString> seen;
    for (QWidget *c : w->findChildren<QWidget *>()) {
        if (c->objectName().isEmpty() || c->objectName().startsWith("qt_") || qobject_cast<QMenu *>(c))
            continue;
        EXPECT_FALSE(seen.contains(c->objectName())) << qPrintable(c->objectName());
        seen.insert(c->objectName());
        if (c->focusPolicy() != Qt::NoFocus || qobject_cast<QPushButton *>(c))
            EXPECT_FALSE(c->accessibleName().isEmpty()) << qPrintable(c->objectName());
    }
}

TEST_F(MainWindow, LabelsActingAsButtonsAreButtonsToAssistiveTechnology)
{
    for (const char *name : {"Label6", "Label11", "Label12", "Label15", "Label16", "Label17", "Label23"}) {
        auto *label = child<ClickLabel>(name);
        ASSERT_NE(label, nullptr) << name;
        QAccessibleInterface *iface = QAccessible::queryAccessibleInterface(label);
        ASSERT_NE(iface, nullptr) << name;
        EXPECT_EQ(iface->role(), QAccessible::Button) << name;
        EXPECT_FALSE(iface->text(QAccessible::Name).isEmpty()) << name;
        ASSERT_NE(iface->actionInterface(), nullptr) << name;
        EXPECT_TRUE(iface->actionInterface()->actionNames().contains(QAccessibleActionInterface::pressAction()));
    }
    // Pressing through the accessibility layer is a click.
    QAccessible::queryAccessibleInterface(child("Label6"))->actionInterface()->doAction(
        QAccessibleActionInterface::pressAction());
    EXPECT_FALSE(child("Frame1")->isVisibleTo(w.get()));
}

TEST_F(MainWindow, MenusHoldTheirItemsInOrder)
{
    EXPECT_EQ(captions(w->mnuHelp, false), (QStringList{
        "mnuOverview=Overview - or what's it all about?",
        "mnuRULES=Rules of the Road",
        "mnu_REC_OPTIONS=Recording options - use normal record or text 2 speech options",
        "mnuRecord=Recording a message that will be included on my web page message...",
        "mnUConvert_t2s=Convert text to audio - to be used as my pages audio message",
        "mnu_AquireT2S=Acquire more or other Text 2 Audio engines/ voices",
        "mnuPlay_recording=Playing the recording to test to make sure it's what I want...",
        "mnuAdd_picture=Adding a picture or image to my page...",
        "mnuAddVideo=Adding a video to your page",
        "mnuAddText=Adding a text message to my page...",
        "mnuOtherStuff=Add any other stuff to your page",
        "mnuUplaoding=Uploading my created files to the host server...",
        "mnuClipboard=Copy to clipboard - what does this mean?",
        "mnuPreview=View your created Web Message page option",
        "mnu_Why_subscription=Why should I give a hoot about supporting your FREE software development efforts?"}));
    EXPECT_EQ(captions(w->mnu_advanced_options, true), (QStringList{
        "mnuMIN=Note: PLEASE keep these options and size of files at a minimum - will slow down things!",
        "mnu_Add_backsound=Add a background wav file to your page - will only play at page startup",
        "mnuAutoTrim=Trim the silence and even out the level of each recording"}));
    EXPECT_FALSE(w->mnuADD_link->isVisible());
    EXPECT_EQ(captions(w->mnuAddVideoMenu, false), (QStringList{
        "mnuAVIvideo=Add a AVI video - the most common format for audio/video",
        "mnuFLV_video=Add a FLV video - Flash format",
        QString::fromUtf8("mnuAdd_MOV_video=Add a MOV video - QuickTime\u2019s native format"),
        "mnuMPG_VIDEO=Add a MPG video - Moving Picture Experts Group",
        "mnuMPEG_video=Add a MPEG video - Moving Picture Experts Group",
        "mnuRAMvideo=Add a RAM video",
        "mnuFLASH=Add a SWF video - Flash format",
        "mnuWMFvideo=Add a WMV video - Windows Movie Video format",
        "mnuMP4video=Add a MP4 video - the format of phones and the web"}));
    EXPECT_FALSE(w->mnuRAMvideo->isVisible());
    EXPECT_EQ(w->mnuHelp->title(), "Help");
    EXPECT_EQ(w->mnu_advanced_options->title(), "Options");
    EXPECT_EQ(w->mnuAddVideoMenu->title(), "Add Video");
    // The note item is advice only.
    const QString before = w->status();
    w->mnuMIN->trigger();
    EXPECT_EQ(w->status(), before);
}

TEST_F(MainWindow, IntroCoversTheStepsUntilDismissedThenTheClockShows)
{
    w->show();
    EXPECT_TRUE(child("Frame1")->isVisible());
    EXPECT_FALSE(child("Label7")->isVisible());
    // The clock runs while hidden.
    EXPECT_TRUE(w->Timer5->isActive());
    EXPECT_EQ(w->Timer5->interval(), 1000);
    EXPECT_FALSE(w->Label7->text().isEmpty());

    QTest::mouseClick(child("Label6"), Qt::LeftButton);
    EXPECT_FALSE(child("Frame1")->isVisible());
    EXPECT_TRUE(child("Label7")->isVisible());
}

TEST_F(MainWindow, ClockShowsTheLocalesDateAndTime)
{
    w->Label7->clear();
    w->Timer5_Timer();
    const QString shown = w->Label7->text();
    EXPECT_TRUE(shown.contains(QLocale().toString(QDate::currentDate(), QLocale::ShortFormat))) << qPrintable(shown);
    EXPECT_TRUE(shown.contains(QRegularExpression("\\d:\\d\\d:\\d\\d"))) << qPrintable(shown);
}

TEST_F(MainWindow, StepOnePanelsSwitchOneAtATime)
{
    w->show();
    auto visible = [&] {
        return QString("%1%2%3").arg(child("Frame4")->isVisible()).arg(child("Frame2")->isVisible()).arg(child("Frame7")->isVisible());
    };
    EXPECT_EQ(visible(), "000");   // all beneath the intro
    QTest::mouseClick(child("Label6"), Qt::LeftButton);
    EXPECT_EQ(visible(), "100");
    QTest::mouseClick(child("Button13"), Qt::LeftButton);
    EXPECT_EQ(visible(), "010");
    QTest::mouseClick(child("Button18"), Qt::LeftButton);
    EXPECT_EQ(visible(), "100");
    QTest::mouseClick(child("Button14"), Qt::LeftButton);
    EXPECT_EQ(visible(), "001");
    QTest::mouseClick(child("Button17"), Qt::LeftButton);
    EXPECT_EQ(visible(), "100");
    // Help items prepare the window: dismiss the intro and bring their panel forward.
    w->mnuRecord->trigger();
    EXPECT_EQ(visible(), "010");
    EXPECT_FALSE(child("Frame1")->isVisible());
    w->mnUConvert_t2s->trigger();
    EXPECT_EQ(visible(), "001");
    w->mnu_REC_OPTIONS->trigger();
    EXPECT_EQ(visible(), "100");
    // Steps 2 to 5 never change.
    for (const char *name : {"Frame3", "Label13", "Label4", "Label5", "Label18", "Button2", "Button3"})
        EXPECT_TRUE(child(name)->isVisible()) << name;
}

TEST_F(MainWindow, HelpItemsDismissTheIntroExceptTheVoicesTopic)
{
    w->show();
    w->mnu_AquireT2S->trigger();
    EXPECT_TRUE(child("Frame1")->isVisible());
    w->mnuOverview->trigger();
    EXPECT_TRUE(child("Frame1")->isVisible());
    w->mnuAddText->trigger();
    EXPECT_FALSE(child("Frame1")->isVisible());
    EXPECT_TRUE(child("Label7")->isVisible());
}

TEST_F(MainWindow, CancelLeavesARunningRecordingAlone)
{
    w->show();
    w->Button13_Click();
    w->Timer2->start();   // as a running recording has it
    QTest::mouseClick(child("Button18"), Qt::LeftButton);
    EXPECT_TRUE(w->Timer2->isActive());
    EXPECT_TRUE(child("Frame4")->isVisible());
}

TEST_F(MainWindow, TitleRowCommands)
{
    w->show();
    QTest::mouseClick(child("Label17"), Qt::LeftButton);
    QTest::mouseClick(child("Button22"), Qt::LeftButton);
    ASSERT_EQ(fake.shell.opened.size(), 2);
    EXPECT_NE(fake.shell.opened[0], fake.shell.opened[1]);
    // Pages that ship with the program, in its application folder.
    for (const QString &opened : fake.shell.opened) {
        const QUrl url(opened);
        ASSERT_TRUE(url.isLocalFile()) << opened.toStdString();
        EXPECT_TRUE(url.toLocalFile().startsWith(w->appFolder() + "/pages/"));
        EXPECT_TRUE(QFile::exists(QStringLiteral(PARLIVO_SOURCE_DIR "/assets/pages/") + url.fileName()));
    }

    QTest::mouseClick(child("Label16"), Qt::LeftButton);
    ASSERT_TRUE(w->aboutBox);
    EXPECT_EQ(w->aboutBox->windowTitle(), "About...");
    EXPECT_EQ(w->aboutBox->size(), QSize(751, 440));
    QTest::mouseClick(child("Label16"), Qt::LeftButton);   // one box, brought forward
    const auto tops = QApplication::topLevelWidgets();
    EXPECT_EQ(std::count_if(tops.begin(), tops.end(),
                            [](QWidget *t) { return t->objectName() == "frnAbout" && t->isVisible(); }),
              1);
    w->aboutBox->close();
}

TEST_F(MainWindow, ToolTipsFollowTheTable)
{
    ASSERT_EQ(fake.balloonTips.created.size(), size_t(BalloonTipCount));
    for (const auto &tip : fake.balloonTips.created) {
        EXPECT_TRUE(tip->activate);
        EXPECT_EQ(tip->factor, 1);
    }
    int attached = 0;
    for (int i = 0; i < BalloonTipCount; ++i)
        attached += fake.balloonTips.created[i]->control() != nullptr;
    EXPECT_EQ(attached, 26);

    auto *b2 = fake.balloonTips.created[12].data();
    EXPECT_EQ(b2->control(), child("Button2"));
    EXPECT_EQ(b2->title(), "Create your web message on the iNet");
    EXPECT_EQ(b2->icon(), 2);
    EXPECT_TRUE(b2->text().startsWith("IMPORTANT: You must be connected to the internet.\r\n\r\nClicking sends"));
    EXPECT_EQ(b2->style, 64);
    EXPECT_EQ(b2->textColor, QColor(0, 0, 200));
    EXPECT_EQ(b2->duration, 18000);

    auto *b4 = fake.balloonTips.created[4].data();
    EXPECT_EQ(b4->control(), child("Button4"));
    EXPECT_EQ(b4->text(), "TRANSFERS audio file from Step 1. to Step 2.\r\nthen auto-plays.\r\n\r\n");
    EXPECT_EQ(b4->icon(), 1);
    EXPECT_EQ(fake.balloonTips.created[20]->control(), child("frInputDevice"));
    EXPECT_EQ(fake.balloonTips.created[19]->title(), "Time");
    EXPECT_EQ(fake.balloonTips.created[1]->control(), nullptr);
}

TEST(MainWindowLifecycle, FoldersAreEmptiedAtStartAndAtCloseAndANameIsIssued)
{
    FakePlatform fake;
    const QString leftover = fake.plant("Temp/old.mp3");
    const QString leftoverPage = fake.plant("Quillbox/old.htm");
    fake.plant("Quillbox/sub/keep.txt");
    fake.driveInfo.serial = -987654321;
    auto w = fake.makeWindow(false);
    EXPECT_FALSE(QFile::exists(leftover));
    EXPECT_FALSE(QFile::exists(leftoverPage));
    EXPECT_TRUE(QFile::exists(fake.appFolder() + "/Quillbox/sub/keep.txt"));
    EXPECT_TRUE(QDir(fake.appFolder() + "/Temp").exists());
    EXPECT_TRUE(w->txtRecFilename->text().contains(
        QRegularExpression("^" + QRegularExpression::escape(fake.appFolder()) + "/Temp/987654321_\\d\\d_\\d\\d_\\d\\d\\.mp3$")))
        << qPrintable(w->txtRecFilename->text());

    w->show();
    const QString during = fake.plant("Temp/during.mp3");
    const QString page = fake.plant("Quillbox/page.htm");
    QTest::mouseClick(w->findChild<QWidget *>("Label12"), Qt::LeftButton);
    EXPECT_FALSE(w->isVisible());
    EXPECT_FALSE(QFile::exists(during));
    EXPECT_FALSE(QFile::exists(page));
    EXPECT_TRUE(QFile::exists(fake.appFolder() + "/Quillbox/sub/keep.txt"));
}

TEST(MainWindowLifecycle, UnreadableDriveGivesMinusOneInNames)
{
    FakePlatform fake;
    fake.driveInfo.ready = false;
    auto w = fake.makeWindow(false);
    EXPECT_TRUE(w->txtRecFilename->text().contains("/Temp/-1_")) << qPrintable(w->txtRecFilename->text());
}

TEST(MainWindowLifecycle, DeferredLoadWaitsForTheFirstFrame)
{
    FakePlatform fake;
    auto w = fake.makeWindow(false);
    EXPECT_FALSE(w->deferredLoadDone());
    EXPECT_EQ(fake.lastRecorder, nullptr);   // nothing waits on devices before the window shows
    QSignalSpy done(w.get(), &frmMAIN::deferredLoadFinished);
    w->show();
    EXPECT_TRUE(done.wait(2000));
    EXPECT_TRUE(w->deferredLoadDone());
    EXPECT_NE(fake.lastRecorder, nullptr);
    EXPECT_NE(fake.lastWriter, nullptr);
}

TEST(MainWindowLifecycle, TheWindowIsPlacedOnTheScreenBeforeItsNativeWindowExists)
{
    // Moved later, X11 keeps the old place for the controls' screen positions: balloon
    // tips and the character's flights then miss their controls.
    struct CreationWatch : QObject
    {
        std::optional<QPoint> placeAtCreation;
        bool eventFilter(QObject *watched, QEvent *event) override
        {
            if (event->type() == QEvent::WinIdChange && !placeAtCreation)
                placeAtCreation = static_cast<QWidget *>(watched)->pos();
            return false;
        }
    } watch;
    FakePlatform fake;
    auto w = fake.makeWindow(false);
    w->move(-5000, -5000);
    w->installEventFilter(&watch);
    w->show();
    ASSERT_TRUE(watch.placeAtCreation.has_value());
    EXPECT_EQ(*watch.placeAtCreation, w->pos());
    EXPECT_TRUE(w->screen()->availableGeometry().contains(w->frameGeometry()));
}

TEST(MainWindowLifecycle, WithoutARecordingDeviceTheRestOfTheLoadStillRuns)
{
    FakePlatform fake;
    fake.devices.clear();
    auto w = fake.makeWindow();
    EXPECT_EQ(w->cmbDevInput->count(), 0);
    EXPECT_EQ(w->cmbSrcInput->count(), 0);
    // The character and the voices are prepared all the same.
    ASSERT_NE(fake.lastCharacterHost, nullptr);
    EXPECT_EQ(fake.lastCharacterHost->loads, QStringList{"Merlin|Merlin.acs"});
    EXPECT_GT(w->Combo2->count(), 0);
}

TEST(MainWindowLifecycle, AFailingStepDoesNotStopTheNext)
{
    FakePlatform fake;
    fake.characterLoadable = false;          // step 8 fails
    fake.platform().createAudioRecorder = nullptr;   // step 5 yields no recorder
    auto w = fake.makeWindow();
    EXPECT_EQ(w->help_character, nullptr);
    EXPECT_GT(w->Combo2->count(), 0);        // step 9 still ran
    // The window works without them: help topics and recording do nothing and do not crash.
    w->mnuOverview->trigger();
    w->cmdRecRecord_Click();
    w->cmdRecStop_Click();
    w->Button19_Click();
}

TEST(MainWindowLifecycle, SigTermStyleCloseEmptiesFolders)
{
    // A close from outside (what a logout or SIGTERM does) runs the same shutdown.
    FakePlatform fake;
    auto w = fake.makeWindow();
    w->show();
    const QString f = fake.plant("Temp/x.mp3");
    w->close();
    EXPECT_FALSE(QFile::exists(f));
}

TEST_F(MainWindow, KeyboardStaysOnTheIntroAndOpensMenusAtTheControl)
{
    w->show();
    QApplication::setActiveWindow(w.get());
    w->Label6->setFocus();
    const QSet<QString> introAndTitleRow = {"Label6", "Label23", "Image17", "Label16",
                                            "Label17", "Label15", "Label11", "Label12"};
    QSet<QString> reached;
    for (int i = 0; i < 20; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        reached << QApplication::focusWidget()->objectName();
    }
    EXPECT_EQ(reached, introAndTitleRow);

    // Space on "?" opens the help menu just below it, wherever the pointer is.
    QCursor::setPos(w->mapToGlobal(QPoint(5, 500)));
    w->Label15->setFocus();
    QTest::keyClick(w->Label15, Qt::Key_Space);
    ASSERT_TRUE(w->mnuHelp->isVisible());
    const QPoint below = w->Label15->mapToGlobal(QPoint(0, w->Label15->height()));
    EXPECT_NEAR(w->mnuHelp->y(), below.y(), 4);
    EXPECT_TRUE(w->mnuHelp->geometry().left() <= below.x() && below.x() <= w->mnuHelp->geometry().right());
    w->mnuHelp->close();

    // After the start, Tab reaches the steps again.
    QTest::keyClick(w->Label6, Qt::Key_Space);
    w->Button13->setFocus();
    QTest::keyClick(w->Button13, Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), w->Button14);
}
