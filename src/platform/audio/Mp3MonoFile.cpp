#include "platform/audio/Mp3MonoFile.h"

#include "platform/audio/LameSettings.h"
#include "platform/audio/Mp3Encoder.h"
#include "platform/audio/Mp3Frames.h"

#include <QFile>

#include <algorithm>
#include <thread>
#include <vector>

namespace parlivo {

namespace {

constexpr qint64 FrameSamples = 1152;
// The second half's encoder starts this many frames before the join, and the first half's runs
// as far past it, so that both have the same history and lookahead at the join: the frames on
// either side then carry the same block types and their overlap adds up as within one stream.
constexpr qint64 OverlapFrames = 4;
constexpr qint64 Chunk = 8192;

struct EncodedPart
{
    QByteArray frames;
    QByteArray infoFrame;   // only of the first part
    int encoderDelay = 0;
    bool ok = false;
};

// An encoder for one part. The first part reserves its first frame for the info frame; the
// second keeps every frame to itself (no bit reservoir), since its first kept frame must not
// draw on frames that are dropped.
lame_global_flags *openPart(int inputRate, int outputRate, int kbps, bool first)
{
    lame_global_flags *lame = lame_init();
    if (!lame)
        return nullptr;
    configureLame(lame, inputRate, outputRate, 1, kbps, first);
    if (!first)
        lame_set_disable_reservoir(lame, 1);
    if (lame_init_params(lame) < 0) {
        lame_close(lame);
        return nullptr;
    }
    return lame;
}

// Encodes samples with the part's encoder, all its frames in memory, and closes the encoder.
EncodedPart encodePart(lame_global_flags *lame, const float *samples, qint64 count, int inputRate, int kbps,
                       bool first)
{
    EncodedPart part;
    if (!lame)
        return part;
    part.frames.reserve(qsizetype(count * kbps * 125 / inputRate + 8 * 1024));
    // Worst case given by the encoder's documentation: 1.25 x samples + 7200 bytes.
    std::vector<unsigned char> out(size_t(Chunk * 5 / 4 + 7200));
    std::vector<float> block(static_cast<size_t>(Chunk));
    bool ok = true;
    auto take = [&](int bytes) {
        ok = ok && bytes >= 0;
        if (ok)
            part.frames.append(reinterpret_cast<const char *>(out.data()), bytes);
    };
    for (qint64 at = 0; at < count && ok; at += Chunk) {
        const qint64 n = qMin(Chunk, count - at);
        // Edited audio may overshoot full scale a little; the encoder would carry it on to
        // every player, which then clips it harder.
        for (qint64 i = 0; i < n; ++i)
            block[size_t(i)] = std::clamp(samples[at + i], -1.0f, 1.0f);
        take(lame_encode_buffer_ieee_float(lame, block.data(), block.data(), int(n), out.data(), int(out.size())));
    }
    if (ok)
        take(lame_encode_flush(lame, out.data(), int(out.size())));
    if (ok && first) {
        const size_t size = lame_get_lametag_frame(lame, out.data(), out.size());
        ok = size > 0 && size <= out.size();
        if (ok)
            part.infoFrame = QByteArray(reinterpret_cast<const char *>(out.data()), qsizetype(size));
    }
    part.encoderDelay = lame_get_encoder_delay(lame);
    lame_close(lame);
    part.ok = ok;
    return part;
}

// The frame at which the second half takes over: the middle, on the frame grid.
qint64 joinFrame(qint64 count, int inputRate, int outputRate)
{
    // Resampling would put the halves' frames off the input's sample grid.
    if (inputRate != outputRate || count < qint64(ShortestSplitMs) * inputRate / 1000)
        return 0;
    return count / 2 / FrameSamples;
}

// The halves' frames as one stream with its info frame; empty when they do not fit together.
QByteArray joinParts(const EncodedPart &first, const EncodedPart &second, qint64 join, qint64 count)
{
    const std::vector<qsizetype> a = mp3FrameOffsets(first.frames);
    const std::vector<qsizetype> b = mp3FrameOffsets(second.frames);
    // The first part's frame 0 is the space held for the info frame.
    if (qint64(a.size()) < join + 2 || qint64(b.size()) < OverlapFrames + 2)
        return {};
    const qsizetype secondFrom = b[size_t(OverlapFrames)];
    if (mp3MainDataBegin(second.frames.constData() + secondFrom, second.frames.size() - secondFrom) != 0)
        return {};
    QByteArray audio = first.frames.mid(a[1], a[size_t(join + 1)] - a[1]);
    const qsizetype firstBytes = audio.size();
    audio.append(second.frames.constData() + secondFrom, second.frames.size() - secondFrom);

    std::vector<qsizetype> offsets;
    offsets.reserve(size_t(join) + b.size());
    for (qint64 i = 1; i <= join; ++i)
        offsets.push_back(a[size_t(i)] - a[1]);
    for (size_t i = size_t(OverlapFrames); i < b.size(); ++i)
        offsets.push_back(firstBytes + b[i] - secondFrom);
    const qint64 frames = qint64(offsets.size()) - 1;
    const qint64 padding = frames * FrameSamples - first.encoderDelay - count;
    QByteArray info = first.infoFrame;
    if (!rewriteMp3InfoFrame(info, audio, offsets, first.encoderDelay, int(padding)))
        return {};
    return info + audio;
}

bool encodeInOnePiece(const QString &path, const float *samples, qint64 count, int inputRate, int outputRate, int kbps,
                      QString *error)
{
    Mp3Encoder encoder;
    if (!encoder.open(path, inputRate, outputRate, 1, kbps, error))
        return false;
    std::vector<float> block(static_cast<size_t>(Chunk));
    for (qint64 at = 0; at < count; at += Chunk) {
        const qint64 n = qMin(Chunk, count - at);
        for (qint64 i = 0; i < n; ++i)
            block[size_t(i)] = std::clamp(samples[at + i], -1.0f, 1.0f);
        if (!encoder.encodeMono(block.data(), int(n))) {
            encoder.close(error);
            return false;
        }
    }
    return encoder.close(error);
}

} // namespace

qint64 mp3JoinSample(qint64 count, int inputRate, int outputRate)
{
    const qint64 join = joinFrame(count, inputRate, outputRate);
    // Where the join frame's first sample lands in the decoded audio, encoder and decoder delay
    // (576 + 529 samples) left out.
    return join > 0 ? join * FrameSamples - 1105 : 0;
}

bool encodeMonoMp3File(const QString &path, const float *samples, qint64 count, int inputRate, int outputRate,
                       int bitrateKbps, QString *error)
{
    const qint64 join = joinFrame(count, inputRate, outputRate);
    if (join <= OverlapFrames || bitrateKbps <= 0)
        return encodeInOnePiece(path, samples, count, inputRate, outputRate, bitrateKbps, error);

    const qint64 secondFrom = (join - OverlapFrames) * FrameSamples;
    // Both are set up here, one after the other: setting up fills tables the library shares
    // between its encoders, which must not change while the other one reads them.
    lame_global_flags *firstEncoder = openPart(inputRate, outputRate, bitrateKbps, true);
    lame_global_flags *secondEncoder = openPart(inputRate, outputRate, bitrateKbps, false);
    EncodedPart second;
    std::thread worker([&] {
        second = encodePart(secondEncoder, samples + secondFrom, count - secondFrom, inputRate, bitrateKbps, false);
    });
    const EncodedPart first = encodePart(firstEncoder, samples, qMin(count, (join + OverlapFrames) * FrameSamples),
                                         inputRate, bitrateKbps, true);
    worker.join();
    const QByteArray joined = first.ok && second.ok ? joinParts(first, second, join, count) : QByteArray();
    if (joined.isEmpty())   // not expected; one encoder is slower but always right
        return encodeInOnePiece(path, samples, count, inputRate, outputRate, bitrateKbps, error);

    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(joined) != joined.size()
        || !file.flush()) {
        if (error)
            *error = QStringLiteral("could not write to %1: %2").arg(path, file.errorString());
        return false;
    }
    return true;
}

} // namespace parlivo
