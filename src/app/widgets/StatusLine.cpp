#include "app/widgets/StatusLine.h"

#include <QAccessible>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionFrame>

namespace parlivo {

StatusAnnouncement::StatusAnnouncement(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("statusAnnouncement"));
    setFocusPolicy(Qt::NoFocus);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setGeometry(0, 0, 0, 0);   // nothing to see: the line itself shows the text
    hide();
}

void StatusAnnouncement::announce(const QString &text)
{
    hide();
    setAccessibleName(text);
    if (!text.isEmpty())
        show();
}

StatusLine::StatusLine(QWidget *parent) : QLineEdit(parent)
{
    setReadOnly(true);
    m_announcement = new StatusAnnouncement(this);
    connect(this, &QLineEdit::textChanged, this, &StatusLine::textUpdated);
}

void StatusLine::setIdleDescription(const QString &description)
{
    m_idleDescription = description;
    if (text().isEmpty())
        setAccessibleDescription(description);
}

void StatusLine::textUpdated(const QString &text)
{
    setCursorPosition(0);
    setToolTip(text);
    setAccessibleDescription(text.isEmpty() ? m_idleDescription : text);
    // To assistive technology the line is a status bar named by what it says, so a new
    // text is announced as the status bar's new name.
    QAccessibleEvent event(this, QAccessible::NameChanged);
    QAccessible::updateAccessibility(&event);
    m_announcement->announce(text);
    update();
}

QRect StatusLine::textArea() const
{
    QStyleOptionFrame option;
    initStyleOption(&option);
    const QMargins m = textMargins();
    // The line edit keeps two pixels between its contents rectangle and the text.
    return style()->subElementRect(QStyle::SE_LineEditContents, &option, this)
        .adjusted(m.left() + 2, m.top(), -m.right() - 2, -m.bottom());
}

QString StatusLine::shownText() const
{
    return fontMetrics().elidedText(text(), Qt::ElideRight, textArea().width());
}

void StatusLine::paintEvent(QPaintEvent *event)
{
    const QString shown = shownText();
    if (shown == text()) {
        QLineEdit::paintEvent(event);
        return;
    }
    QPainter p(this);
    QStyleOptionFrame option;
    initStyleOption(&option);
    style()->drawPrimitive(QStyle::PE_PanelLineEdit, &option, &p, this);
    p.setPen(palette().color(QPalette::Text));
    p.drawText(textArea(), Qt::AlignLeft | Qt::AlignVCenter, shown);
}

} // namespace parlivo
