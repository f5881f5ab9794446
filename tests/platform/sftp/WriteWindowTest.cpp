// The number of writes in flight against a simulated link: a trip there and back, and a server
// that stores one write at a time at its own pace.
#include "platform/sftp/WriteWindow.h"

#include <gtest/gtest.h>
#include <algorithm>
#include <deque>

using namespace parlivo;
using namespace std::chrono_literals;
using Clock = WriteWindow::Clock;

namespace {

// Runs 3 seconds of a large upload; the limit the window ends with.
int settledLimit(WriteWindow &window, Clock::duration trip, Clock::duration perWrite)
{
    Clock::time_point now = Clock::time_point{} + 1s, serverFree = now;
    struct Write { Clock::time_point sent, answered; };
    std::deque<Write> inFlight;   // answered in the order sent: the server works through them in turn
    const Clock::time_point end = now + 3s;
    while (now < end) {
        while (int(inFlight.size()) < window.limit()) {
            const Clock::time_point start = std::max(now + trip / 2, serverFree);
            serverFree = start + perWrite;
            inFlight.push_back({now, serverFree + trip / 2});
        }
        const Write w = inFlight.front();
        inFlight.pop_front();
        now = w.answered;
        window.answered(64 * 1024, w.sent, now);
    }
    return window.limit();
}

} // namespace

TEST(WriteWindow, KeepsALongLinkBusyWithoutQueueingAtAFastOne)
{
    // 50 ms away, a server that could take 10,000 writes a second: as many as allowed.
    WriteWindow far(16, 64, 64 * 1024);
    EXPECT_EQ(settledLimit(far, 50ms, 100us), 64);

    // Next door, a server slower than the link: more in flight would only wait in its buffers.
    WriteWindow near(16, 64, 64 * 1024);
    EXPECT_EQ(settledLimit(near, 200us, 500us), 16);

    // 20 ms away at 1,000 writes a second: about 21 fill the link; enough, and not much more.
    WriteWindow middle(16, 64, 64 * 1024);
    const int limit = settledLimit(middle, 20ms, 1ms);
    EXPECT_GE(limit, 21);
    EXPECT_LE(limit, 44);

    // A new connection starts again from the floor.
    far.restart();
    EXPECT_EQ(far.limit(), 16);
}
