#include "app/DisplayChoice.h"
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
        return second.askRunningToRaise(1500, QStringLiteral("launcher-token_42"));
    });
    EXPECT_TRUE(QTest::qWaitFor([&] { return later.wait_for(std::chrono::seconds(0)) == std::future_status::ready; }, 3000));
    EXPECT_TRUE(later.get());
    ASSERT_EQ(raised.count(), 1);
    // The desktop's permission to take the focus travels with the request.
    EXPECT_EQ(raised.first().at(0).toString(), "launcher-token_42");
}

TEST(SingleInstance, TheActivationTokenIsTakenOutOfTheEnvironmentAndCheckedForSense)
{
    qputenv("XDG_ACTIVATION_TOKEN", "abc:123");
    EXPECT_EQ(SingleInstance::takeActivationToken(), "abc:123");
    EXPECT_FALSE(qEnvironmentVariableIsSet("XDG_ACTIVATION_TOKEN"));
    qputenv("XDG_ACTIVATION_TOKEN", "two words");
    EXPECT_EQ(SingleInstance::takeActivationToken(), "");
    EXPECT_EQ(SingleInstance::takeActivationToken(), "");
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

TEST(DisplayChoice, AMissingWaylandPluginFallsBackToX11OrSaysSoInsteadOfAborting)
{
    DisplayEnvironment env{QString(), "wayland-0", ":0", false};
    DisplayChoice c = chooseDisplay(env);
    EXPECT_EQ(c.forcePlatform, "xcb");
    EXPECT_TRUE(c.canOpen);
    EXPECT_TRUE(c.note.contains("qt6-wayland"));

    env.x11Display.clear();
    c = chooseDisplay(env);
    EXPECT_FALSE(c.canOpen);
    EXPECT_TRUE(c.note.contains("qt6-wayland"));

    env.waylandDisplay.clear();
    EXPECT_FALSE(chooseDisplay(env).canOpen) << "no display at all";

    // With the plugin, or with the user's own choice, Qt decides.
    EXPECT_EQ(chooseDisplay({QString(), "wayland-0", QString(), true}).forcePlatform, "");
    EXPECT_TRUE(chooseDisplay({"offscreen", QString(), QString(), false}).canOpen);
}
