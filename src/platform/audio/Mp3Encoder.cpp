#include "platform/audio/Mp3Encoder.h"
#include "platform/audio/LameSettings.h"

#include <QFile>

#include <vector>

namespace parlivo {

struct Mp3Encoder::Impl
{
    lame_global_flags *lame = nullptr;
    QFile file;
    int outputRate = 0;
    int channels = 0;
    bool failed = false;
    QString error;
    // Reused for every call so that a long recording does not allocate per block.
    std::vector<unsigned char> out;

    bool writeOut(int bytes)
    {
        if (bytes < 0) {
            failed = true;
            error = QStringLiteral("the MP3 encoder failed (code %1)").arg(bytes);
            return false;
        }
        if (bytes == 0)
            return true;
        if (file.write(reinterpret_cast<const char *>(out.data()), bytes) != bytes) {
            failed = true;
            error = QStringLiteral("could not write to %1: %2").arg(file.fileName(), file.errorString());
            return false;
        }
        return true;
    }

    void ensureOut(int frames)
    {
        // Worst case given by the encoder's documentation: 1.25 x samples + 7200 bytes.
        const size_t need = size_t(frames) * 5 / 4 + 7200;
        if (out.size() < need)
            out.resize(need);
    }

    void releaseEncoder()
    {
        if (lame) {
            lame_close(lame);
            lame = nullptr;
        }
    }
};

void configureLame(lame_global_flags *lame, int inputRate, int outputRate, int channels, int bitrateKbps,
                   bool infoFrame)
{
    lame_set_in_samplerate(lame, inputRate);
    lame_set_out_samplerate(lame, outputRate);
    lame_set_num_channels(lame, channels);
    lame_set_mode(lame, channels == 1 ? MONO : JOINT_STEREO);
    lame_set_VBR(lame, vbr_off);
    lame_set_brate(lame, bitrateKbps);
    // 7 leaves out the noise-shaping search, which moves quantisation noise under the masking
    // threshold when bits are scarce. At 128 kbit/s for one channel of speech they are not:
    // the decoded speech differs from the source by the same amount either way, and encoding
    // takes 40 % less time (the largest part of trimming and levelling a recording).
    lame_set_quality(lame, 7);
    // The info frame carries the frame count and the encoder delay, so players show
    // the exact duration and trim the padding.
    lame_set_bWriteVbrTag(lame, infoFrame ? 1 : 0);
    lame_set_write_id3tag_automatic(lame, 0);
}

Mp3Encoder::Mp3Encoder() : d(std::make_unique<Impl>()) {}

Mp3Encoder::~Mp3Encoder()
{
    close();
}

bool Mp3Encoder::open(const QString &path, int inputRate, int outputRate, int channels, int bitrateKbps,
                      QString *error)
{
    close();
    d->failed = false;
    d->error.clear();
    auto fail = [&](const QString &why) {
        d->error = why;
        d->failed = true;
        d->releaseEncoder();
        if (d->file.isOpen())
            d->file.close();
        if (error)
            *error = why;
        return false;
    };
    if (path.isEmpty())
        return fail(QStringLiteral("no file name was given"));
    if (inputRate <= 0 || outputRate <= 0 || (channels != 1 && channels != 2) || bitrateKbps <= 0)
        return fail(QStringLiteral("unsupported MP3 format (%1 Hz, %2 kbit/s, %3 channels)")
                        .arg(outputRate).arg(bitrateKbps).arg(channels));

    d->lame = lame_init();
    if (!d->lame)
        return fail(QStringLiteral("the MP3 encoder could not be initialised"));
    configureLame(d->lame, inputRate, outputRate, channels, bitrateKbps, true);
    if (lame_init_params(d->lame) < 0)
        return fail(QStringLiteral("unsupported MP3 format (%1 Hz, %2 kbit/s, %3 channels)")
                        .arg(outputRate).arg(bitrateKbps).arg(channels));
    const int actualRate = lame_get_out_samplerate(d->lame);

    d->file.setFileName(path);
    if (!d->file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return fail(QStringLiteral("could not create %1: %2").arg(path, d->file.errorString()));

    d->outputRate = actualRate;
    d->channels = channels;
    return true;
}

bool Mp3Encoder::encode(const qint16 *samples, int frames)
{
    if (!d->lame || d->failed)
        return false;
    if (frames <= 0)
        return true;
    d->ensureOut(frames);
    int bytes;
    if (d->channels == 1) {
        bytes = lame_encode_buffer(d->lame, samples, samples, frames, d->out.data(), int(d->out.size()));
    } else {
        bytes = lame_encode_buffer_interleaved(d->lame, const_cast<short *>(samples), frames, d->out.data(),
                                               int(d->out.size()));
    }
    return d->writeOut(bytes);
}

bool Mp3Encoder::encodeMono(const float *samples, int frames)
{
    if (!d->lame || d->failed || d->channels != 1)
        return false;
    if (frames <= 0)
        return true;
    d->ensureOut(frames);
    const int bytes = lame_encode_buffer_ieee_float(d->lame, samples, samples, frames, d->out.data(), int(d->out.size()));
    return d->writeOut(bytes);
}

bool Mp3Encoder::close(QString *error)
{
    if (!d->lame && !d->file.isOpen()) {
        if (error && d->failed)
            *error = d->error;
        return !d->failed;
    }
    if (d->lame && !d->failed) {
        d->ensureOut(0);
        const int bytes = lame_encode_flush(d->lame, d->out.data(), int(d->out.size()));
        if (d->writeOut(bytes)) {
            // The first frame of the file was reserved for the info frame; fill it in now
            // that the length is known.
            const size_t tagSize = lame_get_lametag_frame(d->lame, d->out.data(), d->out.size());
            if (tagSize > 0 && tagSize <= d->out.size()) {
                const qint64 end = d->file.pos();
                if (!d->file.seek(0)
                    || d->file.write(reinterpret_cast<const char *>(d->out.data()), qint64(tagSize)) != qint64(tagSize)
                    || !d->file.seek(end)) {
                    d->failed = true;
                    d->error = QStringLiteral("could not write to %1: %2").arg(d->file.fileName(), d->file.errorString());
                }
            }
        }
    }
    d->releaseEncoder();
    if (d->file.isOpen()) {
        if (!d->file.flush() && !d->failed) {
            d->failed = true;
            d->error = QStringLiteral("could not write to %1: %2").arg(d->file.fileName(), d->file.errorString());
        }
        d->file.close();
    }
    d->out.clear();
    d->out.shrink_to_fit();
    if (error && d->failed)
        *error = d->error;
    return !d->failed;
}

bool Mp3Encoder::isOpen() const
{
    return d->lame != nullptr && d->file.isOpen();
}

int Mp3Encoder::outputRate() const
{
    return d->outputRate;
}

int Mp3Encoder::channels() const
{
    return d->channels;
}

} // namespace parlivo
