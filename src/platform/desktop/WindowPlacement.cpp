#include "platform/desktop/WindowPlacement.h"

#include <QGuiApplication>
#include <QWidget>
#include <QWindow>

namespace parlivo {

namespace {
int g_forced = -1;
}

bool topLevelPositionsHonoured()
{
    if (g_forced >= 0)
        return g_forced != 0;
    return !QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
}

void forceTopLevelPositionsHonoured(int honoured)
{
    g_forced = honoured < 0 ? -1 : honoured != 0;
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
