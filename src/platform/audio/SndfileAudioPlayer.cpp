#include "platform/audio/SndfileAudioPlayer.h"

#include <QMetaObject>

namespace parlivo {

namespace {
constexpr int TimeIntervalMs = 100;
enum ErrorCode { FileError = 1, OutputError = 2 };
} // namespace

SndfileAudioPlayer::SndfileAudioPlayer(QObject *parent) : AudioPlayer(parent)
{
    m_timeTimer.setInterval(TimeIntervalMs);
    connect(&m_timeTimer, &QTimer::timeout, this, [this] { Q_EMIT timeNotification(0); });
    connect(&m_output, &PcmOutput::finished, this, [this] {
        m_timeTimer.stop();
        Q_EMIT timeNotification(0);
        Q_EMIT playbackFinished();
    });
    connect(&m_output, &PcmOutput::failed, this, [this](const QString &message) {
        m_timeTimer.stop();
        reportError(OutputError, message);
    });
}

SndfileAudioPlayer::~SndfileAudioPlayer()
{
    m_timeTimer.stop();
    m_output.stop();
    finishDecoding();
}

void SndfileAudioPlayer::finishDecoding()
{
    if (m_cancel)
        m_cancel->store(true);
    if (m_worker.joinable())
        m_worker.join();
    m_decoding = false;
}

void SndfileAudioPlayer::setFileName(const QString &path)
{
    m_fileName = path;
}

void SndfileAudioPlayer::prepare()
{
    stop();
    finishDecoding();
    m_audio.reset();
    const int generation = ++m_generation;
    m_cancel = std::make_shared<std::atomic<bool>>(false);
    m_decoding = true;
    // Decoding a long MP3 takes a noticeable moment: never on the window's thread.
    m_worker = std::thread([this, generation, path = m_fileName, cancel = m_cancel] {
        auto audio = std::make_shared<DecodedAudio>(decodeAudioFile(path, cancel.get()));
        if (cancel->load())
            return;
        // Queued to this object: dropped if it is destroyed first (its destructor joins us).
        QMetaObject::invokeMethod(
            this, [this, generation, audio] { decoded(generation, audio); }, Qt::QueuedConnection);
    });
}

void SndfileAudioPlayer::decoded(int generation, std::shared_ptr<DecodedAudio> audio)
{
    if (generation != m_generation)
        return;
    if (m_worker.joinable())
        m_worker.join();
    m_decoding = false;
    if (!audio->ok()) {
        m_playWhenReady = false;
        reportError(FileError, audio->error);
        return;
    }
    m_audio = std::move(audio);
    if (m_playWhenReady)
        startOutput();
}

void SndfileAudioPlayer::play()
{
    if (m_audio) {
        startOutput();
    } else if (m_decoding) {
        m_playWhenReady = true;
    } else {
        // play() without prepare(): decode first, then play.
        m_playWhenReady = true;
        prepare();
        m_playWhenReady = true;
    }
}

void SndfileAudioPlayer::startOutput()
{
    m_playWhenReady = false;
    if (!m_audio)
        return;
    QString error;
    if (!m_output.start(m_audio->pcm, m_audio->sampleRate, m_audio->channels, &error)) {
        reportError(OutputError, error);
        return;
    }
    m_timeTimer.start();
    Q_EMIT timeNotification(0);
}

void SndfileAudioPlayer::stop()
{
    m_playWhenReady = false;
    m_timeTimer.stop();
    m_output.stop();
}

void SndfileAudioPlayer::release()
{
    stop();
    finishDecoding();
    ++m_generation;
    m_audio.reset();
}

qint64 SndfileAudioPlayer::time() const
{
    return m_output.playedUSecs() / 1000;
}

void SndfileAudioPlayer::reportError(int code, const QString &message)
{
    Q_EMIT errorNotification(0, code, message);
}

} // namespace parlivo
