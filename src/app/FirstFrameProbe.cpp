#include "FirstFrameProbe.h"

#include <QCoreApplication>
#include <QEvent>
#include <QTimer>

#include <cstdio>
#include <cstdlib>

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
        // Leave at once when this frame has been flushed: what is measured is the time to
        // the first frame, not the teardown.
        QTimer::singleShot(0, qApp, [] {
            std::fflush(nullptr);
            std::_Exit(0);
        });
        deleteLater();
    }
    return false;
}

} // namespace parlivo
