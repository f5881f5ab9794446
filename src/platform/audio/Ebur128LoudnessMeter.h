#pragma once
// The loudness meter on libebur128. Holds no state between measurements, so one meter may
// serve one thread at a time for as many measurements as it likes.
#include "platform/LoudnessMeter.h"

namespace parlivo {

class Ebur128LoudnessMeter : public LoudnessMeter
{
    Q_OBJECT
public:
    using LoudnessMeter::LoudnessMeter;
    LoudnessFigures measure(const float *samples, qint64 count, int sampleRate, bool truePeak) override;
};

} // namespace parlivo
