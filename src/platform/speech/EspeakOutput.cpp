#include "platform/speech/EspeakOutput.h"

#include "platform/audio/Mp3Encoder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <sndfile.h>

#include <algorithm>
#include <cmath>

namespace parlivo {

namespace {

struct Option
{
    const char *name;
    int rate;
    int sndFormat;   // libsndfile major | subtype; 0 for the MP3 encoder
    int kbps;        // MP3 only
};

struct Format
{
    const char *name;
    const char *extension;
    bool writable;
    std::vector<Option> options;
};

const std::vector<Format> &formats()
{
    static const std::vector<Format> table = {
        {"WAV", "wav", true,
         {{"22050 Hz, 16 bit, mono", 22050, SF_FORMAT_WAV | SF_FORMAT_PCM_16, 0},
          {"44100 Hz, 16 bit, mono", 44100, SF_FORMAT_WAV | SF_FORMAT_PCM_16, 0},
          {"16000 Hz, 16 bit, mono", 16000, SF_FORMAT_WAV | SF_FORMAT_PCM_16, 0},
          {"8000 Hz, 16 bit, mono", 8000, SF_FORMAT_WAV | SF_FORMAT_PCM_16, 0}}},
        {"MP3", "mp3", true,
         {{"44100 Hz, 128 kbit/s, mono", 44100, 0, 128},
          {"44100 Hz, 64 kbit/s, mono", 44100, 0, 64},
          {"22050 Hz, 32 kbit/s, mono", 22050, 0, 32}}},
        {"WMA", "wma", false, {{"Not available on this system", 0, 0, 0}}},
        {"OGG", "ogg", true,
         {{"22050 Hz, Vorbis, mono", 22050, SF_FORMAT_OGG | SF_FORMAT_VORBIS, 0},
          {"44100 Hz, Vorbis, mono", 44100, SF_FORMAT_OGG | SF_FORMAT_VORBIS, 0}}},
        {"VOX", "vox", true,
         {{"8000 Hz, 4 bit ADPCM, mono", 8000, SF_FORMAT_RAW | SF_FORMAT_VOX_ADPCM, 0},
          {"6000 Hz, 4 bit ADPCM, mono", 6000, SF_FORMAT_RAW | SF_FORMAT_VOX_ADPCM, 0}}},
        {"AU", "au", true,
         {{"22050 Hz, 16 bit, mono", 22050, SF_FORMAT_AU | SF_FORMAT_PCM_16, 0},
          {"8000 Hz, 8 bit u-law, mono", 8000, SF_FORMAT_AU | SF_FORMAT_ULAW, 0}}},
        {"AIFF", "aiff", true,
         {{"22050 Hz, 16 bit, mono", 22050, SF_FORMAT_AIFF | SF_FORMAT_PCM_16, 0},
          {"44100 Hz, 16 bit, mono", 44100, SF_FORMAT_AIFF | SF_FORMAT_PCM_16, 0}}},
        {"MP4", "mp4", false, {{"Not available on this system", 0, 0, 0}}},
        {"FLAC", "flac", true,
         {{"22050 Hz, 16 bit, mono", 22050, SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 0},
          {"44100 Hz, 16 bit, mono", 44100, SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 0}}},
    };
    return table;
}

const Format *formatAt(int format)
{
    return format >= 0 && format < int(formats().size()) ? &formats()[format] : nullptr;
}

constexpr qsizetype ChunkFrames = 8192;

bool writeMp3(const QString &path, const Option &opt, const qint16 *pcm, qsizetype frames, int inRate,
              const std::function<bool()> &cancelled, QString *error)
{
    Mp3Encoder encoder;
    if (!encoder.open(path, inRate, opt.rate, 1, opt.kbps, error))
        return false;
    for (qsizetype at = 0; at < frames; at += ChunkFrames) {
        if (cancelled && cancelled()) {
            encoder.close();
            *error = QStringLiteral("The conversion was stopped.");
            return false;
        }
        const int n = int(std::min<qsizetype>(ChunkFrames, frames - at));
        if (!encoder.encode(pcm + at, n)) {
            encoder.close();
            *error = QStringLiteral("The MP3 file could not be written.");
            return false;
        }
    }
    return encoder.close(error);
}

bool writeSndfile(const QString &path, const Option &opt, const qint16 *pcm, qsizetype frames,
                  const std::function<bool()> &cancelled, QString *error)
{
    SF_INFO info{};
    info.samplerate = opt.rate;
    info.channels = 1;
    info.format = opt.sndFormat;
    SNDFILE *file = sf_open(QFile::encodeName(path).constData(), SFM_WRITE, &info);
    if (!file) {
        *error = QStringLiteral("The file could not be created: %1").arg(QString::fromLocal8Bit(sf_strerror(nullptr)));
        return false;
    }
    if ((opt.sndFormat & SF_FORMAT_TYPEMASK) == SF_FORMAT_OGG) {
        double quality = 0.5;
        sf_command(file, SFC_SET_VBR_ENCODING_QUALITY, &quality, sizeof quality);
    }
    bool ok = true;
    for (qsizetype at = 0; ok && at < frames; at += ChunkFrames) {
        if (cancelled && cancelled()) {
            *error = QStringLiteral("The conversion was stopped.");
            ok = false;
            break;
        }
        const sf_count_t n = std::min<qsizetype>(ChunkFrames, frames - at);
        // The 4-bit codec packs two samples a byte and may count an odd last sample twice.
        if (sf_write_short(file, pcm + at, n) < n) {
            *error = QStringLiteral("The file could not be written: %1").arg(QString::fromLocal8Bit(sf_strerror(file)));
            ok = false;
        }
    }
    if (sf_close(file) != 0 && ok) {
        *error = QStringLiteral("The file could not be completed.");
        ok = false;
    }
    return ok;
}

} // namespace

QStringList speechFormatNames()
{
    QStringList names;
    for (const Format &f : formats())
        names << QString::fromLatin1(f.name);
    return names;
}

QStringList speechFormatOptions(int format)
{
    QStringList names;
    if (const Format *f = formatAt(format))
        for (const Option &o : f->options)
            names << QString::fromUtf8(o.name);
    return names;
}

bool speechFormatWritable(int format)
{
    const Format *f = formatAt(format);
    return f && f->writable;
}

int speechFormatForPath(const QString &path)
{
    const QString ext = QFileInfo(path).suffix().toLower();
    if (ext == QLatin1String("aif"))
        return SpeechFormat::AIFF;
    if (ext == QLatin1String("m4a"))
        return SpeechFormat::MP4;
    for (int i = 0; i < int(formats().size()); ++i)
        if (ext == QLatin1String(formats()[i].extension))
            return i;
    return SpeechFormat::MP3;
}

std::vector<qint16> resampleMono(const qint16 *samples, qsizetype count, int inRate, int outRate)
{
    if (inRate == outRate || count == 0 || inRate <= 0 || outRate <= 0)
        return std::vector<qint16>(samples, samples + count);
    const double step = double(inRate) / outRate;            // input samples per output sample
    const double cutoff = 0.45 * std::min(1.0, double(outRate) / inRate);   // of the input rate
    const int halfTaps = int(std::ceil(8.0 / (2.0 * cutoff)));    // about 8 zero crossings a side
    const qsizetype outCount = qsizetype(std::floor((count - 1) / step)) + 1;
    std::vector<qint16> out(static_cast<std::size_t>(outCount));
    for (qsizetype j = 0; j < outCount; ++j) {
        const double centre = j * step;
        const qsizetype first = std::max<qsizetype>(0, qsizetype(std::ceil(centre - halfTaps)));
        const qsizetype last = std::min<qsizetype>(count - 1, qsizetype(std::floor(centre + halfTaps)));
        double acc = 0, weight = 0;
        for (qsizetype k = first; k <= last; ++k) {
            const double x = k - centre;
            const double sinc = x == 0 ? 2 * cutoff : std::sin(2 * M_PI * cutoff * x) / (M_PI * x);
            const double window = 0.5 + 0.5 * std::cos(M_PI * x / (halfTaps + 1));   // Hann
            const double w = sinc * window;
            acc += w * samples[k];
            weight += w;
        }
        // Normalising by the summed weights keeps the gain at 1 near the buffer's ends too.
        const double v = weight != 0 ? acc / weight : 0;
        out[std::size_t(j)] = qint16(std::clamp(std::lround(v), -32768L, 32767L));
    }
    return out;
}

bool writeSpeechFile(const QString &path, int format, int option, const QByteArray &pcm, int inRate,
                     const std::function<bool()> &cancelled, QString *error)
{
    QString scratch;
    if (!error)
        error = &scratch;
    const Format *f = formatAt(format);
    if (!f) {
        *error = QStringLiteral("Unknown output format %1.").arg(format);
        return false;
    }
    if (!f->writable) {
        *error = QStringLiteral("The %1 format is not supported on this system.").arg(QString::fromLatin1(f->name));
        return false;
    }
    const Option &opt = f->options[std::size_t(option >= 0 && option < int(f->options.size()) ? option : 0)];
    if (path.isEmpty()) {
        *error = QStringLiteral("No file name was given.");
        return false;
    }
    const QFileInfo target(path);
    if (!target.dir().exists()) {
        *error = QStringLiteral("The folder %1 does not exist.").arg(QDir::toNativeSeparators(target.absolutePath()));
        return false;
    }
    const QString partial = target.absolutePath() + QStringLiteral("/.") + target.fileName() + QStringLiteral(".part");

    const auto *in = reinterpret_cast<const qint16 *>(pcm.constData());
    const qsizetype frames = pcm.size() / 2;
    bool ok;
    if (opt.sndFormat == 0) {
        // The MP3 encoder resamples by itself.
        ok = writeMp3(partial, opt, in, frames, inRate, cancelled, error);
    } else if (opt.rate == inRate) {
        ok = writeSndfile(partial, opt, in, frames, cancelled, error);
    } else {
        const std::vector<qint16> resampled = resampleMono(in, frames, inRate, opt.rate);
        ok = writeSndfile(partial, opt, resampled.data(), qsizetype(resampled.size()), cancelled, error);
    }
    if (ok && cancelled && cancelled()) {
        *error = QStringLiteral("The conversion was stopped.");
        ok = false;
    }
    if (ok) {
        QFile::remove(path);
        if (!QFile::rename(partial, path)) {
            *error = QStringLiteral("The file %1 could not be replaced.").arg(QDir::toNativeSeparators(path));
            ok = false;
        }
    }
    if (!ok)
        QFile::remove(partial);
    return ok;
}

} // namespace parlivo
