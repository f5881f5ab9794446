#include "platform/audio/AudioDecoder.h"

#include <QFile>
#include <QFileInfo>
#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <thread>
#include <vector>

namespace parlivo {

namespace {

struct StreamFormat
{
    int sampleRate = 0;
    int channels = 0;
    qint64 frames = 0;   // as the file claims; 0 when unknown
    bool exactSeek = false;   // a seek lands on the very sample one read would reach
};

// MP3 (the decoder decodes the frames before the sample it seeks to) and uncompressed samples;
// the other lossy formats' seeks are left untrusted.
bool seeksExactly(const SF_INFO &info)
{
    if (!info.seekable)
        return false;
    if ((info.format & SF_FORMAT_TYPEMASK) == SF_FORMAT_MPEG)
        return true;
    const int sub = info.format & SF_FORMAT_SUBMASK;
    return sub >= SF_FORMAT_PCM_S8 && sub <= SF_FORMAT_DOUBLE;
}

// Opens the file and hands its samples, interleaved floats in -1..1 (a lossy format may overshoot
// a little), to take() chunk by chunk; take() returns "" to go on, or why to stop. The library's own float output is read because asking it
// for 16-bit samples makes it scale every chunk a second time, which doubles the cost of an MP3.
// begin() returns how many frames to read (-1: all); reading starts at frame from.
QString readFloats(const QString &path, const std::atomic<bool> *cancel,
                   const std::function<qint64(const StreamFormat &)> &begin,
                   const std::function<QString(const float *, qint64)> &take, qint64 from = 0)
{
    const QFileInfo info(path);
    if (path.isEmpty() || !info.exists() || info.isDir())
        return QStringLiteral("file not found");
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("file cannot be read");
    SF_INFO sfinfo{};
    // The descriptor stays owned by QFile, which also takes care of non-Latin paths.
    SNDFILE *sf = sf_open_fd(file.handle(), SFM_READ, &sfinfo, 0);
    if (!sf)
        return QStringLiteral("not an audio file");
    if (sfinfo.channels <= 0 || sfinfo.channels > 64 || sfinfo.samplerate <= 0) {
        sf_close(sf);
        return QStringLiteral("not an audio file");
    }
    StreamFormat format{sfinfo.samplerate, sfinfo.channels, qint64(std::max<sf_count_t>(0, sfinfo.frames)),
                        seeksExactly(sfinfo)};
    const qint64 wanted = begin(format);
    if (from > 0 && sf_seek(sf, from, SEEK_SET) != from) {
        sf_close(sf);
        return QStringLiteral("cannot seek");
    }
    const sf_count_t chunkFrames = 8192;
    std::vector<float> chunk(size_t(chunkFrames) * size_t(sfinfo.channels));
    qint64 total = 0;
    for (;;) {
        if (cancel && cancel->load()) {
            sf_close(sf);
            return QStringLiteral("cancelled");
        }
        const sf_count_t ask = wanted < 0 ? chunkFrames : std::min<sf_count_t>(chunkFrames, wanted - total);
        if (ask <= 0)
            break;
        const sf_count_t got = sf_readf_float(sf, chunk.data(), ask);
        if (got <= 0)
            break;
        if (QString stop = take(chunk.data(), qint64(got)); !stop.isEmpty()) {
            sf_close(sf);
            return stop;
        }
        total += got;
    }
    const int err = sf_error(sf);
    sf_close(sf);
    if (err != SF_ERR_NO_ERROR && total == 0)
        return QStringLiteral("not an audio file");
    return {};
}

} // namespace

DecodedAudio decodeAudioFile(const QString &path, const std::atomic<bool> *cancel)
{
    DecodedAudio out;
    auto begin = [&out](const StreamFormat &f) {
        out.sampleRate = f.sampleRate;
        out.channels = f.channels;
        if (f.frames > 0 && f.frames < (qint64(1) << 31) / (2 * f.channels))
            out.pcm.reserve(qsizetype(f.frames) * 2 * f.channels);
        return qint64(-1);
    };
    auto take = [&out](const float *s, qint64 frames) {
        const qint64 values = frames * out.channels;
        const qsizetype at = out.pcm.size();
        out.pcm.resize(at + qsizetype(values) * 2);
        auto *dst = reinterpret_cast<qint16 *>(out.pcm.data() + at);
        // Lossy formats overshoot full scale now and then: clip rather than wrap around.
        for (qint64 i = 0; i < values; ++i)
            dst[i] = qint16(std::lround(std::clamp(s[i] * 32768.0f, -32768.0f, 32767.0f)));
        out.frames += frames;
        return QString();
    };
    out.error = readFloats(path, cancel, begin, take);
    if (!out.ok()) {
        out.pcm.clear();
        out.frames = 0;
    }
    return out;
}

namespace {

// Reads frames [from, from + count) (count -1: to the end) into samples as one channel.
QString readMono(const QString &path, const std::atomic<bool> *cancel, qint64 longestMs, std::vector<float> &samples,
                 int *sampleRate, const std::function<qint64(const StreamFormat &)> &span, qint64 from)
{
    int channels = 1;
    qint64 mostFrames = 0;
    auto begin = [&](const StreamFormat &f) {
        *sampleRate = f.sampleRate;
        channels = f.channels;
        mostFrames = longestMs * f.sampleRate / 1000;
        // The length a file claims is only a hint (and may be a lie): room for a few minutes at most.
        samples.reserve(size_t(std::clamp<qint64>(f.frames - from, 0, qMin<qint64>(mostFrames, qint64(1) << 23))));
        return span(f);
    };
    auto take = [&](const float *s, qint64 frames) {
        // A small file of a low bit rate can hold days of sound: stop before memory runs out.
        if (from + qint64(samples.size()) + frames > mostFrames)
            return QStringLiteral("the audio is too long to edit here");
        if (channels == 1) {
            samples.insert(samples.end(), s, s + frames);
            return QString();
        }
        const float scale = 1.0f / float(channels);
        for (qint64 i = 0; i < frames; ++i) {
            float sum = 0;
            for (int c = 0; c < channels; ++c)
                sum += s[i * channels + c];
            samples.push_back(sum * scale);
        }
        return QString();
    };
    return readFloats(path, cancel, begin, take, from);
}

// Shorter audio is decoded in one piece: a second thread would save little.
constexpr qint64 ShortestSplitSeconds = 10;

} // namespace

DecodedMono decodeAudioFileMono(const QString &path, qint64 longestMs, const std::atomic<bool> *cancel)
{
    DecodedMono out;
    // A long file is decoded in two halves on two threads: the second half is read through a
    // second handle that seeks to the middle (the decoder seeks to the sample, decoding the
    // frames before it that the first one it hands out depends on).
    std::vector<float> tail;
    QString tailError;
    std::thread worker;
    qint64 middle = 0;
    auto split = [&](const StreamFormat &f) {
        if (!f.exactSeek || f.frames < ShortestSplitSeconds * f.sampleRate
            || f.frames > longestMs * f.sampleRate / 1000)
            return qint64(-1);
        middle = f.frames / 2;
        worker = std::thread([&] {
            int rate = 0;
            tailError = readMono(path, cancel, longestMs, tail, &rate, [](const StreamFormat &) { return qint64(-1); },
                                 middle);
        });
        return middle;
    };
    out.error = readMono(path, cancel, longestMs, out.samples, &out.sampleRate, split, 0);
    if (worker.joinable())
        worker.join();
    if (out.ok() && middle > 0) {
        if (tailError.isEmpty() && qint64(out.samples.size()) == middle) {
            out.samples.insert(out.samples.end(), tail.begin(), tail.end());
        } else if (tailError == QStringLiteral("cancelled")
                   || tailError.startsWith(QStringLiteral("the audio is too long"))) {
            out.error = tailError;
        } else {
            // The file is not as long as it claims, or would not seek: read it in one piece.
            out.samples = {};
            out.error = readMono(path, cancel, longestMs, out.samples, &out.sampleRate,
                                 [](const StreamFormat &) { return qint64(-1); }, 0);
        }
    }
    if (!out.ok())
        out.samples = {};
    return out;
}

} // namespace parlivo
