#include "platform/audio/Ebur128LoudnessMeter.h"

#include <ebur128.h>

#include <cmath>
#include <thread>

namespace parlivo {

namespace {

// Shorter audio is measured in one piece: a second thread would save little.
constexpr qint64 ShortestSplitSeconds = 10;

// Feeds samples to a new state; null when the library failed.
ebur128_state *measured(const float *samples, qint64 count, int sampleRate, int mode)
{
    ebur128_state *st = ebur128_init(1, static_cast<unsigned long>(sampleRate), mode);
    if (!st)
        return nullptr;
    // Fed in slices: the library's buffers are sized per call, so one huge call would
    // ask it for as much memory again as the whole recording.
    constexpr qint64 Slice = 1 << 16;
    for (qint64 at = 0; at < count; at += Slice) {
        if (ebur128_add_frames_float(st, samples + at, size_t(qMin(Slice, count - at))) != EBUR128_SUCCESS) {
            ebur128_destroy(&st);
            return nullptr;
        }
    }
    return st;
}

} // namespace

LoudnessFigures Ebur128LoudnessMeter::measure(const float *samples, qint64 count, int sampleRate, bool truePeak)
{
    LoudnessFigures out;
    if (!samples || count < 0 || sampleRate <= 0)
        return out;
    const int mode = EBUR128_MODE_I | (truePeak ? EBUR128_MODE_TRUE_PEAK : 0);
    // A long recording is measured in two halves on two threads and the halves' gating blocks
    // judged together, as the library allows. Blocks are 400 ms long and begin every 100 ms:
    // the second half starts 300 ms before the first one ends, so that its first blocks are the
    // three that span the meeting, and every block is counted once, as in one piece.
    const qint64 hop = qMax(1, sampleRate / 10);
    const qint64 half = count >= ShortestSplitSeconds * sampleRate ? count / 2 / hop * hop : count;
    ebur128_state *second = nullptr;
    std::thread worker;
    if (half < count) {
        const qint64 from = half - 3 * hop;
        worker = std::thread([&, from] { second = measured(samples + from, count - from, sampleRate, mode); });
    }
    ebur128_state *first = measured(samples, half, sampleRate, mode);
    if (worker.joinable())
        worker.join();
    ebur128_state *states[] = {first, second};
    const size_t parts = half < count ? 2 : 1;
    const bool fed = first && (parts == 1 || second);
    double lufs = LoudnessFigures::Silent;
    if (fed && ebur128_loudness_global_multiple(states, parts, &lufs) == EBUR128_SUCCESS) {
        out.ok = true;
        out.integratedLufs = std::isfinite(lufs) ? lufs : LoudnessFigures::Silent;
        double peak = 0;
        for (size_t i = 0; truePeak && i < parts; ++i) {
            double p = 0;
            if (ebur128_true_peak(states[i], 0, &p) == EBUR128_SUCCESS)
                peak = std::max(peak, p);
        }
        if (truePeak)
            out.truePeakDbtp = peak > 0 ? 20.0 * std::log10(peak) : LoudnessFigures::Silent;
    }
    for (ebur128_state *&st : states)
        if (st)
            ebur128_destroy(&st);
    return out;
}

} // namespace parlivo
