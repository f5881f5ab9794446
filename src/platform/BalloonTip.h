#pragma once
// One balloon tool tip object, attached to one control.
#include <QColor>
#include <QObject>
#include <QString>

class QWidget;

namespace parlivo {

class BalloonTip : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;
    ~BalloonTip() override = default;

    enum Icon { NoIcon = 0, InfoIcon = 1, WarningIcon = 2, ErrorIcon = 3 };
    static constexpr int BalloonStyle = 64;

    virtual void setActivateOnHover(bool on) = 0;   // the yes/no option set at creation
    virtual void setMaxWidthFactor(int factor) = 0; // the numeric option set at creation
    virtual void setToolTip(QWidget *control, const QString &text, const QString &title,
                            int style, int icon, int reserved, const QColor &textColor,
                            const QColor &backgroundColor, int delay, int durationMs,
                            int flags) = 0;
    virtual QWidget *control() const = 0;
    virtual QString text() const = 0;
    virtual QString title() const = 0;
    virtual int icon() const = 0;
};

class BalloonTipFactory
{
public:
    virtual ~BalloonTipFactory() = default;
    virtual BalloonTip *create(QObject *parent) = 0;
};

} // namespace parlivo
