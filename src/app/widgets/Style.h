#pragma once
class QApplication;
class QWidget;
namespace parlivo {
// The window's look: one calm style sheet for every form.
void applyStyle(QApplication &app);
// Draws a clear ring around the control of window that has the keyboard focus.
void installFocusRing(QWidget *window);
}
