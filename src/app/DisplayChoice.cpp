#include "app/DisplayChoice.h"

#include <QDir>
#include <QLibraryInfo>

namespace parlivo {

namespace {

bool waylandPluginIn(const QString &pluginFolder)
{
    return !QDir(pluginFolder + QStringLiteral("/platforms"))
                .entryList({QStringLiteral("libqwayland*.so")}, QDir::Files)
                .isEmpty();
}

} // namespace

DisplayEnvironment DisplayEnvironment::current()
{
    DisplayEnvironment env;
    env.qpaPlatform = qEnvironmentVariable("QT_QPA_PLATFORM");
    env.waylandDisplay = qEnvironmentVariable("WAYLAND_DISPLAY");
    env.x11Display = qEnvironmentVariable("DISPLAY");
    QStringList folders = qEnvironmentVariable("QT_PLUGIN_PATH").split(QLatin1Char(':'), Qt::SkipEmptyParts);
    folders << QLibraryInfo::path(QLibraryInfo::PluginsPath);
    env.waylandPluginInstalled = false;
    for (const QString &folder : folders)
        env.waylandPluginInstalled = env.waylandPluginInstalled || waylandPluginIn(folder);
    return env;
}

DisplayChoice chooseDisplay(const DisplayEnvironment &env)
{
    DisplayChoice choice;
    if (!env.qpaPlatform.isEmpty())
        return choice;
    const bool wayland = !env.waylandDisplay.isEmpty(), x11 = !env.x11Display.isEmpty();
    if (wayland && !env.waylandPluginInstalled) {
        if (x11) {
            choice.forcePlatform = QStringLiteral("xcb");
            choice.note = QStringLiteral("Qt's Wayland plugin is not installed (Debian package qt6-wayland): "
                                         "the window opens through X11 instead");
        } else {
            choice.canOpen = false;
            choice.note = QStringLiteral("cannot open the window: this is a Wayland session and Qt's Wayland "
                                         "plugin is not installed (Debian package qt6-wayland)");
        }
    } else if (!wayland && !x11) {
        choice.canOpen = false;
        choice.note = QStringLiteral("cannot open the window: no display (neither WAYLAND_DISPLAY nor DISPLAY "
                                     "is set); the commands work without one (parlivo --help)");
    }
    return choice;
}

} // namespace parlivo
