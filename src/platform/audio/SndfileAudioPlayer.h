#pragma once
// Plays one audio file: decoded in the background, heard through the PCM output,
// with a time notification about every 100 ms.
#include "platform/audio/AudioDecoder.h"
#include "platform/audio/PcmOutput.h"
#include "platform/AudioPlayer.h"

#include <QTimer>
#include <atomic>
#include <memory>
#include <thread>

namespace parlivo {

class SndfileAudioPlayer : public AudioPlayer
{
    Q_OBJECT
public:
    explicit SndfileAudioPlayer(QObject *parent = nullptr);
    ~SndfileAudioPlayer() override;

    void setFileName(const QString &path) override;
    QString fileName() const override { return m_fileName; }
    void prepare() override;
    void play() override;
    void stop() override;
    void release() override;
    qint64 time() const override;

    bool isPlaying() const { return m_output.isPlaying(); }

Q_SIGNALS:
    void playbackFinished();

private:
    void finishDecoding();
    void decoded(int generation, std::shared_ptr<DecodedAudio> audio);
    void startOutput();
    void reportError(int code, const QString &message);

    QString m_fileName;
    PcmOutput m_output;
    QTimer m_timeTimer;
    std::thread m_worker;
    std::shared_ptr<std::atomic<bool>> m_cancel;
    int m_generation = 0;
    bool m_decoding = false;
    bool m_playWhenReady = false;
    std::shared_ptr<DecodedAudio> m_audio;
};

} // namespace parlivo
