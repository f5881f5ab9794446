#include "app/widgets/WrapButton.h"

#include <QEvent>
#include <QKeySequence>
#include <QStyleOptionButton>
#include <QStylePainter>

namespace parlivo {

QSize WrapButton::sizeHint() const
{
    const QFontMetrics fm(font());
    const QRect r = fm.boundingRect(QRect(0, 0, std::max(width() - 12, 40), 1000), Qt::TextWordWrap, text());
    return {std::max(width(), 60), r.height() + 10};
}

void WrapButton::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange)
        m_fittedFor.clear();
    QPushButton::changeEvent(event);
}

void WrapButton::resizeEvent(QResizeEvent *event)
{
    m_fittedFor.clear();
    QPushButton::resizeEvent(event);
}

QFont WrapButton::fittedFont(const QRect &area)
{
    if (m_fittedFor == text() && m_fittedSize == area.size())
        return m_fitted;
    QFont f = font();
    QFontMetrics fm(f);
    while (f.pointSizeF() > 6.5
           && fm.boundingRect(area, Qt::TextWordWrap | Qt::AlignCenter, text()).height() > area.height()) {
        f.setPointSizeF(f.pointSizeF() - 0.5);
        fm = QFontMetrics(f);
    }
    m_fitted = f;
    m_fittedFor = text();
    m_fittedSize = area.size();
    return f;
}

void WrapButton::setAccessKey(QChar letter)
{
    m_accessKey = letter.toLower();
    setShortcut(QKeySequence(Qt::ALT | Qt::Key(letter.toUpper().unicode())));
    update();
}

QString WrapButton::drawnCaption() const
{
    QString caption = text();
    int at = -1;
    if (!m_accessKey.isNull()) {
        for (int i = 0; i < caption.size() && at < 0; ++i)
            if (caption[i].toLower() == m_accessKey && (i == 0 || !caption[i - 1].isLetterOrNumber()))
                at = i;
        if (at < 0)
            at = caption.indexOf(m_accessKey, 0, Qt::CaseInsensitive);
    }
    QString drawn;
    for (int i = 0; i < caption.size(); ++i) {
        if (i == at)
            drawn += QLatin1Char('&');
        drawn += caption[i];
        if (caption[i] == QLatin1Char('&'))
            drawn += QLatin1Char('&');
    }
    return drawn;
}

void WrapButton::paintEvent(QPaintEvent *)
{
    QStylePainter p(this);
    QStyleOptionButton option;
    initStyleOption(&option);
    option.text.clear();
    p.drawControl(QStyle::CE_PushButton, option);

    // The caption is drawn by hand so it can wrap, in a smaller font if it must.
    const QRect area = style()->subElementRect(QStyle::SE_PushButtonContents, &option, this).adjusted(3, 0, -3, 0);
    p.setFont(fittedFont(area));
    p.setPen(option.palette.color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::ButtonText));
    p.drawText(area, Qt::TextWordWrap | Qt::AlignCenter | Qt::TextShowMnemonic, drawnCaption());
}

} // namespace parlivo
