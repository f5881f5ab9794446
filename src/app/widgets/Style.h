#pragma once
class QApplication;
namespace parlivo {
// The window's look: one calm style sheet for every form.
void applyStyle(QApplication &app);
}
