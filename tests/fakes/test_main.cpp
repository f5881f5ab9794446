// Test entry point: a QApplication (offscreen unless told otherwise) around GoogleTest.
#include <QApplication>
#include <QFileInfo>
#include <gmock/gmock.h>

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
    QApplication app(argc, argv);
    testing::InitGoogleMock(&argc, argv);
    return RUN_ALL_TESTS();
}
