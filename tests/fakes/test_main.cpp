// Test entry point: a QApplication (offscreen unless told otherwise) around GoogleTest.
#include <QApplication>
#include <QFileInfo>
#include <gmock/gmock.h>

#include <algorithm>
#include <cstring>
#include <vector>

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // Wayland tests talk to the test compositor only, never to a desktop's own session;
    // without one they run offscreen, where they skip.
    if (qEnvironmentVariable("QT_QPA_PLATFORM").startsWith(QLatin1String("wayland"))) {
        const QString socket = qEnvironmentVariable("PARLIVO_WAYLAND_DISPLAY");
        if (!socket.isEmpty() && QFileInfo(socket).exists())
            qputenv("WAYLAND_DISPLAY", socket.toLocal8Bit());
        else
            qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    // ctest may run a part of an executable's suites as an entry of its own, so that the words
    // of a failure there are not buried under the rest's output; a filter given by hand wins.
    std::vector<char *> args(argv, argv + argc);
    QByteArray selection = "--gtest_filter=" + qgetenv("PARLIVO_TEST_SELECTION");
    const bool filtered = std::any_of(args.begin(), args.end(), [](const char *a) { return !std::strncmp(a, "--gtest_filter", 14); });
    if (!qEnvironmentVariableIsEmpty("PARLIVO_TEST_SELECTION") && qEnvironmentVariableIsEmpty("GTEST_FILTER") && !filtered)
        args.push_back(selection.data());
    args.push_back(nullptr);
    argc = int(args.size()) - 1;
    argv = args.data();
    QApplication app(argc, argv);
    testing::InitGoogleMock(&argc, argv);
    return RUN_ALL_TESTS();
}
