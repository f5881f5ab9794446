// The window for everyone: what assistive technology reads in every window and state,
// where the keyboard focus goes and how it is shown, and the road to a copied link with
// the keyboard alone.
#include "app/dialogs/frmError.h"
#include "app/dialogs/frnAbout.h"
#include "app/frmTrim.h"
#include "app/widgets/ClickLabel.h"
#include "app/widgets/LevelMeter.h"
#include "app/widgets/Style.h"
#include "content/BrowseLists.h"
#include "content/frmFScreen.h"
#include "content/frmviewer.h"
#include "fakes/FakePlatform.h"
#include "fakes/MediaSamples.h"
#include "platform/desktop/QtDesktop.h"

#include <QAccessible>
#include <QApplication>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>
#include <gtest/gtest.h>
#include <optional>

using namespace parlivo;
using namespace parlivo::test;

namespace {

bool actionable(QAccessibleInterface *iface)
{
    if (QAccessibleActionInterface *actions = iface->actionInterface())
        for (const QString &name : actions->actionNames())
            if (name != QAccessibleActionInterface::setFocusAction())
                return true;
    if (iface->valueInterface() && iface->role() != QAccessible::ProgressBar)
        return true;   // a slider or scroll bar is moved by assistive technology
    auto *w = qobject_cast<QWidget *>(iface->object());
    return w && (w->focusPolicy() & Qt::TabFocus);
}

// Every showing control a person acts on, without a name or with a role that says nothing.
void collectFaults(QAccessibleInterface *iface, QStringList &faults, int depth = 0)
{
    if (!iface || depth > 12 || iface->state().invisible)
        return;
    static const QSet<QAccessible::Role> generic = {QAccessible::NoRole, QAccessible::Client, QAccessible::Pane,
                                                    QAccessible::Border, QAccessible::Whitespace};
    if (depth > 0 && actionable(iface)) {
        const QString who = iface->object() ? iface->object()->objectName() : QStringLiteral("?");
        if (iface->text(QAccessible::Name).trimmed().isEmpty())
            faults << who + " has no name";
        if (generic.contains(iface->role()))
            faults << who + " has a generic role";
    }
    for (int i = 0; i < iface->childCount(); ++i)
        collectFaults(iface->child(i), faults, depth + 1);
}

QStringList faultsIn(QWidget *window)
{
    QStringList faults;
    collectFaults(QAccessible::queryAccessibleInterface(window), faults);
    return faults;
}

QAccessibleInterface *a11y(QObject *o)
{
    return QAccessible::queryAccessibleInterface(o);
}

double contrast(QColor a, QColor b)
{
    auto lin = [](double v) { return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4); };
    auto lum = [&](QColor c) { return 0.2126 * lin(c.redF()) + 0.7152 * lin(c.greenF()) + 0.0722 * lin(c.blueF()); };
    const double la = lum(a), lb = lum(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

// The focus indicator around target on a rendered grab of its window, read across the
// middle of its left and top edges: two colours at least 3:1 apart, the dark one at least
// 2 px wide, and against whatever lies outside and inside it one of them stands out 3:1.
void expectVisibleFocus(QWidget *target)
{
    QApplication::setActiveWindow(target->window());
    target->setFocus(Qt::TabFocusReason);
    ASSERT_TRUE(target->hasFocus()) << qPrintable(target->objectName());
    const QImage grab = target->window()->grab().toImage();
    const QRect r(target->mapTo(target->window(), QPoint(0, 0)), target->size());
    const int w = FocusRingWidth;
    const std::pair<QPoint, QPoint> probes[] = {{QPoint(r.left() - w - 1, r.center().y()), QPoint(1, 0)},
                                                {QPoint(r.center().x(), r.top() - w - 1), QPoint(0, 1)}};
    for (const auto &[outer, step] : probes) {
        QList<QColor> line;
        for (int i = 0; i <= w + 1; ++i)
            line << grab.pixelColor(outer + step * i);
        const QColor light = line[1], dark = line[2];
        EXPECT_EQ(line[3], dark) << "the dark line is at least 2 px";
        EXPECT_GE(contrast(light, dark), 3.0);
        for (const QColor &next : {line.first(), line.last()})
            EXPECT_GE(std::max(contrast(light, next), contrast(dark, next)), 3.0)
                << qPrintable(target->objectName()) << " against " << qPrintable(next.name());
    }
}

class Accessibility : public ::testing::Test
{
protected:
    void SetUp() override
    {
        applyStyle(*qApp);
        w->show();
        QApplication::setActiveWindow(w.get());
    }
    void TearDown() override
    {
        for (QWidget *top : QApplication::topLevelWidgets())
            if (top != w.get() && top->isVisible() && top->testAttribute(Qt::WA_DeleteOnClose))
                top->close();
        w.reset();
        qApp->setStyleSheet(QString());
    }
    QWidget *focus() const { return QApplication::focusWidget(); }
    // A key to whatever has the focus, as a person presses it.
    void key(int k, Qt::KeyboardModifiers mods = {})
    {
        QWidget *to = focus() ? focus() : QApplication::activeWindow();
        ASSERT_NE(to, nullptr);
        QTest::keyClick(to, Qt::Key(k), mods);
        ++keys;
        if (mods & Qt::AltModifier)
            QTest::qWait(150);   // a button pressed by its access key is clicked after a short show
    }
    frnAbout *aboutBox()
    {
        for (QWidget *top : QApplication::topLevelWidgets())
            if (auto *about = qobject_cast<frnAbout *>(top); about && about->isVisible())
                return about;
        return nullptr;
    }

    FakePlatform fake;
    std::unique_ptr<frmMAIN> w = fake.makeWindow();
    int keys = 0;
};

} // namespace

TEST_F(Accessibility, EveryWindowNamesItsControlsAndShowsTheFocus)
{
    // The intro: the steps beneath it are not reported at all.
    EXPECT_EQ(faultsIn(w.get()), QStringList());
    EXPECT_TRUE(a11y(w->Button13)->state().invisible);
    EXPECT_TRUE(a11y(w->Label1)->text(QAccessible::Name).startsWith("Your voice is the very best way"));

    key(Qt::Key_Space);   // "Click here to start..."
    EXPECT_EQ(faultsIn(w.get()), QStringList());
    EXPECT_EQ(a11y(w->Frame4)->role(), QAccessible::Grouping);
    EXPECT_TRUE(a11y(w->Frame4)->text(QAccessible::Name).startsWith("Step 1"));
    EXPECT_EQ(a11y(w->Label13)->role(), QAccessible::Heading);
    const QList<QWidget *> openers{w->Label15, w->Button20, w->Button21};
    for (QWidget *opener : openers)
        EXPECT_TRUE(a11y(opener)->state().hasPopup) << qPrintable(opener->objectName());
    EXPECT_FALSE(a11y(w->mnu_advanced_options)->text(QAccessible::Name).isEmpty());
    EXPECT_FALSE(w->mnuMIN->isEnabled());   // a note to read, not a command
    const QList<QWidget *> focusable{w->Button13, w->Button2, w->Button3, w->Button5, w->Label15};
    for (QWidget *control : focusable)
        expectVisibleFocus(control);

    // Each status is announced by a notification in the status bar.
    EXPECT_EQ(a11y(w->Text1)->role(), QAccessible::StatusBar);
    w->setStatus("Upload complete");
    auto *announcement = w->Text1->findChild<QWidget *>("statusAnnouncement");
    ASSERT_NE(announcement, nullptr);
    EXPECT_EQ(a11y(announcement)->role(), QAccessible::Notification);
    EXPECT_FALSE(a11y(announcement)->state().invisible);
    EXPECT_EQ(a11y(announcement)->text(QAccessible::Name), "Upload complete");

    key(Qt::Key_R, Qt::AltModifier);   // the microphone panel: the meter and the counter carry values
    EXPECT_EQ(faultsIn(w.get()), QStringList());
    w->levelMeter->setLevel(1.0f);
    ASSERT_NE(a11y(w->levelMeter)->valueInterface(), nullptr);
    EXPECT_EQ(a11y(w->levelMeter)->valueInterface()->currentValue().toInt(), 100);
    EXPECT_TRUE(a11y(w->cmdRecRecord)->relations(QAccessible::Label).isEmpty());   // not "Recording length: Record"
    w->lblRecInfoMS->setText("3 secs...");
    EXPECT_EQ(a11y(w->lblRecInfoMS)->text(QAccessible::Name), "3 secs...");
    w->Button14_Click();   // text to speech
    EXPECT_EQ(faultsIn(w.get()), QStringList());

    w->Label16_Click();
    frnAbout *about = aboutBox();
    ASSERT_NE(about, nullptr);
    EXPECT_EQ(faultsIn(about), QStringList());
    expectVisibleFocus(about->closeButton);
    about->close();

    w->Button3_Click();   // nothing uploaded: the error notice, an alert
    ASSERT_NE(w->errorNotice, nullptr);
    EXPECT_EQ(faultsIn(w->errorNotice), QStringList());
    EXPECT_EQ(a11y(w->errorNotice)->role(), QAccessible::AlertMessage);
    expectVisibleFocus(w->errorNotice->Button1);
    w->errorNotice->close();

    const QString picture = fake.plant("pics/p.jpg", samplePicture());
    frmviewer viewer(&fake.messageBox, fake.appFolder(), {});
    viewer.show();
    viewer.Drctry->setPath(QFileInfo(picture).absolutePath());
    EXPECT_EQ(faultsIn(&viewer), QStringList());
    expectVisibleFocus(viewer.Files);
    viewer.Files->setCurrentRow(0);
    viewer.cmdFullScreen_Click();
    ASSERT_NE(viewer.fullScreen(), nullptr);
    EXPECT_FALSE(a11y(viewer.fullScreen())->text(QAccessible::Name).isEmpty());
    EXPECT_EQ(faultsIn(viewer.fullScreen()), QStringList());

    QMessageBox box(QMessageBox::Question, "Parlivo", "Sure?", QMessageBox::Yes | QMessageBox::No);
    box.show();
    EXPECT_EQ(faultsIn(&box), QStringList());
    expectVisibleFocus(box.button(QMessageBox::No));
}

TEST_F(Accessibility, PanelsAndWindowsTakeTheFocusAndGiveItBack)
{
    key(Qt::Key_Space);
    EXPECT_EQ(focus(), w->Button13);   // the start leads to Step 1

    const struct { QPushButton *choice; QFrame *panel; QPushButton *cancel; } panels[] = {
        {w->Button13, w->Frame2, w->Button18}, {w->Button14, w->Frame7, w->Button17}};
    for (const auto &p : panels) {
        p.choice->setFocus();
        key(Qt::Key_Space);
        ASSERT_TRUE(p.panel->isAncestorOf(focus())) << qPrintable(focus()->objectName());
        // A round of Tab visits the panel's controls in one run, never anything hidden.
        QWidget *start = focus();
        QString round;   // P inside the panel, - outside
        for (int i = 0; i < 60 && (i == 0 || focus() != start); ++i) {
            round += p.panel->isAncestorOf(focus()) ? QLatin1Char('P') : QLatin1Char('-');
            EXPECT_TRUE(focus()->isVisible()) << qPrintable(focus()->objectName());
            key(Qt::Key_Tab);
        }
        EXPECT_TRUE(QRegularExpression("^P+-+$").match(round).hasMatch()) << qPrintable(round);
        p.cancel->setFocus();
        key(Qt::Key_Space);
        EXPECT_EQ(focus(), p.choice);   // back to the choice that opened it
    }

    // The about box opens with the focus inside, closes with Escape and gives it back;
    // so does the error notice with its OK.
    w->Label16->setFocus();
    key(Qt::Key_Space);
    ASSERT_NE(aboutBox(), nullptr);
    QApplication::setActiveWindow(aboutBox());
    EXPECT_EQ(focus(), aboutBox()->closeButton);
    key(Qt::Key_Escape);
    EXPECT_EQ(aboutBox(), nullptr);
    EXPECT_TRUE(QTest::qWaitFor([&] { return focus() == w->Label16; }, 2000));

    w->Button3->setFocus();
    key(Qt::Key_C, Qt::AltModifier);
    ASSERT_NE(w->errorNotice, nullptr);
    EXPECT_EQ(focus(), w->errorNotice->Button1);
    key(Qt::Key_Space);
    EXPECT_TRUE(QTest::qWaitFor([&] { return focus() == w->Button3; }, 2000));
}

TEST_F(Accessibility, TypedTextToCopiedLinkWithTheKeyboardAlone)
{
    // The real yes/no box, answered with a key; the servers' side is played by the fakes.
    QtMessageBox boxes;
    fake.platform().messageBox = &boxes;
    const char *settings[][2] = {{"PARLIVO_SFTP_HOST", "pages.test"}, {"PARLIVO_SFTP_USER", "writer"},
                                 {"PARLIVO_SFTP_PASSWORD", "abc123xyz"},
                                 {"PARLIVO_PAGE_BASE", "http://127.0.0.1:9/"}};   // nobody answers the page check
    std::vector<std::optional<QByteArray>> saved;
    for (const auto &[name, value] : settings) {
        saved.push_back(qEnvironmentVariableIsSet(name) ? std::optional(qgetenv(name)) : std::nullopt);
        qputenv(name, value);
    }
    for (const char *name : {"MSTemp.dll", "HTML/Rabbit.gif", "tada.wav"}) {
        QFile asset(QStringLiteral(PARLIVO_SOURCE_DIR "/assets/") + QLatin1String(name));
        ASSERT_TRUE(asset.open(QIODevice::ReadOnly)) << name;
        fake.plant(QLatin1String(name), asset.readAll());
    }

    key(Qt::Key_Space);                  // start
    key(Qt::Key_T, Qt::AltModifier);     // "Convert text to audio"
    key(Qt::Key_Tab);                    // the text
    key(Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(focus(), "See you on Sunday");   // typed text is not counted
    key(Qt::Key_Tab);                    // "Convert"
    key(Qt::Key_Space);
    FakeSpeechEngine *speech = fake.lastSpeech;
    ASSERT_NE(speech, nullptr);
    EXPECT_EQ(speech->lastText, "See you on Sunday");
    QFile mp3(speech->lastPath);
    ASSERT_TRUE(mp3.open(QIODevice::WriteOnly));
    mp3.write(sampleMp3());
    mp3.close();
    Q_EMIT speech->OnTTSEnd();
    Q_EMIT speech->speakToFileFinished(true, {});

    key(Qt::Key_U, Qt::AltModifier);     // "Upload created files to server..."
    QWidget *ask = nullptr;
    ASSERT_TRUE(QTest::qWaitFor([&] { return (ask = QApplication::activeModalWidget()); }, 2000));
    QApplication::setActiveWindow(ask);
    key(Qt::Key_Return);                 // Yes
    ASSERT_TRUE(QTest::qWaitFor([&] { return fake.lastSftp && fake.lastSftp->isBusy(); }, 5000));
    Q_EMIT fake.lastSftp->Connected(0, QString());
    Q_EMIT fake.lastSftp->Done(0, QString());
    ASSERT_TRUE(QTest::qWaitFor([&] { return w->draft.im_done; }, 7000));

    QApplication::setActiveWindow(w.get());
    key(Qt::Key_C, Qt::AltModifier);     // "Copy link to clipboard..."
    EXPECT_TRUE(fake.clipboard.text.contains("http://")) << qPrintable(fake.clipboard.text);
    EXPECT_LE(keys, 20);
    for (size_t i = 0; i < saved.size(); ++i)
        saved[i] ? qputenv(settings[i][0], *saved[i]) : qunsetenv(settings[i][0]);
}

// A button that cannot be pressed looks it (the trim window before there is anything to trim
// or undo), and its caption stays readable.
TEST_F(Accessibility, DisabledButtonsLookDisabledAndStayReadable)
{
    frmTrim trim(fake.appFolder());
    trim.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&trim));
    ASSERT_FALSE(trim.cmdUndo->isEnabled());
    ASSERT_TRUE(trim.cmdClose->isEnabled());
    // The button's face beside its caption, and the darkest pixel of the caption.
    auto look = [](QPushButton *b) {
        const QImage img = b->grab().toImage();
        const QColor face = img.pixelColor(3, img.height() / 2);
        QColor ink = face;
        for (int y = 0; y < img.height(); ++y)
            for (int x = 0; x < img.width(); ++x)
                if (img.pixelColor(x, y).lightnessF() < ink.lightnessF())
                    ink = img.pixelColor(x, y);
        return std::pair{face, ink};
    };
    const auto [enabledFace, enabledInk] = look(trim.cmdClose);
    const auto [disabledFace, disabledInk] = look(trim.cmdUndo);
    EXPECT_NE(disabledFace, enabledFace);
    EXPECT_GT(contrast(disabledInk, enabledInk), 1.5);
    EXPECT_GE(contrast(disabledInk, disabledFace), 4.5);
}

TEST(AccessibleWindows, AreFramesAndDialogsEvenWhenAScreenReaderListensFromTheStart)
{
    // With a screen reader listening, naming a window already makes its interface: the
    // role must be in place before that.
    QAccessible::setActive(true);
    FakePlatform fake;
    auto w = fake.makeWindow();
    w->Label16_Click();
    EXPECT_EQ(QAccessible::queryAccessibleInterface(w.get())->role(), QAccessible::Window);
    EXPECT_EQ(QAccessible::queryAccessibleInterface(w->aboutBox)->role(), QAccessible::Dialog);
    w->aboutBox->close();
    QAccessible::setActive(false);
}
