#include "WrapButton.h"

#include <QStyleOptionButton>
#include <QStylePainter>

namespace parlivo {

QSize WrapButton::sizeHint() const
{
    const QFontMetrics fm(font());
    const QRect r = fm.boundingRect(QRect(0, 0, std::max(width() - 12, 40), 1000), Qt::TextWordWrap, text());
    return {std::max(width(), 60), r.height() + 10};
}

void WrapButton::paintEvent(QPaintEvent *)
{
    QStylePainter p(this);
    QStyleOptionButton option;
    initStyleOption(&option);
    const QString caption = option.text;
    option.text.clear();
    p.drawControl(QStyle::CE_PushButton, option);

    // The caption is drawn by hand so it can wrap; shrink the font if it still does not fit.
    QRect area = style()->subElementRect(QStyle::SE_PushButtonContents, &option, this).adjusted(3, 0, -3, 0);
    QFont f = font();
    QFontMetrics fm(f);
    while (f.pointSizeF() > 6.5
           && fm.boundingRect(area, Qt::TextWordWrap | Qt::AlignCenter, caption).height() > area.height()) {
        f.setPointSizeF(f.pointSizeF() - 0.5);
        fm = QFontMetrics(f);
    }
    p.setFont(f);
    p.setPen(option.palette.color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::ButtonText));
    p.drawText(area, Qt::TextWordWrap | Qt::AlignCenter, caption);
}

} // namespace parlivo
