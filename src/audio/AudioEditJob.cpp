#include "audio/AudioEditJob.h"

#include <QFile>
#include <QMetaObject>

namespace parlivo {

namespace {

class NoMeter : public LoudnessMeter
{
public:
    LoudnessFigures measure(const float *, qint64, int, bool) override { return {}; }
};

} // namespace

AudioEditJob::~AudioEditJob()
{
    stopThread();
}

void AudioEditJob::stopThread()
{
    if (!m_thread)
        return;
    m_cancel->store(true);
    m_thread->wait();
    delete m_thread;
    m_thread = nullptr;
}

void AudioEditJob::cancel()
{
    ++m_serial;
    stopThread();
}

void AudioEditJob::start(const QString &input, const QString &output, const AudioEdit &edit, const MeterFactory &makeMeter)
{
    cancel();
    m_cancel = std::make_shared<std::atomic<bool>>(false);
    const quint64 serial = m_serial;
    auto flag = m_cancel;
    m_thread = QThread::create([this, input, output, edit, flag, makeMeter, serial] {
        AudioEditResult result;
        // Only levelling measures; a cut alone needs no meter.
        std::unique_ptr<LoudnessMeter> meter =
            makeMeter && edit.level ? makeMeter() : std::unique_ptr<LoudnessMeter>(std::make_unique<NoMeter>());
        if (!meter)
            result.error = QStringLiteral("no loudness meter is available");
        else
            result = editAudioFile(input, output, edit, *meter, flag.get());
        meter.reset();
        // Queued to this object: the report waits for the event loop, and is dropped with
        // the job if the job is gone by then (its destructor has waited for this thread).
        QMetaObject::invokeMethod(this, [this, result, input, output, serial] {
            if (serial != m_serial) {
                // Cancelled after it had written its file: nobody will ever point at it.
                if (result.written)
                    QFile::remove(output);
                return;
            }
            if (m_thread) {
                m_thread->wait();
                delete m_thread;
                m_thread = nullptr;
            }
            Q_EMIT finished(result, input, output);
        }, Qt::QueuedConnection);
    });
    m_thread->start();
}

} // namespace parlivo
