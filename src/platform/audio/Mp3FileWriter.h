#pragma once
// Writes recorded blocks into an MP3 file as they arrive; nothing is held back
// beyond what the encoder needs for its current frame. The blocks go to a file beside
// the target that replaces it when closed, so a recording that fails half-way never
// costs the user the previous one.
#include "platform/audio/Mp3Encoder.h"
#include "platform/AudioRecorder.h"

namespace parlivo {

class Mp3FileWriter : public AudioFileWriter
{
    Q_OBJECT
public:
    using AudioFileWriter::AudioFileWriter;
    ~Mp3FileWriter() override;

    void setMp3Output(int sampleRate, int bitrateKbps, int channels) override;
    void createFile(const QString &path, int mode) override;
    int openStatus() override { return m_status; }
    QString lastError() const override { return m_lastError; }
    int fileSampleRate() override;
    int fileChannelCount() override;
    void write(const QByteArray &pcm) override;
    void close() override;
    void abandon() override;

    bool writeFailed() const { return m_writeFailed; }

private:
    Mp3Encoder m_encoder;
    int m_rate = 44100, m_kbps = 128, m_channels = 1;
    int m_status = -1;
    bool m_writeFailed = false;
    QString m_lastError;
    QByteArray m_carry;   // a sample split across two writes
    QString m_path, m_partPath;
};

} // namespace parlivo
