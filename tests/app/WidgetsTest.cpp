// The window's own widgets: balloon tips, labels acting as buttons, the signal closer.
#include "platform/desktop/BalloonTipWidget.h"
#include "app/widgets/ClickLabel.h"
#include "app/SignalCloser.h"
#include "platform/desktop/QtDesktop.h"

#include <QApplication>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <csignal>
#include <gtest/gtest.h>

using namespace parlivo;

TEST(BalloonTip, ShowsOnHoverAndHidesAfterItsDuration)
{
    QWidget window;
    auto *button = new QPushButton("Play", &window);
    window.show();
    QtBalloonTip tip;
    tip.setActivateOnHover(true);
    tip.setToolTip(button, "TRANSFERS audio file from Step 1. to Step 2.\r\nthen auto-plays.\r\n\r\n", "Play current",
                   64, 1, 0, QColor(0, 0, 200), QColor(255, 255, 225), -1, 300, 0);
    EXPECT_FALSE(tip.isShowing());
    QEvent enter(QEvent::Enter);
    QApplication::sendEvent(button, &enter);
    EXPECT_TRUE(QTest::qWaitFor([&] { return tip.isShowing(); }, 2000));
    EXPECT_TRUE(QTest::qWaitFor([&] { return !tip.isShowing(); }, 2000));   // gone after the 300 ms duration
    // The description reaches screen readers, without the line breaks.
    EXPECT_EQ(button->accessibleDescription(), "Play current: TRANSFERS audio file from Step 1. to Step 2. then auto-plays.");
}

TEST(BalloonTip, LeavingOrClickingHidesIt)
{
    QWidget window;
    auto *button = new QPushButton("Stop", &window);
    window.show();
    QtBalloonTip tip;
    tip.setToolTip(button, "To stop", "Stop", 64, 1, 0, Qt::blue, Qt::yellow, -1, 18000, 0);
    tip.showTip();
    EXPECT_TRUE(tip.isShowing());
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(button, &leave);
    EXPECT_FALSE(tip.isShowing());
    tip.showTip();
    QTest::mouseClick(button, Qt::LeftButton);
    EXPECT_FALSE(tip.isShowing());
}

TEST(BalloonTip, IsCutToItsShapeSoNoBoxShowsWithoutACompositor)
{
    QWidget window;
    auto *button = new QPushButton("Stop", &window);
    window.show();
    QtBalloonTip tip;
    tip.setToolTip(button, "To stop playing your\r\nmessage / audio file.", "Stop", 64, 1, 0, Qt::blue, Qt::yellow, -1,
                   18000, 0);
    tip.showTip();
    QWidget *bubble = nullptr;
    for (QWidget *top : QApplication::topLevelWidgets())
        if (top->objectName() == "BalloonBubble" && top->isVisible())
            bubble = top;
    ASSERT_NE(bubble, nullptr);
    const QRegion shape = bubble->mask();
    EXPECT_TRUE(shape.contains(bubble->rect().center()));
    for (QPoint corner : {QPoint(0, 0), QPoint(bubble->width() - 1, bubble->height() - 1)})
        EXPECT_FALSE(shape.contains(corner));
}

TEST(ClickLabel, ClickSpaceAndEnterPressIt)
{
    ClickLabel label("X");
    label.show();
    QSignalSpy clicked(&label, &ClickLabel::clicked);
    QTest::mouseClick(&label, Qt::LeftButton);
    QTest::keyClick(&label, Qt::Key_Space);
    QTest::keyClick(&label, Qt::Key_Return);
    EXPECT_EQ(clicked.count(), 3);
    // A press that ends outside the label is no click.
    QTest::mousePress(&label, Qt::LeftButton, {}, QPoint(1, 1));
    QTest::mouseRelease(&label, Qt::LeftButton, {}, QPoint(500, 500));
    EXPECT_EQ(clicked.count(), 3);
}

TEST(SignalCloser, TerminationClosesTheWindowLikeTheUserWould)
{
    QWidget window;
    window.show();
    SignalCloser closer(&window);
    ::raise(SIGTERM);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !window.isVisible(); }, 2000));
}

TEST(FileDialogFilter, TurnsPipeFiltersIntoQtFilters)
{
    EXPECT_EQ(toQtFilter("MP3 files (*.mp3)|*.mp3|"), "MP3 files (*.mp3)");
    EXPECT_EQ(toQtFilter("MPG video files (*.mpeg)|*.mpeg|"), "MPG video files (*.mpeg)");
    EXPECT_EQ(toQtFilter("Wav files (*.wav)|*.wav|All|*.*|"), "Wav files (*.wav);;All (*.*)");
    EXPECT_EQ(toQtFilter("Pictures|*.jpg;*.gif|"), "Pictures (*.jpg *.gif)");
}
