#pragma once
// Opening a small dialog (a message box, a prompt) over the window it belongs to. Where the
// windowing system honours positions this is an ordinary window-modal dialog. Where the
// compositor places windows, a dialog's parent does not decide where it opens (mutter puts
// it in the screen's corner, far from the window it speaks about), so there the dialog
// opens as a sheet inside that window: centred on it, over a veil that keeps the window's
// own controls from being used meanwhile, as a modal box would.
class QDialog;

namespace parlivo {

void openOverWindow(QDialog *dialog);

} // namespace parlivo
