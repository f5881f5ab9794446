#pragma once
// Reads a whole audio file (MP3, WAV and whatever else the decoder library knows) into
// 16-bit PCM at the file's own rate and channel count.
#include <QByteArray>
#include <QString>
#include <atomic>
#include <vector>

namespace parlivo {

struct DecodedAudio
{
    QByteArray pcm;        // interleaved Int16
    int sampleRate = 0;
    int channels = 0;
    qint64 frames = 0;
    QString error;         // "" on success: "file not found", "not an audio file", ...
    bool ok() const { return error.isEmpty(); }
    double seconds() const { return sampleRate > 0 ? double(frames) / sampleRate : 0.0; }
};

// cancel (optional) is polled between chunks; a cancelled decode reports "cancelled".
DecodedAudio decodeAudioFile(const QString &path, const std::atomic<bool> *cancel = nullptr);

// The same file as one channel of floats (channels averaged), for editing: no 16-bit step
// between the decoder and the edit. Audio longer than longestMs is refused ("the audio is too
// long to edit here") as soon as the decoder passes that length.
struct DecodedMono
{
    std::vector<float> samples;
    int sampleRate = 0;
    QString error;
    bool ok() const { return error.isEmpty(); }
};
DecodedMono decodeAudioFileMono(const QString &path, qint64 longestMs, const std::atomic<bool> *cancel = nullptr);

} // namespace parlivo
