#include "app/widgets/Style.h"

#include <QApplication>
#include <QFont>
#include <QPainter>
#include <QPointer>
#include <QWidget>

namespace parlivo {

namespace {

// A ring drawn around whichever control of its window has the keyboard focus. It is one
// overlay for every kind of control, so the blue and green buttons, the lists and the
// slider all show the focus the same clear way.
class FocusRing : public QWidget
{
public:
    explicit FocusRing(QWidget *window) : QWidget(window)
    {
        setObjectName(QStringLiteral("focusRing"));
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setAttribute(Qt::WA_NoSystemBackground);
        setFocusPolicy(Qt::NoFocus);
        hide();
        connect(qApp, &QApplication::focusChanged, this, [this](QWidget *, QWidget *now) { follow(now); });
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(QPen(QColor(0xe0, 0x7b, 0x00), 2.5));
        p.setBrush(Qt::NoBrush);
        p.drawRoundedRect(QRectF(rect()).adjusted(1.5, 1.5, -1.5, -1.5), 5, 5);
        // The ring is all there is of this widget: the rest lets the control show through.
    }
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched == m_target && (event->type() == QEvent::Move || event->type() == QEvent::Resize
                                    || event->type() == QEvent::Hide || event->type() == QEvent::Show))
            follow(m_target);
        return false;
    }

private:
    void follow(QWidget *target)
    {
        if (m_target != target) {
            if (m_target)
                m_target->removeEventFilter(this);
            m_target = target;
            if (m_target)
                m_target->installEventFilter(this);
        }
        QWidget *window = parentWidget();
        if (!target || target == window || target->window() != window || !target->isVisible()) {
            hide();
            return;
        }
        const QRect r(target->mapTo(window, QPoint(0, 0)), target->size());
        const QRect ring = r.adjusted(-3, -3, 3, 3);
        setGeometry(ring);
        setMask(QRegion(rect()).subtracted(QRegion(rect().adjusted(4, 4, -4, -4))));
        show();
        raise();
    }
    QPointer<QWidget> m_target;
};

} // namespace

void applyStyle(QApplication &app)
{
    // The default font of a Debian desktop; each control that needs to fits its own.
    QFont font = app.font();
    font.setPointSizeF(10);
    app.setFont(font);
    // Fonts are set on the controls themselves (see the window's build), so they can be
    // fitted to their places; the sheet carries colours, borders and backgrounds only.
    app.setStyleSheet(QStringLiteral(R"(
        QFrame#Frame2, QFrame#Frame3, QFrame#Frame4, QFrame#Frame7 {
            background: rgba(255, 255, 255, 235); border: 1px solid #b9c6dc; border-radius: 8px; }
        QLabel[role="heading"] { color: #1f3d73; }
        QLabel#Label14 { color: #1f3d73; }
        QLabel[role="titlebutton"] { color: #1f3d73; border-radius: 6px; background: transparent; }
        QLabel[role="titlebutton"]:hover { background: rgba(47, 111, 208, 45); }
        QLabel#Label12:hover { background: #e5484d; color: white; }
        QLabel[role="start"] { color: white; background: #2f6fd0; border-radius: 10px; }
        QLabel[role="start"]:hover { background: #3d7fe3; }
        QLabel#Label23 { color: #2a5db0; }
        QLabel#Label1 { color: #233; }
        QLabel#Label22 { color: #2a5db0; }
        QLineEdit#Text1 { background: #f5f8fd; border: 1px solid #b9c6dc; border-radius: 4px; padding: 2px 6px; color: #123; }
        QLineEdit#Label7 { background: transparent; color: #334; }
        QLabel#Label18 { color: #1f3d73; }
        QPushButton { background: #f4f7fc; border: 1px solid #9fb2d3; border-radius: 5px; padding: 0px 4px; color: #13294b; }
        QPushButton:hover { background: #e3ecfa; }
        QPushButton:pressed { background: #cbd9f2; }
        QPushButton#Button2 { background: #2f6fd0; color: white; border: none; }
        QPushButton#Button2:hover { background: #3d7fe3; }
        QPushButton#Button3 { background: #2e9d5b; color: white; border: none; }
        QPushButton#Button3:hover { background: #38b56a; }
        QPushButton#cmdRecRecord { color: #b3261e; }
    )"));
}

void installFocusRing(QWidget *window)
{
    new FocusRing(window);
}

} // namespace parlivo
