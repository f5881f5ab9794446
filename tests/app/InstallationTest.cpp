#include "app/instance/SingleInstance.h"
#include "message/AppLocation.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include <future>
#include <sys/wait.h>
#include <unistd.h>

using namespace parlivo;

namespace {

void touch(const QString &path)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
}

} // namespace

TEST(AppLocation, FindsTheInstalledFilesBesideBinElseUsesTheExecutablesFolder)
{
    QTemporaryDir prefix;
    const QString bin = prefix.path() + "/bin";
    QDir().mkpath(bin);
    EXPECT_EQ(locateApplicationFolder(bin), bin);
    touch(prefix.path() + "/share/parlivo/MSTemp.dll");
    EXPECT_EQ(locateApplicationFolder(bin), prefix.path() + "/share/parlivo");
}

TEST(AppLocation, WorkingFoldersStayInAWritablePortableFolderElseGoToTheUsersFolders)
{
    QTemporaryDir root;
    const QString app = root.path() + "/app", runtime = root.path() + "/run", cache = root.path() + "/cache";
    QDir().mkpath(app);
    QDir().mkpath(runtime);
    const UserFolders user{runtime, cache};

    EXPECT_EQ(chooseWorkingBase(app, app, user), app);
    // Installed: never beside the shipped files, even for a user (root) who could write there.
    EXPECT_EQ(chooseWorkingBase(root.path() + "/share/parlivo", root.path() + "/bin", user), runtime + "/parlivo");
    // No runtime folder (or one that is gone): the cache.
    EXPECT_EQ(chooseWorkingBase(app + "/missing", app, UserFolders{QString(), cache}), cache + "/parlivo");
    EXPECT_EQ(chooseWorkingBase(app + "/missing", app, UserFolders{root.path() + "/gone", cache}), cache + "/parlivo");
}

TEST(SingleInstance, ALaterStartIsRefusedAndRaisesTheFirst)
{
    QTemporaryDir base;
    SingleInstance first(base.path() + "/parlivo");
    ASSERT_TRUE(first.acquire());
    QSignalSpy raised(&first, &SingleInstance::raiseRequested);

    // The later start waits for an answer, so it runs beside this thread's event loop.
    auto later = std::async(std::launch::async, [&] {
        SingleInstance second(base.path() + "/parlivo");
        if (second.acquire())
            return false;
        return second.askRunningToRaise(1500);
    });
    EXPECT_TRUE(QTest::qWaitFor([&] { return later.wait_for(std::chrono::seconds(0)) == std::future_status::ready; }, 3000));
    EXPECT_TRUE(later.get());
    EXPECT_EQ(raised.count(), 1);
}

TEST(SingleInstance, ALockLeftByADeadProcessDoesNotBlock)
{
    QTemporaryDir base;
    const pid_t child = ::fork();
    if (child == 0)
        ::_exit(0);
    ::waitpid(child, nullptr, 0);
    QFile lock(base.path() + "/parlivo.lock");
    ASSERT_TRUE(lock.open(QIODevice::WriteOnly));
    lock.write(QByteArray::number(child) + "\nParlivo\n" + QSysInfo::machineHostName().toUtf8() + "\n");
    lock.close();
    touch(base.path() + "/parlivo.socket");  // and the socket it left

    SingleInstance instance(base.path());
    EXPECT_TRUE(instance.acquire());
    SingleInstance later(base.path());
    EXPECT_FALSE(later.acquire());
}
