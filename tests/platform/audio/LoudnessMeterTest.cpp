// A long recording is measured in two halves at once; what is heard in either half must count.
#include "platform/Factories.h"
#include "platform/LoudnessMeter.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace parlivo {
namespace {

TEST(LoudnessMeter, ALongRecordingCountsBothHalves)
{
    constexpr int Rate = 44100;
    // 15 s of a 997 Hz tone 10 dB quieter than the 15 s after it: -33 and -23 LUFS, which
    // the gate both lets through, so together their mean energy, -25.6 LUFS.
    std::vector<float> s(size_t(30 * Rate));
    for (size_t i = 0; i < s.size(); ++i)
        s[i] = float((i < s.size() / 2 ? 0.0316 : 0.1) * std::sin(2 * M_PI * 997 * double(i) / Rate));
    const LoudnessFigures f = makeLoudnessMeter()->measure(s.data(), qint64(s.size()), Rate, true);
    ASSERT_TRUE(f.ok);
    EXPECT_NEAR(f.integratedLufs, -25.6, 0.05);
    EXPECT_NEAR(f.truePeakDbtp, -20.0, 0.1);

    // A short sound in silence measures the same where the halves meet as anywhere else.
    auto burstAt = [&](double seconds) {
        std::vector<float> b(size_t(20 * Rate), 0.0f);
        for (qint64 i = qint64((seconds - 0.15) * Rate); i < qint64((seconds + 0.15) * Rate); ++i)
            b[size_t(i)] = float(0.5 * std::sin(2 * M_PI * 997 * double(i) / Rate));
        return makeLoudnessMeter()->measure(b.data(), qint64(b.size()), Rate, false).integratedLufs;
    };
    EXPECT_NEAR(burstAt(10.0), burstAt(5.0), 0.01);
}

} // namespace
} // namespace parlivo
