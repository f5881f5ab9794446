#pragma once
// Which windowing system the window opens on, decided before Qt starts: Qt takes Wayland
// whenever WAYLAND_DISPLAY is set and aborts when its Wayland plugin is not installed, and
// aborts too when there is no display at all. Here either case becomes X11 (when an X
// display is there) or a plain line on the terminal.
#include <QString>

namespace parlivo {

struct DisplayEnvironment
{
    QString qpaPlatform;      // QT_QPA_PLATFORM: the user's own choice, always kept
    QString waylandDisplay;   // WAYLAND_DISPLAY
    QString x11Display;       // DISPLAY
    bool waylandPluginInstalled = true;

    static DisplayEnvironment current();
};

struct DisplayChoice
{
    QString forcePlatform;   // empty: Qt's own choice
    QString note;            // a line for the terminal, or empty
    bool canOpen = true;     // false: note says why the window cannot open
};

DisplayChoice chooseDisplay(const DisplayEnvironment &env);

} // namespace parlivo
