#include "app/widgets/LevelMeter.h"

#include <QAccessible>
#include <QDateTime>
#include <QLinearGradient>
#include <QPainter>
#include <algorithm>
#include <cmath>

namespace parlivo {

namespace {

// Perceived loudness is closer to a logarithmic scale: -48..0 dBFS spans the bar.
float barFraction(float v)
{
    const float db = v > 0 ? 20.0f * std::log10(v) : -96.0f;
    return std::clamp((db + 48.0f) / 48.0f, 0.0f, 1.0f);
}

} // namespace

LevelMeter::LevelMeter(QWidget *parent) : QWidget(parent)
{
    setAccessibleName(tr("Microphone level"));
    setMinimumHeight(8);
}

int LevelMeter::percent() const
{
    return qRound(barFraction(m_level) * 100);
}

void LevelMeter::setLevel(float peak)
{
    peak = std::clamp(peak, 0.0f, 1.0f);
    // Rise at once, fall gently, so short syllables stay visible.
    m_level = std::max(peak, m_level * 0.7f);
    m_hold = std::max(m_level, m_hold * 0.95f);
    update();
    // The bar moves many times a second; a screen reader hears of it at most twice a second.
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    if (QAccessible::isActive() && percent() != m_reportedPercent && now - m_reportedAt >= 500) {
        m_reportedPercent = percent();
        m_reportedAt = now;
        QAccessibleValueChangeEvent event(this, m_reportedPercent);
        QAccessible::updateAccessibility(&event);
    }
}

void LevelMeter::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF r = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    p.setPen(QColor(170, 180, 200));
    p.setBrush(QColor(240, 243, 248));
    p.drawRoundedRect(r, 3, 3);
    auto toWidth = [&](float v) { return r.width() * barFraction(v); };
    QLinearGradient g(r.topLeft(), r.topRight());
    g.setColorAt(0.0, QColor(60, 180, 90));
    g.setColorAt(0.7, QColor(230, 200, 40));
    g.setColorAt(1.0, QColor(220, 60, 50));
    p.setPen(Qt::NoPen);
    p.setBrush(g);
    p.drawRoundedRect(QRectF(r.left(), r.top(), toWidth(m_level), r.height()), 3, 3);
    const qreal hx = r.left() + toWidth(m_hold);
    p.setPen(QPen(QColor(90, 90, 90), 1.5));
    if (m_hold > 0.001f)
        p.drawLine(QPointF(hx, r.top() + 1), QPointF(hx, r.bottom() - 1));
}

} // namespace parlivo
