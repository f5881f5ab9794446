#pragma once
// Runs one audio edit on a thread of its own and reports back on the thread that started
// it, so the window stays responsive while a recording is decoded, measured and encoded.
#include "audio/AudioEdit.h"

#include <QObject>
#include <QThread>

#include <atomic>
#include <functional>
#include <memory>

namespace parlivo {

class AudioEditJob : public QObject
{
    Q_OBJECT
public:
    using MeterFactory = std::function<std::unique_ptr<LoudnessMeter>()>;
    using QObject::QObject;
    // Cancels a running edit and waits for its thread: nothing outlives the job.
    ~AudioEditJob() override;

    // A running edit is cancelled first; its result is never reported. makeMeter is called on
    // the edit's thread, when the edit levels.
    void start(const QString &input, const QString &output, const AudioEdit &edit, const MeterFactory &makeMeter);
    void cancel();
    bool isRunning() const { return m_thread != nullptr; }

Q_SIGNALS:
    void finished(const parlivo::AudioEditResult &result, const QString &input, const QString &output);

private:
    void stopThread();

    QThread *m_thread = nullptr;
    std::shared_ptr<std::atomic<bool>> m_cancel;
    quint64 m_serial = 0;
};

} // namespace parlivo
