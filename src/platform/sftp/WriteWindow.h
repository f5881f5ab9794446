#pragma once
// How many writes an upload keeps unanswered. Enough to keep a long link busy, and no more: a
// server handed more than the link needs holds it in buffers it copies around as it goes, and on
// a fast link that costs more than it gains (100 MB over loopback to OpenSSH: 0.76 s with 16
// writes of 64 KiB in flight, 1.41 s with 64; over a 50 ms round trip 16 take 5.8 s, 32 3.7 s).
//
// The limit follows the link: twice the bytes it delivers in its shortest round trip. While
// answers come back as fast as the first ones did, that doubles the limit each round; once
// more in flight only makes the answers wait in a queue, it stops growing.
#include <QtGlobal>
#include <chrono>

namespace parlivo {

class WriteWindow
{
public:
    using Clock = std::chrono::steady_clock;

    WriteWindow(int floor, int ceiling, qint64 writeSize);

    // A write of `bytes` sent at `sentAt` was answered at `now`.
    void answered(qint64 bytes, Clock::time_point sentAt, Clock::time_point now);
    int limit() const { return m_limit; }
    // A new connection: its round trip is measured afresh.
    void restart();

private:
    const int m_floor, m_ceiling;
    const qint64 m_writeSize;
    int m_limit;
    Clock::duration m_shortestTrip = Clock::duration::max();
    Clock::time_point m_intervalStart{};
    qint64 m_intervalBytes = 0;
};

} // namespace parlivo
