#pragma once
// Whether the windowing system honours where the program puts its top-level windows. On
// X11 it does; Wayland compositors place every top-level themselves, ignore moves and
// report the window's corner as wherever Qt last put it (often 0,0). There, whatever must
// stand at a place on the window is drawn inside it, pop-ups are positioned relative to
// their parent window, and dialogs are left to the compositor, which centres them on the
// window they belong to.
class QRect;
class QScreen;
class QWidget;

namespace parlivo {

bool topLevelPositionsHonoured();

// The screen's free area in the units windows are sized in. On Wayland Qt's own figure may
// be in device pixels (see OutputScale.h); the compositor's outputs settle it.
QRect availableArea(QScreen *screen);

// Gives a window without a parent widget (so its life stays its own) the window it belongs
// to, so the compositor keeps it over that window and places it there.
void belongTo(QWidget *window, QWidget *owner);

} // namespace parlivo
