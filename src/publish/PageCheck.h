#pragma once
// Asks the web server whether a page answers at its address (HEAD, with a time-out).
#include <QObject>
#include <QPointer>
#include <QString>

class QNetworkAccessManager;
class QNetworkReply;

namespace parlivo {

class PageCheck : public QObject
{
    Q_OBJECT
public:
    explicit PageCheck(QObject *parent = nullptr);
    ~PageCheck() override;

    // Starts the check; finished() follows exactly once unless abort() comes first.
    void start(const QString &address, int timeoutMs = 5000);
    void abort();
    bool isRunning() const { return !m_reply.isNull(); }

Q_SIGNALS:
    // ok: the server answered with a success status. reason: what went wrong, in plain words.
    void finished(bool ok, const QString &reason);

private:
    QNetworkAccessManager *m_network = nullptr;
    QPointer<QNetworkReply> m_reply;
};

} // namespace parlivo
