#include "audio/AudioEdit.h"

#include "audio/Captions.h"
#include "message/VoiceFormat.h"
#include "platform/audio/AudioDecoder.h"
#include "platform/audio/Mp3MonoFile.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <array>
#include <cmath>
#include <deque>
#include <thread>

namespace parlivo {

namespace {

constexpr int WindowMs = 10;
// A sound must last this many windows: the click of the mouse at the start and the reach
// for Stop at the end are shorter than any syllable.
constexpr int SoundWindows = 5;
// Above the noise floor by this much is sound. Steady room noise varies far less than
// this from one window to the next; a voice rises well above it.
constexpr double AboveFloorDb = 12.0;
// However clean the microphone, a level below this is never taken for a voice.
constexpr double QuietestSoundDb = -60.0;
// Encoding to MP3 adds a little ripple to the peaks: aim below the ceiling so the
// encoded file still keeps it.
constexpr double CodecMarginDb = 0.5;
// A recording in which nothing stands out from its noise and that is quieter than this holds
// no voice at all.
constexpr double NoVoiceQuietLufs = -35.0;
constexpr float SampleCeiling = 0.708f;   // -3 dBFS: true peaks of speech stay within 1.5 dB above the sample peaks

// Splits work(from, to) over [0, count) between this thread and a second one; audio shorter than
// a few seconds stays on this thread, where starting another would cost more than it saves.
template <typename Work>
void inTwoHalves(qint64 count, Work &&work)
{
    constexpr qint64 ShortestSplit = 1 << 18;   // about 6 s at 44.1 kHz
    if (count < ShortestSplit) {
        work(qint64(0), count);
        return;
    }
    std::thread second([&] { work(count / 2, count); });
    work(qint64(0), count / 2);
    second.join();
}

double dbToGain(double db)
{
    return std::pow(10.0, db / 20.0);
}

// Writes beside the target and renames into place only when complete.
bool writeMp3(const QString &path, const float *samples, qint64 count, int inputRate, QString *error)
{
    const QString part = path + QStringLiteral(".part");
    if (!encodeMonoMp3File(part, samples, count, inputRate, voice_format::SampleRate, voice_format::BitrateKbps, error)) {
        QFile::remove(part);
        return false;
    }
    QFile::remove(path);
    if (!QFile::rename(part, path)) {
        QFile::remove(part);
        if (error)
            *error = QStringLiteral("the audio file could not be put in place");
        return false;
    }
    return true;
}

} // namespace

std::vector<float> monoOf(const DecodedAudio &audio)
{
    const auto *s = reinterpret_cast<const qint16 *>(audio.pcm.constData());
    const int ch = audio.channels;
    std::vector<float> mono(static_cast<size_t>(audio.frames));
    const float scale = 1.0f / (32768.0f * float(ch));
    for (qint64 i = 0; i < audio.frames; ++i) {
        int sum = 0;
        for (int c = 0; c < ch; ++c)
            sum += s[i * ch + c];
        mono[size_t(i)] = float(sum) * scale;
    }
    return mono;
}

bool writeWavFile(const QString &path, const float *samples, qint64 count, int sampleRate)
{
    QFile f(path);
    if (count < 0 || count > (qint64(1) << 30) || !f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    const quint32 dataBytes = quint32(count * 2);
    QByteArray header;
    auto u32 = [&header](quint32 v) { for (int i = 0; i < 4; ++i) header.append(char((v >> (8 * i)) & 0xff)); };
    auto u16 = [&header](quint16 v) { header.append(char(v & 0xff)); header.append(char(v >> 8)); };
    header.append("RIFF");
    u32(36 + dataBytes);
    header.append("WAVEfmt ");
    u32(16);
    u16(1);                       // PCM
    u16(1);                       // mono
    u32(quint32(sampleRate));
    u32(quint32(sampleRate) * 2); // bytes per second
    u16(2);                       // bytes per frame
    u16(16);
    header.append("data");
    u32(dataBytes);
    QByteArray pcm(qsizetype(dataBytes), Qt::Uninitialized);
    auto *out = reinterpret_cast<qint16 *>(pcm.data());
    for (qint64 i = 0; i < count; ++i)
        out[i] = qint16(std::lround(std::clamp(samples[i], -1.0f, 32767.0f / 32768.0f) * 32768.0f));
    return f.write(header) == header.size() && f.write(pcm) == pcm.size();
}

QString tooLargeToEdit(const QString &path)
{
    return QFileInfo(path).size() > LargestEditableBytes ? QStringLiteral("the audio file is too large to edit here")
                                                         : QString();
}

double truePeakDb(const std::vector<float> &samples, float from)
{
    // Four times oversampled with a windowed sinc, but only between samples that come near
    // the ceiling: the peaks between quieter samples cannot reach it, and oversampling the
    // whole recording would cost more than the rest of the levelling.
    constexpr int Half = 8;
    static const auto taps = [] {
        std::array<std::array<float, 2 * Half>, 3> t{};
        for (int p = 1; p <= 3; ++p)
            for (int k = -Half + 1; k <= Half; ++k) {
                const double x = double(k) - p / 4.0;   // distance from the point between samples
                const double sinc = std::sin(M_PI * x) / (M_PI * x);
                const double window = 0.5 + 0.5 * std::cos(M_PI * x / Half);
                t[size_t(p - 1)][size_t(k + Half - 1)] = float(sinc * window);
            }
        return t;
    }();
    const qint64 n = qint64(samples.size());
    float peaks[2] = {0, 0};
    inTwoHalves(n, [&](qint64 first, qint64 last) {
        float peak = 0;
        qint64 done = first - 2;   // the last stretch looked at: loud samples come in runs that share them
        for (qint64 i = first; i < last; ++i) {
            const float a = std::fabs(samples[size_t(i)]);
            peak = std::max(peak, a);
            if (a < from || i + 1 >= n)
                continue;
            // The stretches on both sides of a loud sample.
            for (qint64 at : {i - 1, i}) {
                if (at <= done || at - Half + 1 < 0 || at + Half >= n)
                    continue;
                done = at;
                for (const auto &phase : taps) {
                    float v = 0;
                    for (int k = 0; k < 2 * Half; ++k)
                        v += samples[size_t(at - Half + 1 + k)] * phase[size_t(k)];
                    peak = std::max(peak, std::fabs(v));
                }
            }
        }
        peaks[first == 0 ? 0 : 1] = peak;
    });
    const float peak = std::max(peaks[0], peaks[1]);
    return peak > 0 ? 20.0 * std::log10(double(peak)) : LoudnessFigures::Silent;
}

SoundSpan findSound(const std::vector<float> &mono, int sampleRate)
{
    SoundSpan span;
    const qint64 win = qMax(1, sampleRate * WindowMs / 1000);
    const qint64 windows = qint64(mono.size()) / win;
    if (windows < SoundWindows)
        return span;
    std::vector<double> levels(static_cast<size_t>(windows));
    inTwoHalves(windows * win, [&](qint64 first, qint64 last) {
        for (qint64 w = (first + win - 1) / win; w < windows && w * win < last; ++w) {
            double energy = 0;
            const float *s = mono.data() + w * win;
            for (qint64 i = 0; i < win; ++i)
                energy += double(s[i]) * s[i];
            levels[size_t(w)] = 10.0 * std::log10(energy / double(win) + 1e-12);
        }
    });
    // The noise floor: the level the quietest tenth of the recording stays under.
    std::vector<double> sorted = levels;
    auto tenth = sorted.begin() + qsizetype(sorted.size() / 10);
    std::nth_element(sorted.begin(), tenth, sorted.end());
    const double threshold = std::max(*tenth + AboveFloorDb, QuietestSoundDb);

    auto loud = [&](qint64 w) { return levels[size_t(w)] > threshold; };
    qint64 run = 0, first = -1, last = -1;
    for (qint64 w = 0; w < windows; ++w) {
        run = loud(w) ? run + 1 : 0;
        if (run >= SoundWindows) {
            if (first < 0)
                first = w - SoundWindows + 1;
            last = w;
        }
    }
    if (first < 0)
        return span;
    span.found = true;
    span.start = first * win;
    span.end = (last + 1) * win;
    return span;
}

bool limitPeaks(std::vector<float> &samples, float ceiling, int sampleRate)
{
    const qint64 n = qint64(samples.size());
    if (n == 0 || ceiling <= 0)
        return false;
    const bool over = std::any_of(samples.begin(), samples.end(), [ceiling](float s) { return std::fabs(s) > ceiling; });
    if (!over)
        return false;
    // The gain each sample needs, held at its lowest over a window either side (so the gain
    // is already down when the peak arrives), then averaged over the same width: an average
    // of window minima that all include a peak stays at or below what that peak needs.
    const qint64 w = qMax<qint64>(1, sampleRate / 200);   // 5 ms
    std::vector<float> needed(static_cast<size_t>(n));
    for (qint64 i = 0; i < n; ++i) {
        const float a = std::fabs(samples[size_t(i)]);
        needed[size_t(i)] = a > ceiling ? ceiling / a : 1.0f;
    }
    std::vector<float> held(static_cast<size_t>(n));
    std::deque<qint64> window;   // indexes of increasing needed values
    for (qint64 i = 0; i < n + w; ++i) {
        if (i < n) {
            while (!window.empty() && needed[size_t(window.back())] >= needed[size_t(i)])
                window.pop_back();
            window.push_back(i);
        }
        const qint64 centre = i - w;
        if (centre < 0)
            continue;
        while (window.front() < centre - w)
            window.pop_front();
        held[size_t(centre)] = needed[size_t(window.front())];
    }
    double sum = 0;   // of held over [lo, hi), the window around i
    qint64 lo = 0, hi = 0;
    for (qint64 i = 0; i < n; ++i) {
        for (; hi < qMin(n, i + w + 1); ++hi)
            sum += held[size_t(hi)];
        for (; lo < i - w; ++lo)
            sum -= held[size_t(lo)];
        samples[size_t(i)] *= float(qMin(1.0, sum / double(hi - lo)));
    }
    return true;
}

AudioEditResult editAudioFile(const QString &input, const QString &output, const AudioEdit &edit,
                              LoudnessMeter &meter, const std::atomic<bool> *cancel)
{
    AudioEditResult r;
    auto cancelled = [&] {
        if (cancel && cancel->load()) {
            r.error = QStringLiteral("cancelled");
            return true;
        }
        return false;
    };
    r.error = tooLargeToEdit(input);
    if (!r.ok())
        return r;
    DecodedMono audio = decodeAudioFileMono(input, LongestEditableMs, cancel);
    if (!audio.ok()) {
        r.error = audio.error;
        return r;
    }
    const int rate = audio.sampleRate;
    if (audio.samples.empty()) {
        r.error = QStringLiteral("the audio file holds no sound");
        return r;
    }
    std::vector<float> mono = std::move(audio.samples);
    auto msOf = [rate](qint64 frames) { return frames * 1000 / rate; };
    auto framesOf = [rate](qint64 ms) { return ms * rate / 1000; };
    const qint64 total = qint64(mono.size());
    r.originalMs = msOf(total);

    qint64 start = edit.startMs >= 0 ? std::clamp(framesOf(edit.startMs), qint64(0), total) : 0;
    qint64 end = edit.endMs >= 0 ? std::clamp(framesOf(edit.endMs), start, total) : total;
    bool voiceFound = true;
    if (edit.trimSilence) {
        const SoundSpan sound = findSound(mono, rate);
        voiceFound = sound.found;
        if (sound.found) {
            const qint64 pad = framesOf(SilencePadMs);
            start = qMax(start, sound.start - pad);
            end = qMax(start, qMin(end, sound.end + pad));
        }
    }
    if (end <= start) {
        r.error = QStringLiteral("nothing would be left of the audio");
        return r;
    }
    if (cancelled())
        return r;

    mono.resize(size_t(end));
    mono.erase(mono.begin(), mono.begin() + start);
    std::vector<float> kept = std::move(mono);
    if (edit.level) {
        const LoudnessFigures before = meter.measure(kept.data(), qint64(kept.size()), rate, false);
        if (!before.ok) {
            r.error = QStringLiteral("the loudness could not be measured");
            return r;
        }
        // Without a voice standing out from the noise there is nothing to level: steady noise
        // or hum is left as it is, and called silence when it is quiet.
        r.almostSilent = before.integratedLufs < (voiceFound ? AlmostSilentLufs : NoVoiceQuietLufs);
        if (voiceFound && !r.almostSilent) {
            // Returns whether the limiter had to take peaks down.
            auto raise = [&](double db) {
                r.gainDb += db;
                const float gain = float(dbToGain(db));
                inTwoHalves(qint64(kept.size()), [&](qint64 first, qint64 last) {
                    for (qint64 i = first; i < last; ++i)
                        kept[size_t(i)] *= gain;
                });
                return limitPeaks(kept, SampleCeiling, rate);
            };
            bool limited = raise(TargetLoudnessLufs - before.integratedLufs);
            if (cancelled())
                return r;
            // Limiting the peaks of a loud voice takes a little of its loudness; make it up.
            // Unlimited, the gain alone moved the loudness, by exactly as much: no need to measure.
            for (int pass = 0; pass < 3 && limited; ++pass) {
                const LoudnessFigures after = meter.measure(kept.data(), qint64(kept.size()), rate, false);
                if (!after.ok || after.integratedLufs >= TargetLoudnessLufs - 0.1)
                    break;
                limited = raise(TargetLoudnessLufs - after.integratedLufs);
            }
            const double ceiling = TruePeakCeilingDbtp - CodecMarginDb;
            const double peak = truePeakDb(kept, SampleCeiling / 2);
            if (peak > ceiling) {
                const float down = float(dbToGain(ceiling - peak));
                r.gainDb += ceiling - peak;
                for (float &s : kept)
                    s *= down;
            }
        }
    }
    r.cutStartMs = msOf(start);
    r.keptMs = msOf(end - start);
    const bool cut = start > 0 || end < total;
    const bool levelled = std::fabs(r.gainDb) >= 0.1;
    // Cutting a few milliseconds or nudging the level is not worth another encoding.
    const bool worthIt = (cut && r.originalMs - r.keptMs >= 50) || levelled;
    if (!edit.alwaysWrite && !worthIt) {
        r.keptMs = r.originalMs;
        r.cutStartMs = 0;
        r.gainDb = 0;
        return r;
    }
    if (cancelled())
        return r;
    QString why;
    if (!writeMp3(output, kept.data(), qint64(kept.size()), rate, &why)) {
        r.error = why.isEmpty() ? QStringLiteral("the audio file could not be written") : why;
        return r;
    }
    r.written = true;
    return r;
}

QString autoEditStatusText(const AudioEditResult &result)
{
    const QString silent = QStringLiteral("The recording is almost silent: check the microphone");
    const double trimmed = result.written ? result.trimmedSeconds() : 0.0;
    QString text;
    if (trimmed >= 0.05)
        text = QStringLiteral("Trimmed %1 s of silence").arg(trimmed, 0, 'f', 1);
    if (result.almostSilent)
        return text.isEmpty() ? silent : text + QStringLiteral(". ") + silent;
    if (text.isEmpty() && result.written)
        text = QStringLiteral("No silence to trim; the level was evened out");
    return text;
}

QString retimedWebVtt(const QString &webVtt, qint64 cutStartMs, qint64 keptMs)
{
    QVector<CaptionCue> cues;
    QString why;
    if (webVtt.isEmpty() || !readWebVtt(webVtt.toUtf8(), &cues, &why))
        return {};
    QVector<CaptionCue> moved;
    for (CaptionCue c : cues) {
        c.startMs -= cutStartMs;
        c.endMs -= cutStartMs;
        if (c.endMs <= 0 || c.startMs >= keptMs)
            continue;
        // A phrase whose beginning was cut has lost its first words; once most of it is gone,
        // what remains is the pause after it, and its text would name words no longer heard.
        if (c.startMs < 0 && c.endMs < (c.endMs - c.startMs) / 2)
            continue;
        c.startMs = qMax<qint64>(0, c.startMs);
        c.endMs = qMin(keptMs, c.endMs);
        moved.append(c);
    }
    return moved.isEmpty() ? QString() : webVttOf(moved);
}

} // namespace parlivo
