#include "platform/desktop/BalloonTipWidget.h"
#include "platform/desktop/WindowPlacement.h"

#include <QApplication>
#include <QBitmap>
#include <QEvent>
#include <QFontMetrics>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>
#include <QStyle>

namespace parlivo {

namespace {
constexpr int Margin = 10;
constexpr int IconSize = 20;
constexpr int PointerHeight = 12;
constexpr int Radius = 9;
constexpr int MaxTextWidth = 420;
}

BalloonBubble::BalloonBubble(QWidget *parent)
    : QWidget(parent, Qt::ToolTip | Qt::FramelessWindowHint | Qt::WindowDoesNotAcceptFocus)
{
    setObjectName(QStringLiteral("BalloonBubble"));
    setAttribute(Qt::WA_ShowWithoutActivating);
    setAttribute(Qt::WA_TranslucentBackground);
}

void BalloonBubble::setContent(int icon, const QString &title, const QString &text, const QColor &textColor,
                               const QColor &background)
{
    m_icon = icon;
    m_title = title;
    QString t = text;
    m_text = t.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).trimmed();
    m_textColor = textColor;
    m_background = background;
    resize(contentSize());
    setAccessibleName(title);
    setAccessibleDescription(m_text);
}

QSize BalloonBubble::contentSize() const
{
    QFont bold = font();
    bold.setBold(true);
    const QFontMetrics fmBold(bold), fm(font());
    const QRect titleRect = fmBold.boundingRect(QRect(0, 0, MaxTextWidth, 1000), Qt::TextWordWrap, m_title);
    const QRect textRect = fm.boundingRect(QRect(0, 0, MaxTextWidth, 1000), Qt::TextWordWrap, m_text);
    const int w = std::max(titleRect.width() + IconSize + 6, textRect.width()) + 2 * Margin;
    const int h = std::max(titleRect.height(), IconSize) + 6 + textRect.height() + 2 * Margin + PointerHeight;
    return {std::max(w, 120), h};
}

void BalloonBubble::showNear(QWidget *control)
{
    // A child pop-up of the control's window: the compositor places it relative to that
    // window, and both positions below come from the same books, so the pointer lands on
    // the control wherever the window really stands.
    QWidget *owner = control->window();
    if (parentWidget() != owner)
        setParent(owner, windowFlags());
    const QRect target(control->mapToGlobal(QPoint(0, 0)), control->size());
    QScreen *screen = control->screen();
    // Where the screen's layout is unknown (Wayland), the balloon keeps inside the window.
    const QRect avail = !topLevelPositionsHonoured() ? QRect(owner->mapToGlobal(QPoint(0, 0)), owner->size())
                        : screen                     ? screen->availableGeometry()
                                                     : QRect(0, 0, 1920, 1080);
    QPoint anchor(target.center().x(), target.bottom());
    m_pointerUp = anchor.y() + height() <= avail.bottom();
    if (!m_pointerUp)
        anchor.setY(target.top());
    int x = std::clamp(anchor.x() - 24, avail.left(), std::max(avail.left(), avail.right() - width()));
    m_pointerX = std::clamp(anchor.x() - x, Radius + 6, width() - Radius - 6);
    const int y = m_pointerUp ? anchor.y() : anchor.y() - height();
    move(x, y);
    updateShape();
    show();
    raise();
}

QPainterPath BalloonBubble::outline() const
{
    const QRectF body = bodyRect();
    QPainterPath path;
    path.addRoundedRect(body, Radius, Radius);
    QPainterPath pointer;
    if (m_pointerUp) {
        pointer.moveTo(m_pointerX - 8, body.top() + 1);
        pointer.lineTo(m_pointerX, 0.5);
        pointer.lineTo(m_pointerX + 8, body.top() + 1);
    } else {
        pointer.moveTo(m_pointerX - 8, body.bottom() - 1);
        pointer.lineTo(m_pointerX, height() - 0.5);
        pointer.lineTo(m_pointerX + 8, body.bottom() - 1);
    }
    pointer.closeSubpath();
    return path.united(pointer);
}

QRectF BalloonBubble::bodyRect() const
{
    return m_pointerUp ? QRectF(0.5, PointerHeight + 0.5, width() - 1, height() - PointerHeight - 1)
                       : QRectF(0.5, 0.5, width() - 1, height() - PointerHeight - 1);
}

void BalloonBubble::updateShape()
{
    // Without a compositing window manager the translucent corners would show as a black
    // box; the mask cuts the window to the balloon itself, as the help character does.
    QBitmap shape(size());
    shape.fill(Qt::color0);
    QPainter p(&shape);
    p.setPen(QPen(Qt::color1, 1));
    p.setBrush(Qt::color1);
    p.drawPath(outline());
    p.end();
    setMask(shape);
}

void BalloonBubble::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF body = bodyRect();
    const QPainterPath path = outline();
    p.setPen(QPen(QColor(90, 90, 90), 1));
    p.setBrush(m_background);
    p.drawPath(path);

    const QStyle::StandardPixmap sp = m_icon == 2 ? QStyle::SP_MessageBoxWarning
                                    : m_icon == 3 ? QStyle::SP_MessageBoxCritical
                                                  : QStyle::SP_MessageBoxInformation;
    const int top = int(body.top()) + Margin;
    if (m_icon > 0)
        style()->standardIcon(sp).paint(&p, QRect(Margin, top, IconSize, IconSize));
    QFont bold = font();
    bold.setBold(true);
    p.setFont(bold);
    p.setPen(m_textColor);
    const QRect titleRect(Margin + IconSize + 6, top, width() - 2 * Margin - IconSize - 6, IconSize);
    p.drawText(titleRect, Qt::AlignVCenter | Qt::TextWordWrap, m_title);
    p.setFont(font());
    const QRect textRect(Margin, top + IconSize + 6, width() - 2 * Margin, int(body.bottom()) - top - IconSize - 6);
    p.drawText(textRect, Qt::TextWordWrap, m_text);
}

QtBalloonTip::QtBalloonTip(QObject *parent) : BalloonTip(parent)
{
    m_showDelay.setSingleShot(true);
    m_showDelay.setInterval(450);
    m_hideAfter.setSingleShot(true);
    connect(&m_showDelay, &QTimer::timeout, this, &QtBalloonTip::showTip);
    connect(&m_hideAfter, &QTimer::timeout, this, &QtBalloonTip::hideTip);
}

QtBalloonTip::~QtBalloonTip()
{
    delete m_bubble;
}

void QtBalloonTip::setToolTip(QWidget *control, const QString &text, const QString &title, int, int icon, int,
                              const QColor &textColor, const QColor &backgroundColor, int, int durationMs, int)
{
    if (m_control)
        m_control->removeEventFilter(this);
    m_control = control;
    m_text = text;
    m_title = title;
    m_icon = icon;
    m_textColor = textColor;
    m_background = backgroundColor;
    m_duration = durationMs > 0 ? durationMs : 18000;
    if (control) {
        control->installEventFilter(this);
        // Screen readers read the tip as the control's description.
        QString description = text;
        control->setAccessibleDescription(title + QStringLiteral(": ") + description.replace(QStringLiteral("\r\n"), QStringLiteral(" ")).simplified());
    }
}

bool QtBalloonTip::isShowing() const
{
    return m_bubble && m_bubble->isVisible();
}

void QtBalloonTip::showTip()
{
    if (!m_control || !m_control->isVisible())
        return;
    if (!m_bubble)
        m_bubble = new BalloonBubble(m_control->window());
    m_bubble->setContent(m_icon, m_title, m_text, m_textColor, m_background);
    m_bubble->showNear(m_control);
    m_hideAfter.start(m_duration);
}

void QtBalloonTip::hideTip()
{
    m_showDelay.stop();
    m_hideAfter.stop();
    if (m_bubble)
        m_bubble->hide();
}

bool QtBalloonTip::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_control) {
        switch (event->type()) {
        case QEvent::Enter:
            if (m_active)
                m_showDelay.start();
            break;
        case QEvent::Leave:
        case QEvent::MouseButtonPress:
        case QEvent::Hide:
            hideTip();
            break;
        case QEvent::ToolTip:
            return true;   // the balloon replaces the plain tool tip
        default:
            break;
        }
    }
    return BalloonTip::eventFilter(watched, event);
}

} // namespace parlivo
