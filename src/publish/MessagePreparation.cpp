#include "MessagePreparation.h"

#include <QFile>
#include <QThread>

#include <memory>

namespace parlivo {

MessagePreparation::MessagePreparation(QObject *parent) : QObject(parent) {}

MessagePreparation::~MessagePreparation()
{
    if (m_thread) {
        m_thread->wait();
        delete m_thread;
    }
}

void MessagePreparation::start(const MessageInputs &in, const PrepareOptions &options)
{
    if (m_thread)
        return;
    m_cancelled = false;
    auto result = std::make_shared<PreparedMessage>();
    m_thread = QThread::create([in, options, result] { *result = prepareMessage(in, options); });
    connect(m_thread, &QThread::finished, this, [this, result] {
        m_thread->deleteLater();
        m_thread = nullptr;
        if (m_cancelled) {
            for (const QString &path : std::as_const(result->written))
                QFile::remove(path);
            return;
        }
        Q_EMIT finished(*result);
    });
    m_thread->start();
}

} // namespace parlivo
