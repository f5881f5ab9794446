#pragma once
// Keyboard users keep their place: a window opened from a control hands the focus back
// to where it was when it closes.
class QWidget;

namespace parlivo {

// Remembers the control that has the focus now; when window hides (closes), that control
// gets the focus back, provided the focus was still in window, or nowhere.
void returnFocusWhenClosed(QWidget *window);

// The first control of container that Tab would reach: visible, enabled, taking focus.
QWidget *firstFocusableIn(QWidget *container);

} // namespace parlivo
