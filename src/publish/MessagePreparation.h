#pragma once
// Lays a message out for publishing away from the window's thread: scaling a phone photo,
// cleaning and encoding the sounds and copying a video take long enough to freeze the window.
#include "MessageFiles.h"

#include <QObject>

class QThread;

namespace parlivo {

class MessagePreparation : public QObject
{
    Q_OBJECT
public:
    explicit MessagePreparation(QObject *parent = nullptr);
    // Waits for a preparation still under way: its files must not be written after the
    // program has gone.
    ~MessagePreparation() override;

    // Ignored while a preparation runs.
    void start(const MessageInputs &in, const PrepareOptions &options);
    bool isRunning() const { return m_thread != nullptr; }
    // The preparation under way ends without a word and its files go.
    void cancel() { m_cancelled = true; }

Q_SIGNALS:
    void finished(const parlivo::PreparedMessage &prepared);

private:
    QThread *m_thread = nullptr;
    bool m_cancelled = false;
};

} // namespace parlivo
