#include "FirstFrameProbe.h"

#include <QCoreApplication>
#include <QEvent>
#include <QTimer>

namespace parlivo {

void FirstFrameProbe::installIfAsked(QObject *target)
{
    if (!qEnvironmentVariableIsSet("PARLIVO_QUIT_AFTER_FIRST_FRAME"))
        return;
    target->installEventFilter(new FirstFrameProbe);
}

bool FirstFrameProbe::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::Paint) {
        watched->removeEventFilter(this);
        // Quit once this paint has been flushed.
        QTimer::singleShot(0, qApp, [] { QCoreApplication::exit(0); });
        deleteLater();
    }
    return false;
}

} // namespace parlivo
