#include "app/widgets/Style.h"

#include <QApplication>
#include <QFocusFrame>
#include <QFont>
#include <QPainter>
#include <QPointer>
#include <QWidget>

namespace parlivo {

namespace {

const QColor FocusRingDark(0x10, 0x2a, 0x5c);
const QColor FocusRingLight(Qt::white);

// A ring drawn around whichever control of its window has the keyboard focus. It is one
// overlay for every kind of control, so the blue and green buttons, the lists and the
// slider all show the focus the same clear way. It lies just outside the control: a dark
// line between two white ones, so whatever it touches (white, blue, green, the red of
// the error notice) one of its two colours stands out from it by far more than 3:1.
// A focus frame to Qt, so assistive technology leaves it out of the window's contents.
class FocusRing : public QFocusFrame
{
public:
    explicit FocusRing(QWidget *window) : QFocusFrame(window)
    {
        setObjectName(QStringLiteral("focusRing"));
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setAttribute(Qt::WA_NoSystemBackground);
        setFocusPolicy(Qt::NoFocus);
        hide();
        connect(qApp, &QApplication::focusChanged, this, [this](QWidget *, QWidget *now) { follow(now); });
    }

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
        setGeometry(r.adjusted(-FocusRingWidth, -FocusRingWidth, FocusRingWidth, FocusRingWidth));
        setMask(QRegion(rect()).subtracted(
            QRegion(rect().adjusted(FocusRingWidth, FocusRingWidth, -FocusRingWidth, -FocusRingWidth))));
        show();
        raise();
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        // The mask keeps only the band outside the control: white, two dark, white.
        QPainter p(this);
        p.fillRect(rect(), FocusRingLight);
        p.fillRect(rect().adjusted(1, 1, -1, -1), FocusRingDark);
        p.fillRect(rect().adjusted(3, 3, -3, -3), FocusRingLight);
    }
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched == m_target && (event->type() == QEvent::Move || event->type() == QEvent::Resize
                                    || event->type() == QEvent::Hide || event->type() == QEvent::Show))
            follow(m_target);
        return false;
    }

private:
    QPointer<QWidget> m_target;
};

// Every window of the program that takes the focus (dialogs, message boxes, the viewer,
// the about box, the error notice) gets the same ring the first time it does; pop-ups
// (menus, lists of a combo box) mark their current entry themselves.
void ringTheFocusedWindow(QWidget *now)
{
    if (!now)
        return;
    QWidget *window = now->window();
    const Qt::WindowType type = window->windowType();
    if (type != Qt::Window && type != Qt::Dialog && type != Qt::Tool && type != Qt::Sheet)
        return;
    if (window->findChild<FocusRing *>(QStringLiteral("focusRing"), Qt::FindDirectChildrenOnly))
        return;
    (new FocusRing(window))->follow(now);
}

} // namespace

void applyStyle(QApplication &app)
{
    // The default font of a Debian desktop; each control that needs to fits its own.
    QFont font = app.font();
    font.setPointSizeF(10);
    app.setFont(font);
    // Fonts are set on the controls themselves (see the window's build), so they can be
    // fitted to their places; the sheet carries colours, borders and backgrounds only.
    // A button that cannot be pressed turns grey and flat with a dashed edge (not colour
    // alone), its caption still readable at 5:1.
    app.setStyleSheet(QStringLiteral(R"(
        QFrame#Frame2, QFrame#Frame3, QFrame#Frame4, QFrame#Frame7 {
            background: rgba(255, 255, 255, 235); border: 1px solid #b9c6dc; border-radius: 8px; }
        QLabel[role="heading"] { color: #1f3d73; }
        QLabel#Label14 { color: #1f3d73; }
        QLabel[role="titlebutton"] { color: #1f3d73; border-radius: 6px; background: transparent; }
        QLabel[role="titlebutton"]:hover { background: rgba(47, 111, 208, 45); }
        QLabel#Label12:hover { background: #c62828; color: white; }
        QLabel[role="start"] { color: white; background: #2f6fd0; border-radius: 10px; }
        QLabel[role="start"]:hover { background: #2560bd; }
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
        QPushButton#Button2:hover { background: #2560bd; }
        QPushButton#Button3 { background: #1e7b45; color: white; border: none; }
        QPushButton#Button3:hover { background: #17703d; }
        QPushButton#cmdRecRecord { color: #b3261e; }
        QPushButton:disabled, QPushButton#Button2:disabled, QPushButton#Button3:disabled, QPushButton#cmdRecRecord:disabled {
            background: #e8ebef; border: 1px dashed #9aa3b0; color: #5b6472; }
        QAbstractItemView { outline: 0; }
    )"));
}

void installFocusRing(QWidget *window)
{
    static bool watching = false;
    if (!watching) {
        watching = true;
        QObject::connect(qApp, &QApplication::focusChanged, qApp,
                         [](QWidget *, QWidget *now) { ringTheFocusedWindow(now); });
    }
    if (!window->findChild<FocusRing *>(QStringLiteral("focusRing"), Qt::FindDirectChildrenOnly))
        new FocusRing(window);
}

} // namespace parlivo
