#include "app/widgets/Accessible.h"

#include "app/widgets/LevelMeter.h"
#include "app/widgets/StatusLine.h"
#include "app/widgets/WrapButton.h"

#include <QAbstractScrollArea>
#include <QAccessible>
#include <QScrollBar>
#include <QAccessibleWidget>
#include <QKeySequence>
#include <QPushButton>

namespace parlivo {

namespace {

QString withoutAmpersands(QString text)
{
    text.replace(QLatin1String("&&"), QLatin1String("\x01"));
    text.remove(QLatin1Char('&'));
    text.replace(QLatin1Char('\x01'), QLatin1Char('&'));
    return text;
}

class RoleWidget : public QAccessibleWidget
{
public:
    RoleWidget(QWidget *w, QAccessible::Role role) : QAccessibleWidget(w, role) {}

    QString text(QAccessible::Text t) const override
    {
        QString s = QAccessibleWidget::text(t);
        if (t == QAccessible::Name && s.isEmpty()) {
            if (auto *label = qobject_cast<QLabel *>(widget()))
                s = label->text().simplified();
        }
        return s;
    }
};

class AccessibleButton : public QAccessibleWidget
{
public:
    explicit AccessibleButton(QWidget *w) : QAccessibleWidget(w, QAccessible::Button) {}
    QPushButton *button() const { return static_cast<QPushButton *>(widget()); }

    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Accelerator)
            return button()->shortcut().toString(QKeySequence::NativeText);
        QString s = QAccessibleWidget::text(t);
        if (t == QAccessible::Name && s.isEmpty())
            s = withoutAmpersands(button()->text());
        return s;
    }
    QAccessible::State state() const override
    {
        QAccessible::State s = QAccessibleWidget::state();
        s.pressed = button()->isDown();
        s.hasPopup = hasPopup();
        return s;
    }
    QStringList actionNames() const override
    {
        QStringList names{pressAction()};
        if (hasPopup())
            names << showMenuAction();
        return names;
    }
    void doAction(const QString &name) override
    {
        if (button()->isEnabled() && (name == pressAction() || name == showMenuAction()))
            button()->click();
    }
    QStringList keyBindingsForAction(const QString &name) const override
    {
        if (name == pressAction() && !button()->shortcut().isEmpty())
            return {button()->shortcut().toString(QKeySequence::NativeText)};
        return {};
    }

private:
    bool hasPopup() const { return widget()->property(PopupMenuProperty).value<QObject *>() != nullptr; }
};

// The status line is the program's status bar: its name is what it says now, so each
// change reaches a screen reader as the status bar's new name.
class AccessibleStatusLine : public QAccessibleWidget
{
public:
    explicit AccessibleStatusLine(QWidget *w) : QAccessibleWidget(w, QAccessible::StatusBar) {}
    QString text(QAccessible::Text t) const override
    {
        const QString shown = static_cast<StatusLine *>(widget())->text();
        if (t == QAccessible::Name)
            return shown.isEmpty() ? widget()->accessibleName() : shown;
        if (t == QAccessible::Value)
            return shown;
        return QAccessibleWidget::text(t);
    }
};

class AccessibleLevelMeter : public QAccessibleWidget, public QAccessibleValueInterface
{
public:
    explicit AccessibleLevelMeter(QWidget *w) : QAccessibleWidget(w, QAccessible::ProgressBar) {}
    void *interface_cast(QAccessible::InterfaceType t) override
    {
        if (t == QAccessible::ValueInterface)
            return static_cast<QAccessibleValueInterface *>(this);
        return QAccessibleWidget::interface_cast(t);
    }
    QVariant currentValue() const override { return static_cast<LevelMeter *>(widget())->percent(); }
    void setCurrentValue(const QVariant &) override {}   // it shows the microphone; nobody sets it
    QVariant maximumValue() const override { return 100; }
    QVariant minimumValue() const override { return 0; }
    QVariant minimumStepSize() const override { return 1; }
};

QAccessibleInterface *roleFactory(const QString &className, QObject *object)
{
    if (!object || !object->isWidgetType() || !className.startsWith(QLatin1String("parlivo::")))
        return nullptr;
    auto *w = static_cast<QWidget *>(object);
    if (className == QLatin1String("parlivo::WrapButton"))
        return new AccessibleButton(w);
    if (className == QLatin1String("parlivo::StatusLine"))
        return new AccessibleStatusLine(w);
    if (className == QLatin1String("parlivo::StatusAnnouncement"))
        return new RoleWidget(w, QAccessible::Notification);
    if (className == QLatin1String("parlivo::LevelMeter"))
        return new AccessibleLevelMeter(w);
    if (className == QLatin1String("parlivo::Heading"))
        return new RoleWidget(w, QAccessible::Heading);
    if (className == QLatin1String("parlivo::GroupPanel"))
        return new RoleWidget(w, QAccessible::Grouping);
    const QVariant role = w->property(AccessibleRoleProperty);
    if (role.isValid())
        return new RoleWidget(w, static_cast<QAccessible::Role>(role.toInt()));
    return nullptr;
}

} // namespace

void nameScrollBars(QWidget *root)
{
    for (QAbstractScrollArea *area : root->findChildren<QAbstractScrollArea *>()) {
        const QString name = area->accessibleName();
        area->verticalScrollBar()->setAccessibleName(QObject::tr("%1, vertical scroll").arg(name));
        area->horizontalScrollBar()->setAccessibleName(QObject::tr("%1, horizontal scroll").arg(name));
    }
}

void installAccessibleRoles()
{
    static bool installed = false;
    if (!installed) {
        QAccessible::installFactory(roleFactory);
        installed = true;
    }
}

} // namespace parlivo
