#pragma once
// Opening a dialog or a small window (a message box, a prompt, the picture viewer, the about
// box) over the window it belongs to. Where the windowing system honours positions this is
// an ordinary window. Where the compositor places windows, a window's transient parent does
// not decide where it opens (mutter centres only windows it takes for dialogs on their
// parent and puts every other one in the screen's corner, far from the window it speaks
// about), so there it opens as a sheet inside that window: centred on it, over a veil that
// keeps the window's own controls from being used meanwhile, as a modal box would. The
// keyboard goes into the sheet, Escape closes it, and the control that had the focus gets it
// back when the sheet ends.
#include <QSize>

class QDialog;
class QWidget;

namespace parlivo {

// Opens dialog over the window of its parent widget; its answer ends the sheet.
void openOverWindow(QDialog *dialog);

// Shows window, a top-level widget of its own, as a sheet inside owner's window; the sheet
// ends when window hides (or closes). Only where top-level positions are not honoured:
// elsewhere the caller shows window as the window it is.
void openAsSheet(QWidget *window, QWidget *owner);

// The largest size a sheet may have inside owner's window, its title bar and edge included.
QSize sheetRoom(const QWidget *owner);

} // namespace parlivo
