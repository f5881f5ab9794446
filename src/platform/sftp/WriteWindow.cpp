#include "platform/sftp/WriteWindow.h"

#include <algorithm>
#include <cmath>

namespace parlivo {

namespace {
// The delivery rate is measured over at least this long, so that a burst of answers read in
// one go does not pass for the link's speed.
constexpr auto ShortestInterval = std::chrono::milliseconds(5);
}

WriteWindow::WriteWindow(int floor, int ceiling, qint64 writeSize)
    : m_floor(floor), m_ceiling(std::max(floor, ceiling)), m_writeSize(std::max<qint64>(writeSize, 1)), m_limit(floor)
{
}

void WriteWindow::restart()
{
    m_limit = m_floor;
    m_shortestTrip = Clock::duration::max();
    m_intervalStart = {};
    m_intervalBytes = 0;
}

void WriteWindow::answered(qint64 bytes, Clock::time_point sentAt, Clock::time_point now)
{
    if (now < sentAt)
        return;
    m_shortestTrip = std::min(m_shortestTrip, now - sentAt);
    if (m_intervalStart == Clock::time_point{}) {
        m_intervalStart = now;
        return;
    }
    m_intervalBytes += bytes;
    const auto elapsed = now - m_intervalStart;
    if (elapsed < std::max<Clock::duration>(m_shortestTrip, ShortestInterval))
        return;
    const double perTrip = double(m_intervalBytes) * double(m_shortestTrip.count()) / double(elapsed.count());
    const double wanted = std::ceil(2.0 * perTrip / double(m_writeSize));
    m_limit = int(std::clamp(wanted, double(m_floor), double(m_ceiling)));
    m_intervalStart = now;
    m_intervalBytes = 0;
}

} // namespace parlivo
