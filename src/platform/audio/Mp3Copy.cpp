#include "platform/audio/Mp3Copy.h"

#include "platform/audio/Mp3Encoder.h"

#include <QFile>
#include <sndfile.h>

#include <vector>

namespace parlivo {

namespace {

// The rates an MP3 file can have; any other is resampled to 44.1 kHz.
int mp3Rate(int rate)
{
    for (const int r : {8000, 11025, 12000, 16000, 22050, 24000, 32000, 44100, 48000}) {
        if (r == rate)
            return rate;
    }
    return 44100;
}

} // namespace

QString writeMp3Copy(const QString &source, const QString &target)
{
    QFile file(source);
    if (!file.open(QIODevice::ReadOnly))
        return file.errorString();
    SF_INFO info{};
    SNDFILE *sf = sf_open_fd(file.handle(), SFM_READ, &info, 0);
    if (!sf)
        return QStringLiteral("it is not a sound the decoder knows");
    const int in = info.channels;
    if (in <= 0 || info.samplerate <= 0) {
        sf_close(sf);
        return QStringLiteral("it is not a sound the decoder knows");
    }
    sf_command(sf, SFC_SET_SCALE_FLOAT_INT_READ, nullptr, SF_TRUE);
    const int out = in == 1 ? 1 : 2;
    Mp3Encoder encoder;
    QString why;
    if (!encoder.open(target, info.samplerate, mp3Rate(info.samplerate), out, out == 1 ? 96 : 128, &why)) {
        sf_close(sf);
        QFile::remove(target);
        return why;
    }
    constexpr sf_count_t chunk = 8192;
    std::vector<short> samples(size_t(chunk) * size_t(in));
    std::vector<qint16> mixed(size_t(chunk) * 2);
    bool ok = true;
    sf_count_t total = 0;
    for (;;) {
        const sf_count_t got = sf_readf_short(sf, samples.data(), chunk);
        if (got <= 0)
            break;
        total += got;
        const qint16 *pcm = samples.data();
        if (in > 2) {
            // Odd channels to the left, even ones to the right: every voice stays audible.
            for (sf_count_t f = 0; f < got; ++f) {
                int sum[2] = {0, 0}, n[2] = {0, 0};
                for (int c = 0; c < in; ++c) {
                    sum[c % 2] += samples[size_t(f * in + c)];
                    ++n[c % 2];
                }
                mixed[size_t(2 * f)] = qint16(sum[0] / n[0]);
                mixed[size_t(2 * f + 1)] = qint16(sum[1] / n[1]);
            }
            pcm = mixed.data();
        }
        if (!encoder.encode(pcm, int(got))) {
            ok = false;
            break;
        }
    }
    const bool readFailed = sf_error(sf) != SF_ERR_NO_ERROR && total == 0;
    sf_close(sf);
    if (!encoder.close(&why) || !ok || readFailed || total == 0) {
        QFile::remove(target);
        return why.isEmpty() ? QStringLiteral("the sound could not be read whole") : why;
    }
    return {};
}

} // namespace parlivo
