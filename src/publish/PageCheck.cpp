#include "PageCheck.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QUrl>

namespace parlivo {

PageCheck::PageCheck(QObject *parent) : QObject(parent) {}

PageCheck::~PageCheck()
{
    abort();
}

void PageCheck::abort()
{
    if (QNetworkReply *reply = m_reply.data()) {
        m_reply.clear();
        reply->disconnect(this);
        reply->abort();
        reply->deleteLater();
    }
}

void PageCheck::start(const QString &address, int timeoutMs)
{
    abort();
    const QUrl url(address);
    if (!url.isValid() || (url.scheme() != QLatin1String("http") && url.scheme() != QLatin1String("https"))) {
        // Reported from the event loop, like every other outcome.
        QMetaObject::invokeMethod(this, [this, address] {
            Q_EMIT finished(false, QStringLiteral("\"%1\" is not a web address").arg(address));
        }, Qt::QueuedConnection);
        return;
    }
    if (!m_network)
        m_network = new QNetworkAccessManager(this);
    QNetworkRequest request(url);
    request.setTransferTimeout(timeoutMs);
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    QNetworkReply *reply = m_network->head(request);
    m_reply = reply;
    connect(reply, &QNetworkReply::finished, this, [this, reply, timeoutMs] {
        if (m_reply != reply)
            return;
        m_reply.clear();
        reply->deleteLater();
        const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        if (reply->error() == QNetworkReply::NoError && status >= 200 && status < 300) {
            Q_EMIT finished(true, QString());
            return;
        }
        QString reason;
        if (reply->error() == QNetworkReply::OperationCanceledError || reply->error() == QNetworkReply::TimeoutError) {
            const int seconds = (timeoutMs + 999) / 1000;
            reason = QStringLiteral("no answer within %1 %2")
                         .arg(seconds)
                         .arg(seconds == 1 ? QStringLiteral("second") : QStringLiteral("seconds"));
        } else if (status != 0) {
            reason = QStringLiteral("the web server answered %1 %2")
                         .arg(status)
                         .arg(reply->attribute(QNetworkRequest::HttpReasonPhraseAttribute).toString());
        } else {
            reason = reply->errorString();
        }
        Q_EMIT finished(false, reason.trimmed());
    });
}

} // namespace parlivo
