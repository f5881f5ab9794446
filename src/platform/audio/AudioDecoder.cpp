#include "platform/audio/AudioDecoder.h"

#include <QFile>
#include <QFileInfo>
#include <sndfile.h>

namespace parlivo {

DecodedAudio decodeAudioFile(const QString &path, const std::atomic<bool> *cancel)
{
    DecodedAudio out;
    const QFileInfo info(path);
    if (path.isEmpty() || !info.exists() || info.isDir()) {
        out.error = QStringLiteral("file not found");
        return out;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        out.error = QStringLiteral("file cannot be read");
        return out;
    }
    SF_INFO sfinfo{};
    // The descriptor stays owned by QFile, which also takes care of non-Latin paths.
    SNDFILE *sf = sf_open_fd(file.handle(), SFM_READ, &sfinfo, 0);
    if (!sf) {
        out.error = QStringLiteral("not an audio file");
        return out;
    }
    if (sfinfo.channels <= 0 || sfinfo.samplerate <= 0) {
        sf_close(sf);
        out.error = QStringLiteral("not an audio file");
        return out;
    }
    out.sampleRate = sfinfo.samplerate;
    out.channels = sfinfo.channels;
    // Decoders clip floats from lossy formats rather than wrap them around.
    sf_command(sf, SFC_SET_SCALE_FLOAT_INT_READ, nullptr, SF_TRUE);

    const sf_count_t chunkFrames = 8192;
    if (sfinfo.frames > 0 && sfinfo.frames < (sf_count_t(1) << 31) / (2 * sfinfo.channels))
        out.pcm.reserve(qsizetype(sfinfo.frames) * 2 * sfinfo.channels);
    QByteArray chunk(qsizetype(chunkFrames) * 2 * sfinfo.channels, Qt::Uninitialized);
    for (;;) {
        if (cancel && cancel->load()) {
            sf_close(sf);
            out.pcm.clear();
            out.error = QStringLiteral("cancelled");
            return out;
        }
        const sf_count_t got = sf_readf_short(sf, reinterpret_cast<short *>(chunk.data()), chunkFrames);
        if (got <= 0)
            break;
        out.pcm.append(chunk.constData(), qsizetype(got) * 2 * sfinfo.channels);
        out.frames += got;
    }
    const int err = sf_error(sf);
    sf_close(sf);
    if (err != SF_ERR_NO_ERROR && out.frames == 0) {
        out.pcm.clear();
        out.error = QStringLiteral("not an audio file");
    }
    return out;
}

} // namespace parlivo
