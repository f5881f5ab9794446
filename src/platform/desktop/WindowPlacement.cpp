#include "platform/desktop/WindowPlacement.h"

#include <QGuiApplication>
#include <QWidget>
#include <QWindow>

namespace parlivo {

bool topLevelPositionsHonoured()
{
    return !QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
}

void belongTo(QWidget *window, QWidget *owner)
{
    if (!window || !owner || window->parentWidget())
        return;
    QWidget *top = owner->window();
    window->winId();
    top->winId();
    if (window->windowHandle() && top->windowHandle())
        window->windowHandle()->setTransientParent(top->windowHandle());
}

} // namespace parlivo
