#pragma once
class QApplication;
class QWidget;
namespace parlivo {
// The window's look: one calm style sheet for every form.
void applyStyle(QApplication &app);
// Draws a clear ring around the control of window that has the keyboard focus, and from
// then on around the focused control of every other window of the program as well.
void installFocusRing(QWidget *window);
// The ring's band outside the control, in pixels: one white, two dark, one white.
constexpr int FocusRingWidth = 4;
}
