#include "platform/audio/Ebur128LoudnessMeter.h"

#include <ebur128.h>

#include <cmath>

namespace parlivo {

LoudnessFigures Ebur128LoudnessMeter::measure(const float *samples, qint64 count, int sampleRate, bool truePeak)
{
    LoudnessFigures out;
    if (!samples || count < 0 || sampleRate <= 0)
        return out;
    const int mode = EBUR128_MODE_I | (truePeak ? EBUR128_MODE_TRUE_PEAK : 0);
    ebur128_state *st = ebur128_init(1, static_cast<unsigned long>(sampleRate), mode);
    if (!st)
        return out;
    // Fed in slices: the library's buffers are sized per call, so one huge call would
    // ask it for as much memory again as the whole recording.
    constexpr qint64 Slice = 1 << 16;
    bool fed = true;
    for (qint64 at = 0; at < count && fed; at += Slice)
        fed = ebur128_add_frames_float(st, samples + at, size_t(qMin(Slice, count - at))) == EBUR128_SUCCESS;
    double lufs = LoudnessFigures::Silent;
    if (fed && ebur128_loudness_global(st, &lufs) == EBUR128_SUCCESS) {
        out.ok = true;
        out.integratedLufs = std::isfinite(lufs) ? lufs : LoudnessFigures::Silent;
        double peak = 0;
        if (truePeak && ebur128_true_peak(st, 0, &peak) == EBUR128_SUCCESS && peak > 0)
            out.truePeakDbtp = 20.0 * std::log10(peak);
        else if (truePeak)
            out.truePeakDbtp = LoudnessFigures::Silent;
    }
    ebur128_destroy(&st);
    return out;
}

} // namespace parlivo
