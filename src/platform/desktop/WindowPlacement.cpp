#include "platform/desktop/WindowPlacement.h"
#include "platform/desktop/OutputScale.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <QWindow>

namespace parlivo {

bool topLevelPositionsHonoured()
{
    return !QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
}

QRect availableArea(QScreen *screen)
{
    if (!screen)
        return {};
    if (topLevelPositionsHonoured())
        return screen->availableGeometry();
    return logicalArea(screen->availableGeometry(), screen->size(), waylandOutputs());
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
