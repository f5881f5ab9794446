#include "app/TrimWaveform.h"

#include <QAccessible>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

#include <algorithm>

namespace parlivo {

namespace {

constexpr int GripWidth = 12;
constexpr int GripHeight = 16;

QString secondsText(qint64 ms)
{
    return QString::number(double(ms) / 1000.0, 'f', 2);
}

} // namespace

TrimWaveform::TrimWaveform(QWidget *parent) : QWidget(parent)
{
    setFocusPolicy(Qt::StrongFocus);
    setAccessibleName(tr("Waveform"));
    setMouseTracking(true);
}

QSize TrimWaveform::sizeHint() const
{
    return {520, 150};
}

QSize TrimWaveform::minimumSizeHint() const
{
    return {240, 90};
}

void TrimWaveform::setAudio(std::vector<float> peaks, qint64 durationMs)
{
    m_peaks = std::move(peaks);
    m_durationMs = qMax<qint64>(0, durationMs);
    m_startMs = 0;
    m_endMs = m_durationMs;
    m_active = Handle::Start;
    describe();
    update();
    Q_EMIT selectionChanged(m_startMs, m_endMs);
}

QRect TrimWaveform::plotRect() const
{
    // Room at the sides so a handle at either end can still be grabbed whole.
    return rect().adjusted(GripWidth / 2 + 1, GripHeight + 2, -(GripWidth / 2 + 1), -2);
}

int TrimWaveform::xOf(qint64 ms) const
{
    const QRect r = plotRect();
    if (m_durationMs <= 0)
        return r.left();
    return r.left() + int(double(ms) * (r.width() - 1) / double(m_durationMs) + 0.5);
}

qint64 TrimWaveform::msAt(int x) const
{
    const QRect r = plotRect();
    if (r.width() <= 1)
        return 0;
    const double f = std::clamp(double(x - r.left()) / double(r.width() - 1), 0.0, 1.0);
    return qint64(f * double(m_durationMs) + 0.5);
}

QRect TrimWaveform::handleRect(Handle handle) const
{
    const int x = xOf(handle == Handle::Start ? m_startMs : m_endMs);
    return {x - GripWidth / 2, 1, GripWidth, GripHeight};
}

void TrimWaveform::moveHandle(Handle handle, qint64 ms)
{
    const qint64 gap = qMin(ShortestKeptMs, m_durationMs);
    if (handle == Handle::Start)
        m_startMs = std::clamp(ms, qint64(0), qMax<qint64>(0, m_endMs - gap));
    else
        m_endMs = std::clamp(ms, qMin(m_durationMs, m_startMs + gap), m_durationMs);
    describe();
    update();
    Q_EMIT selectionChanged(m_startMs, m_endMs);
}

void TrimWaveform::describe()
{
    setAccessibleDescription(tr("Keeps %1 s to %2 s of %3 s; %4 handle selected")
                                 .arg(secondsText(m_startMs), secondsText(m_endMs), secondsText(m_durationMs),
                                      m_active == Handle::Start ? tr("start") : tr("end")));
    if (QAccessible::isActive()) {
        QAccessibleEvent event(this, QAccessible::DescriptionChanged);
        QAccessible::updateAccessibility(&event);
    }
}

void TrimWaveform::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    const QPalette &pal = palette();
    const QRect r = plotRect();
    p.fillRect(rect(), pal.color(QPalette::Window));
    p.fillRect(r, pal.color(QPalette::Base));

    const int mid = r.center().y();
    const int half = r.height() / 2 - 1;
    p.setPen(pal.color(QPalette::Mid));
    p.drawLine(r.left(), mid, r.right(), mid);
    if (!m_peaks.empty() && r.width() > 0) {
        p.setPen(pal.color(QPalette::Text));
        const double perColumn = double(m_peaks.size()) / r.width();
        for (int c = 0; c < r.width(); ++c) {
            const size_t from = size_t(c * perColumn);
            const size_t to = qMax(from + 1, size_t((c + 1) * perColumn));
            float peak = 0;
            for (size_t i = from; i < to && i < m_peaks.size(); ++i)
                peak = qMax(peak, m_peaks[i]);
            const int h = qMax(0, int(peak * half + 0.5));
            p.drawLine(r.left() + c, mid - h, r.left() + c, mid + h);
        }
    }
    // What the trim would remove is veiled, so what is kept stands out.
    QColor veil = pal.color(QPalette::Window);
    veil.setAlpha(170);
    const int xs = xOf(m_startMs), xe = xOf(m_endMs);
    p.fillRect(QRect(QPoint(r.left(), r.top()), QPoint(xs - 1, r.bottom())), veil);
    p.fillRect(QRect(QPoint(xe + 1, r.top()), QPoint(r.right(), r.bottom())), veil);

    for (Handle h : {Handle::Start, Handle::End}) {
        const QRect grip = handleRect(h);
        const bool active = hasFocus() && h == m_active;
        const QColor colour = pal.color(QPalette::Highlight);
        p.setPen(QPen(colour, active ? 3 : 2));
        p.drawLine(grip.center().x(), grip.bottom(), grip.center().x(), r.bottom());
        p.fillRect(grip, colour);
        if (active) {
            p.setPen(QPen(pal.color(QPalette::HighlightedText), 1, Qt::DotLine));
            p.drawRect(grip.adjusted(2, 2, -3, -3));
        }
    }
    p.setPen(pal.color(QPalette::Dark));
    p.drawRect(r.adjusted(0, 0, -1, -1));
}

void TrimWaveform::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton || m_durationMs <= 0)
        return QWidget::mousePressEvent(event);
    const int x = int(event->position().x());
    // The nearer handle follows the mouse, grabbed by its grip or anywhere along its line.
    const int toStart = std::abs(x - xOf(m_startMs)), toEnd = std::abs(x - xOf(m_endMs));
    m_active = toStart < toEnd || (toStart == toEnd && x < xOf(m_startMs)) ? Handle::Start : Handle::End;
    m_dragging = true;
    moveHandle(m_active, msAt(x));
}

void TrimWaveform::mouseMoveEvent(QMouseEvent *event)
{
    if (m_dragging)
        moveHandle(m_active, msAt(int(event->position().x())));
    else {
        const QPoint at = event->position().toPoint();
        const bool overGrip = handleRect(Handle::Start).adjusted(-2, 0, 2, height()).contains(at)
            || handleRect(Handle::End).adjusted(-2, 0, 2, height()).contains(at);
        setCursor(overGrip ? Qt::SizeHorCursor : Qt::ArrowCursor);
    }
}

void TrimWaveform::mouseReleaseEvent(QMouseEvent *event)
{
    if (m_dragging && event->button() == Qt::LeftButton) {
        moveHandle(m_active, msAt(int(event->position().x())));
        m_dragging = false;
    }
}

void TrimWaveform::keyPressEvent(QKeyEvent *event)
{
    const qint64 step = event->modifiers() & Qt::ShiftModifier ? BigStepMs : StepMs;
    const qint64 at = m_active == Handle::Start ? m_startMs : m_endMs;
    switch (event->key()) {
    case Qt::Key_Left:
        moveHandle(m_active, at - step);
        break;
    case Qt::Key_Right:
        moveHandle(m_active, at + step);
        break;
    case Qt::Key_Home:
        moveHandle(m_active, 0);
        break;
    case Qt::Key_End:
        moveHandle(m_active, m_durationMs);
        break;
    default:
        QWidget::keyPressEvent(event);
    }
}

bool TrimWaveform::focusNextPrevChild(bool next)
{
    // Tab steps from the start handle to the end handle before it leaves the waveform.
    if (next && m_active == Handle::Start) {
        m_active = Handle::End;
        describe();
        update();
        return true;
    }
    if (!next && m_active == Handle::End) {
        m_active = Handle::Start;
        describe();
        update();
        return true;
    }
    return QWidget::focusNextPrevChild(next);
}

void TrimWaveform::focusInEvent(QFocusEvent *event)
{
    if (event->reason() == Qt::TabFocusReason)
        m_active = Handle::Start;
    else if (event->reason() == Qt::BacktabFocusReason)
        m_active = Handle::End;
    describe();
    QWidget::focusInEvent(event);
}

} // namespace parlivo
