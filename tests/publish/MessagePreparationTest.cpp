// Laying a message out on another thread: the window hears of it once, and a preparation
// called off as the window closes leaves none of its files behind.
#include "publish/MessagePreparation.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

namespace parlivo {
namespace {

PrepareOptions optionsIn(const QTemporaryDir &dir)
{
    PrepareOptions o;
    o.appFolder = QStringLiteral(PARLIVO_SOURCE_DIR "/assets");
    o.outFolder = dir.path() + "/out";
    o.baseName = "PVD82_1_2";
    return o;
}

TEST(MessagePreparation, FinishesOnceOrWhenCalledOffLeavesNothing)
{
    QTemporaryDir dir;
    MessageInputs in;
    in.my_text_message = "Hello";
    {
        MessagePreparation preparation;
        QSignalSpy done(&preparation, &MessagePreparation::finished);
        preparation.start(in, optionsIn(dir));
        preparation.start(in, optionsIn(dir));   // a second click while it runs
        ASSERT_TRUE(QTest::qWaitFor([&] { return !preparation.isRunning(); }, 10000));
        QTest::qWait(50);
        ASSERT_EQ(done.count(), 1);
        const auto prepared = done.at(0).at(0).value<PreparedMessage>();
        EXPECT_TRUE(prepared.ok) << prepared.error.toStdString();
        EXPECT_TRUE(QFile::exists(prepared.pagePath));
    }
    QDir(dir.path() + "/out").removeRecursively();
    MessagePreparation preparation;
    QSignalSpy done(&preparation, &MessagePreparation::finished);
    preparation.start(in, optionsIn(dir));
    preparation.cancel();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !preparation.isRunning(); }, 10000));
    QTest::qWait(50);
    EXPECT_EQ(done.count(), 0);
    EXPECT_EQ(QDir(dir.path() + "/out").entryList(QDir::Files), QStringList());
}

} // namespace
} // namespace parlivo
