#include "app/widgets/FocusReturn.h"

#include <QApplication>
#include <QEvent>
#include <QPointer>
#include <QWidget>

namespace parlivo {

namespace {

class FocusReturn : public QObject
{
public:
    FocusReturn(QWidget *window, QWidget *opener) : QObject(window), m_window(window), m_opener(opener)
    {
        window->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched == m_window && event->type() == QEvent::Hide && !m_window->isVisible())
            giveBack();
        return false;
    }

private:
    void giveBack()
    {
        QWidget *active = QApplication::activeWindow();
        QWidget *focus = QApplication::focusWidget();
        const bool lost = (!active || active == m_window) && (!focus || m_window->isAncestorOf(focus) || focus == m_window);
        if (!lost || !m_opener || !m_opener->isVisible() || !m_opener->isEnabled())
            return;
        m_opener->window()->activateWindow();
        m_opener->setFocus(Qt::OtherFocusReason);
    }
    QWidget *m_window;
    QPointer<QWidget> m_opener;
};

} // namespace

void returnFocusWhenClosed(QWidget *window)
{
    QWidget *opener = QApplication::focusWidget();
    if (window && opener && opener->window() != window)
        new FocusReturn(window, opener);
}

QWidget *firstFocusableIn(QWidget *container)
{
    // The container's controls follow each other in the focus chain; the panel's own tab
    // order decides which is first: walk back to where the run of its controls begins.
    auto takesTab = [container](QWidget *w) {
        return container->isAncestorOf(w) && w->isVisibleTo(container->window()) && w->isEnabled()
               && (w->focusPolicy() & Qt::TabFocus);
    };
    QWidget *w = container->nextInFocusChain();
    int guard = 0;
    while (w != container && !container->isAncestorOf(w) && ++guard < 1000)
        w = w->nextInFocusChain();
    if (!container->isAncestorOf(w))
        return nullptr;
    for (guard = 0; container->isAncestorOf(w->previousInFocusChain()) && guard < 1000; ++guard)
        w = w->previousInFocusChain();
    for (guard = 0; guard < 1000; ++guard, w = w->nextInFocusChain()) {
        if (takesTab(w))
            return w;
        if (guard > 0 && w == container)
            break;
    }
    return nullptr;
}

} // namespace parlivo
