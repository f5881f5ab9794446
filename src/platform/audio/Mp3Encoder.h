#pragma once
// Streams 16-bit PCM into an MP3 file: constant bit rate, written as it arrives, with
// an info frame at the start so players know the exact duration. Shared by the
// recorder's file writer and the speech engine's file output.
#include <QString>
#include <memory>

namespace parlivo {

class Mp3Encoder
{
public:
    Mp3Encoder();
    ~Mp3Encoder();
    Mp3Encoder(const Mp3Encoder &) = delete;
    Mp3Encoder &operator=(const Mp3Encoder &) = delete;

    // Creates (replaces) the file. inputRate is the rate of the samples given to encode;
    // outputRate the file's (resampled when they differ). False with error set on failure.
    bool open(const QString &path, int inputRate, int outputRate, int channels, int bitrateKbps,
              QString *error = nullptr);
    // Interleaved samples, frames * channels values. False once a write failed.
    bool encode(const qint16 *samples, int frames);
    // One channel of floats in -1..1 (not clipped here); only for a mono file.
    bool encodeMono(const float *samples, int frames);
    // Flushes, writes the info frame, releases the file. Safe to call twice.
    bool close(QString *error = nullptr);
    bool isOpen() const;
    int outputRate() const;
    int channels() const;

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

} // namespace parlivo
