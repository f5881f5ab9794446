// The window for everyone: what assistive technology reads in every window and state,
// where the keyboard focus goes, how the focus is shown, and the road to a copied link
// with the keyboard alone.
#include "app/dialogs/frmError.h"
#include "app/dialogs/frnAbout.h"
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
#include <QComboBox>
#include <QFile>
#include <QFileInfo>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>
#include <gtest/gtest.h>

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

double luminance(QColor c)
{
    auto lin = [](double v) { return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4); };
    return 0.2126 * lin(c.redF()) + 0.7152 * lin(c.greenF()) + 0.0722 * lin(c.blueF());
}

double contrast(QColor a, QColor b)
{
    const double la = luminance(a), lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

// The focus indicator around target on a rendered grab of its window, read across the
// middle of its left and top edges: two colours at least 3:1 apart, the dark one at least
// 2 px wide, and against whatever lies outside and inside it one of them stands out 3:1.
void expectVisibleFocus(QWidget *target)
{
    ASSERT_TRUE(target->hasFocus()) << qPrintable(target->objectName());
    QWidget *window = target->window();
    const QImage grab = window->grab().toImage();
    const QRect r(target->mapTo(window, QPoint(0, 0)), target->size());
    const int w = FocusRingWidth;
    struct Probe { QPoint outside; QPoint step; };
    const Probe probes[] = {{QPoint(r.left() - w - 1, r.center().y()), QPoint(1, 0)},
                            {QPoint(r.center().x(), r.top() - w - 1), QPoint(0, 1)}};
    for (const Probe &p : probes) {
        QList<QColor> line;
        for (int i = 0; i <= w + 1; ++i)
            line << grab.pixelColor(p.outside + p.step * i);
        const QColor outside = line.first(), light = line[1], dark = line[2], inside = line.last();
        EXPECT_EQ(line[3], dark) << "the dark line is at least 2 px";
        EXPECT_GE(contrast(light, dark), 3.0);
        for (const QColor &next : {outside, inside})
            EXPECT_GE(std::max(contrast(light, next), contrast(dark, next)), 3.0)
                << qPrintable(target->objectName()) << " against " << qPrintable(next.name());
    }
}

void press(QWidget *to, int key, Qt::KeyboardModifiers mods = {})
{
    QTest::keyClick(to, Qt::Key(key), mods);
}

// Sets environment variables for one test and puts them back afterwards.
class ScopedEnvironment
{
public:
    void set(const char *name, const QByteArray &value)
    {
        m_saved.push_back({name, qgetenv(name), qEnvironmentVariableIsSet(name)});
        qputenv(name, value);
    }
    ~ScopedEnvironment()
    {
        for (auto it = m_saved.rbegin(); it != m_saved.rend(); ++it)
            it->set ? qputenv(it->name, it->value) : qunsetenv(it->name);
    }

private:
    struct Saved { const char *name; QByteArray value; bool set; };
    std::vector<Saved> m_saved;
};

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
        press(to, k, mods);
        ++keys;
        if (mods & Qt::AltModifier)
            QTest::qWait(150);   // a button pressed by its access key is clicked after a short show
    }
    QWidget *topLevel(const char *name)
    {
        for (QWidget *top : QApplication::topLevelWidgets())
            if (top->objectName() == QLatin1String(name) && top->isVisible())
                return top;
        return nullptr;
    }

    FakePlatform fake;
    std::unique_ptr<frmMAIN> w = fake.makeWindow();
    int keys = 0;
};

} // namespace

TEST_F(Accessibility, EveryWindowAndStateNamesEveryControlWithItsRole)
{
    // The intro: the steps beneath it are not reported at all.
    EXPECT_EQ(faultsIn(w.get()), QStringList());
    EXPECT_TRUE(a11y(w->Button13)->state().invisible);
    EXPECT_EQ(a11y(w->Frame1)->role(), QAccessible::Grouping);
    EXPECT_TRUE(a11y(w->Label1)->text(QAccessible::Name).startsWith("Your voice is the very best way"));

    key(Qt::Key_Space);   // "Click here to start..."
    EXPECT_EQ(faultsIn(w.get()), QStringList());
    for (QFrame *panel : {w->Frame4, w->Frame3}) {
        EXPECT_EQ(a11y(panel)->role(), QAccessible::Grouping);
        EXPECT_TRUE(a11y(panel)->text(QAccessible::Name).startsWith("Step "));
    }
    for (QLabel *heading : {w->Label19, w->Label9, w->Label13, w->Label4, w->Label5})
        EXPECT_EQ(a11y(heading)->role(), QAccessible::Heading) << qPrintable(heading->objectName());
    const QList<QWidget *> openers{w->Label15, w->Button20, w->Button21};
    for (QWidget *opener : openers) {
        EXPECT_TRUE(a11y(opener)->state().hasPopup) << qPrintable(opener->objectName());
        EXPECT_TRUE(a11y(opener)->actionInterface()->actionNames().contains(QAccessibleActionInterface::showMenuAction()));
    }
    EXPECT_FALSE(a11y(w->Button2)->state().hasPopup);
    for (QMenu *menu : {w->mnuHelp, w->mnu_advanced_options, w->mnuAddVideoMenu})
        EXPECT_FALSE(a11y(menu)->text(QAccessible::Name).isEmpty());
    EXPECT_FALSE(w->mnuMIN->isEnabled());   // a note to read, not a command
    EXPECT_EQ(a11y(w->Button3)->text(QAccessible::Name),
              "Copy link to clipboard - then YOU paste into your email message...");
    EXPECT_EQ(a11y(w->Button3)->actionInterface()->keyBindingsForAction(QAccessibleActionInterface::pressAction()),
              QStringList{"Alt+C"});

    // The status line is a status bar that says what happened.
    EXPECT_EQ(a11y(w->Text1)->role(), QAccessible::StatusBar);
    w->setStatus("Upload complete");
    EXPECT_EQ(a11y(w->Text1)->text(QAccessible::Name), "Upload complete");
    auto *announcement = w->Text1->findChild<QWidget *>("statusAnnouncement");
    ASSERT_NE(announcement, nullptr);
    EXPECT_EQ(a11y(announcement)->role(), QAccessible::Notification);
    EXPECT_FALSE(a11y(announcement)->state().invisible);
    EXPECT_EQ(a11y(announcement)->text(QAccessible::Name), "Upload complete");

    key(Qt::Key_R, Qt::AltModifier);   // the microphone panel
    EXPECT_EQ(faultsIn(w.get()), QStringList());
    QAccessibleValueInterface *meter = a11y(w->levelMeter)->valueInterface();
    ASSERT_NE(meter, nullptr);
    w->levelMeter->setLevel(1.0f);
    EXPECT_EQ(meter->currentValue().toInt(), 100);
    w->lblRecInfoMS->setText("3 secs...");
    EXPECT_EQ(a11y(w->lblRecInfoMS)->text(QAccessible::Name), "3 secs...");

    w->Button14_Click();   // text to speech
    EXPECT_EQ(faultsIn(w.get()), QStringList());

    // The other windows.
    w->Label16_Click();
    auto *about = qobject_cast<frnAbout *>(topLevel("frnAbout"));
    ASSERT_NE(about, nullptr);
    EXPECT_EQ(faultsIn(about), QStringList());
    EXPECT_EQ(a11y(about)->text(QAccessible::Name), "About...");

    w->draft.im_done = false;
    w->Button3_Click();
    ASSERT_NE(w->errorNotice, nullptr);
    EXPECT_EQ(faultsIn(w->errorNotice), QStringList());
    EXPECT_EQ(a11y(w->errorNotice)->role(), QAccessible::AlertMessage);
    EXPECT_TRUE(a11y(w->errorNotice->Label1)->text(QAccessible::Name).contains("You have either all ready copied link"));

    const QString picture = fake.plant("pics/p.jpg", samplePicture());
    frmviewer viewer(&fake.messageBox, fake.appFolder(), {});
    viewer.show();
    viewer.Drctry->setPath(QFileInfo(picture).absolutePath());
    EXPECT_EQ(faultsIn(&viewer), QStringList());
    viewer.Files->setCurrentRow(0);
    viewer.Files_Click();
    viewer.cmdFullScreen_Click();
    ASSERT_NE(viewer.fullScreen(), nullptr);
    EXPECT_FALSE(a11y(viewer.fullScreen())->text(QAccessible::Name).isEmpty());
    EXPECT_EQ(faultsIn(viewer.fullScreen()), QStringList());

    QMessageBox box(QMessageBox::Question, "Parlivo", "Sure?", QMessageBox::Yes | QMessageBox::No);
    box.show();
    EXPECT_EQ(faultsIn(&box), QStringList());
}

TEST_F(Accessibility, PanelsAndWindowsTakeTheFocusAndGiveItBack)
{
    EXPECT_EQ(focus(), w->Label6);
    key(Qt::Key_Space);
    EXPECT_EQ(focus(), w->Button13);   // the start leads to Step 1

    const struct { QPushButton *choice; QFrame *panel; QPushButton *cancel; } panels[] = {
        {w->Button13, w->Frame2, w->Button18}, {w->Button14, w->Frame7, w->Button17}};
    for (const auto &p : panels) {
        p.choice->setFocus();
        key(Qt::Key_Space);
        ASSERT_TRUE(p.panel->isVisible());
        ASSERT_TRUE(p.panel->isAncestorOf(focus())) << qPrintable(focus()->objectName());
        // A round of Tab visits the panel's controls in one run, never anything hidden.
        QWidget *start = focus();
        QString round;   // P inside the panel, - outside
        for (int i = 0; i < 60 && (i == 0 || focus() != start); ++i) {
            round += p.panel->isAncestorOf(focus()) ? QLatin1Char('P') : QLatin1Char('-');
            EXPECT_TRUE(focus()->isVisible()) << qPrintable(focus()->objectName());
            key(Qt::Key_Tab);
        }
        EXPECT_EQ(focus(), start);
        EXPECT_TRUE(QRegularExpression("^P+-+$").match(round).hasMatch()) << qPrintable(round);
        p.cancel->setFocus();
        key(Qt::Key_Space);
        EXPECT_EQ(focus(), p.choice);   // back to the choice that opened it
    }

    // The about box opens with the focus inside, closes with Escape and gives it back.
    w->Label16->setFocus();
    key(Qt::Key_Space);
    auto *about = qobject_cast<frnAbout *>(topLevel("frnAbout"));
    ASSERT_NE(about, nullptr);
    QApplication::setActiveWindow(about);
    EXPECT_EQ(focus(), about->closeButton);
    key(Qt::Key_Escape);
    EXPECT_FALSE(topLevel("frnAbout"));
    EXPECT_TRUE(QTest::qWaitFor([&] { return focus() == w->Label16; }, 2000));

    // So does the error notice.
    w->Button3->setFocus();
    key(Qt::Key_C, Qt::AltModifier);
    ASSERT_NE(w->errorNotice, nullptr);
    EXPECT_EQ(focus(), w->errorNotice->Button1);
    key(Qt::Key_Space);
    EXPECT_TRUE(QTest::qWaitFor([&] { return focus() == w->Button3; }, 2000));
}

TEST_F(Accessibility, TheFocusIsVisibleInEveryWindow)
{
    key(Qt::Key_Space);
    const QList<QWidget *> controls{w->Button13, w->Button2, w->Button3, w->Button5, w->Label15};
    for (QWidget *control : controls) {
        control->setFocus(Qt::TabFocusReason);
        expectVisibleFocus(control);
    }

    w->Label16_Click();
    auto *about = qobject_cast<frnAbout *>(topLevel("frnAbout"));
    ASSERT_NE(about, nullptr);
    QApplication::setActiveWindow(about);
    expectVisibleFocus(about->closeButton);
    about->close();

    w->Button3_Click();
    QApplication::setActiveWindow(w->errorNotice);
    expectVisibleFocus(w->errorNotice->Button1);
    w->errorNotice->close();

    frmviewer viewer(&fake.messageBox, fake.appFolder(), {});
    viewer.show();
    QApplication::setActiveWindow(&viewer);
    expectVisibleFocus(viewer.Drctry);
    viewer.Files->setFocus(Qt::TabFocusReason);
    expectVisibleFocus(viewer.Files);

    QMessageBox box(QMessageBox::Question, "Parlivo", "Sure?", QMessageBox::Yes | QMessageBox::No);
    box.show();
    QApplication::setActiveWindow(&box);
    box.button(QMessageBox::No)->setFocus(Qt::TabFocusReason);
    expectVisibleFocus(box.button(QMessageBox::No));
}

TEST_F(Accessibility, TypedTextToCopiedLinkWithTheKeyboardAlone)
{
    // The real yes/no box, answered with a key; the servers' side is played by the fakes.
    QtMessageBox boxes;
    fake.platform().messageBox = &boxes;
    ScopedEnvironment env;
    env.set("PARLIVO_SFTP_HOST", "pages.test");
    env.set("PARLIVO_SFTP_USER", "writer");
    env.set("PARLIVO_SFTP_PASSWORD", "abc123xyz");
    env.set("PARLIVO_SFTP_HOSTKEY", "SHA256:AAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAA");
    env.set("PARLIVO_PAGE_BASE", "http://127.0.0.1:9/");   // nobody answers the page check
    for (const char *name : {"MSTemp.dll", "HTML/Rabbit.gif", "tada.wav"}) {
        QFile asset(QStringLiteral(PARLIVO_SOURCE_DIR "/assets/") + QLatin1String(name));
        ASSERT_TRUE(asset.open(QIODevice::ReadOnly)) << name;
        fake.plant(QLatin1String(name), asset.readAll());
    }

    key(Qt::Key_Space);                  // start
    key(Qt::Key_T, Qt::AltModifier);     // "Convert text to audio"
    key(Qt::Key_Tab);                    // the text
    ASSERT_EQ(focus(), w->Text4);
    key(Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(w->Text4, "See you on Sunday");   // typed text is not counted
    key(Qt::Key_Tab);                    // "Convert"
    ASSERT_EQ(focus(), w->Button15);
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
    QMessageBox *ask = nullptr;
    ASSERT_TRUE(QTest::qWaitFor([&] { return (ask = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())); }, 2000));
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
}
