#pragma once
// Making a fixed layout work with the fonts and screens it meets: captions get the largest
// font (down to a readable floor) at which they show whole, drop-down lists open as wide
// as their longest entry, and a window larger than the screen's free area is scaled down
// and placed fully inside it (on Wayland the compositor places it; only the size is fitted).
#include <QPoint>
#include <QRect>

class QComboBox;
class QWidget;

namespace parlivo {

// The smallest point size a caption is shrunk to.
inline constexpr double SmallestCaptionPointSize = 7.0;

// Shrinks the font of every caption under root (labels, buttons, group-box titles) that
// does not show whole in its control. Run once the controls have their places and style.
void fitCaptions(QWidget *root);

// The list of combo opens at least as wide as its widest entry, and entries wider than
// the closed box carry their whole text as a tool tip; kept up as entries come and go.
void widenPopup(QComboBox *combo);

// The factor (at most 1) by which a window of the given outer size must shrink to fit
// into the available area.
double fitScale(QSize outer, const QRect &available);
// Scales a fixed window's size, every child's place and size and every font by factor.
void scaleFixedLayout(QWidget *window, double factor);
// Where a window of the given outer size goes: centred on centre, but fully inside the
// available area (at its top-left corner when it is larger still).
QPoint placeInside(QSize outer, QPoint centre, const QRect &available);
// The part of a screen's available area a window may fill: all of it where the desktop's
// panels are known (X11), less an allowance for them where they are not (Wayland).
QRect usableArea(const QRect &available, bool panelsKnown);
// Before a window is first shown: shrinks it if it would not fit the free area of the
// screen at centre, and places it (its frame included) centred there but fully inside.
// Once the window manager has framed it, its real frame is checked again.
void openInsideScreen(QWidget *window, QPoint centre);
// Shrinks a fixed window that is larger than room (as a sheet inside a smaller window).
void fitInto(QWidget *window, QSize room);

} // namespace parlivo
