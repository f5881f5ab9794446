// The window under a real Wayland compositor (headless weston), where top-level windows
// cannot be placed and report their corner wherever Qt last put it: the character flies
// inside the window, tips and menus sit at their controls, dialogs and the viewer open as
// sheets inside it, and a second start brings a minimised window back. Everything is checked in the main
// window's coordinates, the only ones that mean anything there.
#include "fakes/FakePlatform.h"
#include "app/instance/SingleInstance.h"
#include "app/instance/WindowReturn.h"
#include "app/dialogs/frnAbout.h"
#include "app/widgets/ClickLabel.h"
#include "app/widgets/Fitting.h"
#include "help/HelpScript.h"
#include "platform/character/CharacterAgent.h"
#include "platform/desktop/BalloonTipWidget.h"
#include "platform/desktop/OutputScale.h"
#include "platform/desktop/QtDesktop.h"

#include <QApplication>
#include <QFile>
#include <QFileDialog>
#include <QGuiApplication>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QWindow>
#include <gtest/gtest.h>

#include <future>

using namespace parlivo;
using namespace parlivo::test;

namespace {

class OnWayland : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (!QGuiApplication::platformName().startsWith(QLatin1String("wayland")))
            GTEST_SKIP() << "no test compositor (./dev test starts one)";
        QFile topics(QStringLiteral(PARLIVO_SOURCE_DIR "/assets/help/topics.json"));
        ASSERT_TRUE(topics.open(QIODevice::ReadOnly));
        fake.plant(QStringLiteral("help/topics.json"), topics.readAll());
        fake.platform().createCharacterHost = [] {
            return std::unique_ptr<CharacterHost>(std::make_unique<CharacterAgentHost>(
                QStringLiteral(PARLIVO_SOURCE_DIR "/assets"), [] { return std::unique_ptr<SpeechEngine>(); }));
        };
        fake.platform().messageBox = &messages;
        fake.platform().fileDialog = &files;
        w = fake.makeWindow();
        w->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(w.get()));
        // Past the intro, as a person starts: the steps beneath it are hidden until then.
        QTest::mouseClick(w->Label6, Qt::LeftButton);
    }

    // A widget's rectangle in the main window's coordinates.
    QRect inWindow(const QWidget *c) const { return QRect(c->mapTo(w.get(), QPoint(0, 0)), c->size()); }
    // A separate window's rectangle relative to the main window, from the same books.
    QRect relative(const QWidget *top) const
    {
        return QRect(top->mapToGlobal(QPoint(0, 0)) - w->mapToGlobal(QPoint(0, 0)), top->size());
    }
    bool belongsToWindow(QWidget *top) const
    {
        return top->windowHandle() && top->windowHandle()->transientParent() == w->windowHandle();
    }

    FakePlatform fake;
    QtMessageBox messages;
    QtFileDialog files;
    std::unique_ptr<frmMAIN> w;
};

} // namespace

TEST_F(OnWayland, TheCharacterFliesInsideTheWindowToEachTopicsControl)
{
    auto *agent = qobject_cast<CharacterAgent *>(w->help_character);
    ASSERT_NE(agent, nullptr);
    ASSERT_TRUE(agent->isInsideOwner());
    EXPECT_EQ(agent->window()->parentWidget(), w.get());
    agent->setPace(40);
    QString lastMove;
    QObject::connect(agent, &CharacterAgent::requestFinished, [&](const QString &r) {
        if (r.startsWith(QLatin1String("MoveTo")))
            lastMove = r;
    });

    const HelpScripts scripts = HelpScripts::fromFile(fake.appFolder() + "/help/topics.json");
    const QList<std::pair<QString, const char *>> pointsAt = {
        {"mnu_REC_OPTIONS", "Button13"}, {"mnuRecord", "cmdRecRecord"}, {"mnUConvert_t2s", "Text4"},
        {"mnuPlay_recording", "Button4"}, {"mnuAdd_picture", "Button5"}, {"mnuAddVideo", "Button21"},
        {"mnuAddText", "Button12"},       {"mnuOtherStuff", "Button20"}, {"mnuUplaoding", "Button2"},
        {"mnuClipboard", "Button3"},      {"mnuPreview", "Button11"}};
    auto area = [](const QRect &r) { return r.isEmpty() ? 0 : r.width() * r.height(); };
    for (const auto &[topic, controlName] : pointsAt) {
        SCOPED_TRACE(topic.toStdString());
        lastMove.clear();
        w->findChild<QAction *>(topic)->trigger();
        ASSERT_TRUE(QTest::qWaitFor([&] { return !lastMove.isEmpty(); }, 5000));
        const QPointF start = scripts.topic(topic)->start;
        const QRect at = agent->window()->geometry();
        EXPECT_EQ(at.topLeft(), QPoint(qRound(start.x() / 15), qRound(start.y() / 15)));
        EXPECT_TRUE(agent->window()->isVisible());
        const QRect control = inWindow(w->findChild<QWidget *>(QLatin1String(controlName)));
        EXPECT_LE(4 * area(at & control), area(control)) << "covers what it explains";
        EXPECT_LT(std::abs(at.center().y() - control.center().y()), at.height() + control.height())
            << "stands beside it";
    }
    // Above every control and the intro panel, and never in the way of a click.
    EXPECT_EQ(w->children().last(), agent->window());
    EXPECT_TRUE(agent->window()->testAttribute(Qt::WA_TransparentForMouseEvents));
}

TEST_F(OnWayland, InAWindowShrunkToFitTheCharacterShrinksWithIt)
{
    auto *agent = qobject_cast<CharacterAgent *>(w->help_character);
    ASSERT_NE(agent, nullptr);
    agent->setPace(40);
    bool moved = false;
    QObject::connect(agent, &CharacterAgent::requestFinished, [&](const QString &r) {
        moved = moved || r.startsWith(QLatin1String("MoveTo"));
    });
    scaleFixedLayout(w.get(), 0.6);
    w->findChild<QAction *>("mnuAdd_picture")->trigger();
    ASSERT_TRUE(QTest::qWaitFor([&] { return moved; }, 5000));
    const QRect at = agent->window()->geometry();
    EXPECT_EQ(at.size(), (QSizeF(agent->data().size) * 0.6).toSize());
    const QRect control = inWindow(w->Button5);
    const QRect covered = at & control;
    EXPECT_LE(4 * covered.width() * covered.height(), control.width() * control.height());
    EXPECT_LT(std::abs(at.center().y() - control.center().y()), at.height() + control.height());
}

TEST_F(OnWayland, TipsAndMenusOpenAtTheirControls)
{
    QtBalloonTip tip;
    tip.setToolTip(w->Button5, "Click this button", "Select your picture to include...", 64, 1, 0, Qt::blue,
                   Qt::yellow, -1, 18000, 0);
    tip.showTip();
    BalloonBubble *bubble = tip.bubble();
    ASSERT_NE(bubble, nullptr);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(bubble));
    EXPECT_TRUE(belongsToWindow(bubble));
    const QPoint pointer = relative(bubble).topLeft() + bubble->pointerTip();
    const QRect control = inWindow(w->Button5);
    EXPECT_TRUE(pointer.x() >= control.left() && pointer.x() <= control.right()) << pointer.x();
    EXPECT_TRUE(pointer.y() == control.bottom() || pointer.y() == control.top() - 1) << pointer.y();

    // From the keyboard the help menu opens just below "?", not wherever the pointer was,
    // and inside the window: Qt's own keeping on the screen works from a corner the window
    // only has in Qt's books.
    w->Label15->setFocus();
    QTest::keyClick(w->Label15, Qt::Key_Space);
    const QRect menu = relative(w->mnuHelp);
    EXPECT_EQ(menu.top(), inWindow(w->Label15).bottom() + 1);
    EXPECT_EQ(menu.left(), std::min(inWindow(w->Label15).left(), w->width() - menu.width()));
    w->mnuHelp->hide();
}

TEST_F(OnWayland, DialogsAndTheViewerOpenAsSheetsOverTheMainWindow)
{
    // A sheet lies inside the window, centred, with the keyboard in it; Escape closes it and
    // gives the keyboard back to the control that opened it.
    auto overWindow = [this](QWidget *sheet, QWidget *opener) {
        SCOPED_TRACE(sheet->objectName().toStdString());
        EXPECT_EQ(sheet->window(), w.get());
        const QRect at = inWindow(sheet);
        EXPECT_TRUE(w->rect().contains(at)) << at.width() << "x" << at.height();
        EXPECT_LE(std::abs(at.center().x() - w->rect().center().x()), 2);
        QWidget *focus = QApplication::focusWidget();
        ASSERT_TRUE(focus && sheet->isAncestorOf(focus));
        QTest::keyClick(focus, Qt::Key_Escape);
        EXPECT_TRUE(QTest::qWaitFor([&] { return QApplication::focusWidget() == opener; }, 2000));
        EXPECT_TRUE(opener->isEnabled());
    };

    // Headless weston has no keyboard to give the window; Qt is told it has it.
    QApplication::setActiveWindow(w.get());
    // The viewer comes after the picture tip is acknowledged.
    w->Button5->setFocus();
    QTest::keyClick(w->Button5, Qt::Key_Space);
    QMessageBox *tipBox = nullptr;
    ASSERT_TRUE(QTest::qWaitFor([&] { return (tipBox = w->findChild<QMessageBox *>()) && tipBox->isVisible(); }, 3000));
    EXPECT_EQ(w->childAt(inWindow(w->Button12).center())->objectName(), "dialogSheet");
    EXPECT_FALSE(w->Button12->isEnabled()) << "out of reach of the keyboard too";
    QTest::keyClick(tipBox, Qt::Key_Return);
    QWidget *viewer = nullptr;
    ASSERT_TRUE(QTest::qWaitFor([&] { return (viewer = w->findChild<QWidget *>("frmviewer")) && viewer->isVisible(); }, 3000));
    overWindow(viewer, w->Button5);

    w->Button6->setFocus();
    QTest::keyClick(w->Button6, Qt::Key_Space);
    QFileDialog *dialog = nullptr;
    ASSERT_TRUE(QTest::qWaitFor([&] { return (dialog = w->findChild<QFileDialog *>()) && dialog->isVisible(); }, 3000));
    overWindow(dialog, w->Button6);

    w->Label16->setFocus();
    QTest::keyClick(w->Label16, Qt::Key_Space);
    ASSERT_TRUE(QTest::qWaitFor([&] { return w->aboutBox && w->aboutBox->isVisible(); }, 3000));
    overWindow(w->aboutBox, w->Label16);
}

TEST_F(OnWayland, TheCompositorsOutputsAreReadFromItself)
{
    const QList<OutputMode> outputs = waylandOutputs();
    ASSERT_EQ(outputs.size(), 1);
    EXPECT_EQ(outputs.first().pixels, QSize(1366, 800));
    EXPECT_EQ(outputs.first().scale, 1);
}

TEST_F(OnWayland, ASecondStartBringsAMinimisedWindowBack)
{
    QTemporaryDir base;
    SingleInstance first(base.path() + "/parlivo");
    ASSERT_TRUE(first.acquire());
    QObject::connect(&first, &SingleInstance::raiseRequested, w.get(),
                     [this](const QString &token) { bringBack(w.get(), token); });

    QTest::mouseClick(w->Label11, Qt::LeftButton);
    // A minimised window gets no more frames from the compositor, and Qt then counts it
    // as not exposed.
    ASSERT_TRUE(QTest::qWaitFor([&] { w->update(); return !w->windowHandle()->isExposed(); }, 3000));

    auto later = std::async(std::launch::async, [&] {
        SingleInstance second(base.path() + "/parlivo");
        return !second.acquire() && second.askRunningToRaise(1500);
    });
    ASSERT_TRUE(QTest::qWaitFor([&] { return later.wait_for(std::chrono::seconds(0)) == std::future_status::ready; }, 3000));
    EXPECT_TRUE(later.get());
    EXPECT_TRUE(QTest::qWaitFor([&] { w->update(); return w->isVisible() && w->windowHandle()->isExposed(); },
                                ActivationAnswerMs + 3000));
    EXPECT_FALSE(w->isMinimized());
}
