#pragma once
// Bringing the open window back when the program is started a second time. On X11 the
// window manager unminimises and raises on request. On Wayland no request can undo a
// minimise: the desktop's activation token (passed on by the second start) lets the
// compositor show and focus it, and where there is no token or the compositor does not
// take it (weston has no activation at all), the window is mapped afresh, which shows it
// unminimised in front.
#include <QString>

class QWidget;

namespace parlivo {

// Whether a window that did not become active after an activation request gets mapped
// afresh; the delay gives the compositor time to answer the request first.
inline constexpr int ActivationAnswerMs = 600;

void bringBack(QWidget *window, const QString &activationToken);

} // namespace parlivo
