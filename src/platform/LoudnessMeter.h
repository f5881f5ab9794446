#pragma once
// Loudness as listeners hear it: integrated loudness in LUFS (gated, K-weighted) and the
// true peak in dBTP (the peak between the samples, where a player's converter clips).
#include <QObject>

#include <limits>

namespace parlivo {

struct LoudnessFigures
{
    static constexpr double Silent = -std::numeric_limits<double>::infinity();
    double integratedLufs = Silent;   // Silent when nothing passed the gate
    double truePeakDbtp = Silent;     // Silent when not asked for or all zero
    bool ok = false;                  // false: the meter could not measure
};

class LoudnessMeter : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;
    ~LoudnessMeter() override = default;

    // Mono samples in -1..1. The true peak costs an oversampled pass; ask for it only when needed.
    virtual LoudnessFigures measure(const float *samples, qint64 count, int sampleRate, bool truePeak) = 0;
};

} // namespace parlivo
