#include "app/instance/WindowReturn.h"

#include "platform/desktop/WindowPlacement.h"

#include <QPointer>
#include <QTimer>
#include <QWidget>

namespace parlivo {

namespace {

void showInFront(QWidget *window)
{
    window->showNormal();
    window->raise();
    window->activateWindow();
}

} // namespace

void bringBack(QWidget *window, const QString &activationToken)
{
    if (!window)
        return;
    if (topLevelPositionsHonoured()) {
        showInFront(window);
        return;
    }
    // Qt's Wayland plugin hands this token to the compositor with the next activation
    // request (and then forgets it).
    if (!activationToken.isEmpty())
        qputenv("XDG_ACTIVATION_TOKEN", activationToken.toLatin1());
    showInFront(window);
    QPointer<QWidget> guard(window);
    QTimer::singleShot(ActivationAnswerMs, window, [guard] {
        if (!guard || guard->isActiveWindow())
            return;
        // Minimised, or the compositor kept the focus elsewhere: a window mapped afresh
        // is shown, unminimised, in front.
        guard->hide();
        showInFront(guard);
    });
}

} // namespace parlivo
