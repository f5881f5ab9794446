#pragma once
// Balloon tool tips: a rounded bubble with a pointer, an icon, a bold title and the text,
// shown while the pointer rests on the control and hidden after the tip's duration.
#include "platform/BalloonTip.h"

#include <QPainterPath>
#include <QPointer>
#include <QTimer>
#include <QWidget>

namespace parlivo {

class BalloonBubble : public QWidget
{
    Q_OBJECT
public:
    explicit BalloonBubble(QWidget *parent = nullptr);
    void setContent(int icon, const QString &title, const QString &text, const QColor &textColor,
                    const QColor &background);
    void showNear(QWidget *control);
    // The tip of the pointer, in the bubble's coordinates.
    QPoint pointerTip() const { return {m_pointerX, m_pointerUp ? 0 : height() - 1}; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QSize contentSize() const;
    QPainterPath outline() const;
    QRectF bodyRect() const;
    void updateShape();
    int m_icon = 1;
    QString m_title, m_text;
    QColor m_textColor, m_background;
    bool m_pointerUp = true;   // the pointer sits on the top edge (bubble below the control)
    int m_pointerX = 24;
};

class QtBalloonTip : public BalloonTip
{
    Q_OBJECT
public:
    explicit QtBalloonTip(QObject *parent = nullptr);
    ~QtBalloonTip() override;

    void setActivateOnHover(bool on) override { m_active = on; }
    void setMaxWidthFactor(int factor) override { m_factor = factor; }
    void setToolTip(QWidget *control, const QString &text, const QString &title, int style, int icon,
                    int reserved, const QColor &textColor, const QColor &backgroundColor, int delay,
                    int durationMs, int flags) override;
    QWidget *control() const override { return m_control; }
    QString text() const override { return m_text; }
    QString title() const override { return m_title; }
    int icon() const override { return m_icon; }
    int durationMs() const { return m_duration; }
    QColor textColor() const { return m_textColor; }
    QColor backgroundColor() const { return m_background; }
    bool isShowing() const;
    BalloonBubble *bubble() const { return m_bubble; }

    void showTip();
    void hideTip();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QPointer<QWidget> m_control;
    QString m_text, m_title;
    int m_icon = 0;
    int m_duration = 18000;
    int m_factor = 1;
    bool m_active = true;
    QColor m_textColor, m_background;
    QPointer<BalloonBubble> m_bubble;
    QTimer m_showDelay, m_hideAfter;
};

class QtBalloonTipFactory : public BalloonTipFactory
{
public:
    BalloonTip *create(QObject *parent) override { return new QtBalloonTip(parent); }
};

} // namespace parlivo
