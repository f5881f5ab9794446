#include "app/widgets/ClickLabel.h"

#include "app/widgets/Accessible.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

namespace parlivo {

namespace {

class AccessibleClickLabel : public QAccessibleWidget
{
public:
    explicit AccessibleClickLabel(QWidget *w) : QAccessibleWidget(w, QAccessible::Button) {}

    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Name && !widget()->accessibleName().isEmpty())
            return widget()->accessibleName();
        if (t == QAccessible::Name)
            return static_cast<QLabel *>(widget())->text();
        return QAccessibleWidget::text(t);
    }
    QAccessible::State state() const override
    {
        QAccessible::State s = QAccessibleWidget::state();
        s.hasPopup = hasPopup();
        return s;
    }
    QStringList actionNames() const override
    {
        if (hasPopup())
            return {pressAction(), showMenuAction()};
        return {pressAction()};
    }
    void doAction(const QString &name) override
    {
        if (name == pressAction() || name == showMenuAction())
            Q_EMIT static_cast<ClickLabel *>(widget())->clicked();
    }

private:
    bool hasPopup() const { return widget()->property(PopupMenuProperty).value<QObject *>() != nullptr; }
};

QAccessibleInterface *clickLabelFactory(const QString &className, QObject *object)
{
    if (className == QLatin1String("parlivo::ClickLabel") && object && object->isWidgetType())
        return new AccessibleClickLabel(static_cast<QWidget *>(object));
    return nullptr;
}

} // namespace

ClickLabel::ClickLabel(const QString &text, QWidget *parent) : QLabel(text, parent)
{
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::TabFocus);   // reachable by keyboard; a click leaves no focus ring
}

void ClickLabel::installAccessibility()
{
    static bool installed = false;
    if (!installed) {
        QAccessible::installFactory(clickLabelFactory);
        installed = true;
    }
}

void ClickLabel::mousePressEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton) {
        m_pressed = true;
        event->accept();
        return;
    }
    QLabel::mousePressEvent(event);
}

void ClickLabel::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton && m_pressed) {
        m_pressed = false;
        if (rect().contains(event->position().toPoint()))
            Q_EMIT clicked();
        event->accept();
        return;
    }
    QLabel::mouseReleaseEvent(event);
}

void ClickLabel::keyPressEvent(QKeyEvent *event)
{
    switch (event->key()) {
    case Qt::Key_Space:
    case Qt::Key_Return:
    case Qt::Key_Enter:
        Q_EMIT clicked();
        event->accept();
        return;
    default:
        QLabel::keyPressEvent(event);
    }
}

void ClickLabel::focusInEvent(QFocusEvent *event)
{
    QLabel::focusInEvent(event);
    update();
}

void ClickLabel::focusOutEvent(QFocusEvent *event)
{
    QLabel::focusOutEvent(event);
    update();
}

void ClickLabel::paintEvent(QPaintEvent *event)
{
    // The window's focus ring (see installFocusRing) marks a focused label.
    QLabel::paintEvent(event);
}

} // namespace parlivo
