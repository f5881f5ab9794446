#include "publish/PageCheck.h"

#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <gtest/gtest.h>

using namespace parlivo;

namespace {

// Accepts connections and answers with `reply` (or keeps silent when it is empty).
class OneLineServer
{
public:
    explicit OneLineServer(QByteArray reply) : m_reply(std::move(reply))
    {
        m_server.listen(QHostAddress::LocalHost, 0);
        QObject::connect(&m_server, &QTcpServer::newConnection, &m_server, [this] {
            while (QTcpSocket *s = m_server.nextPendingConnection()) {
                QObject::connect(s, &QTcpSocket::readyRead, s, [this, s] {
                    s->readAll();
                    if (!m_reply.isEmpty()) {
                        s->write(m_reply);
                        s->disconnectFromHost();
                    }
                });
            }
        });
    }
    QString address() const { return QStringLiteral("http://127.0.0.1:%1/page.htm").arg(m_server.serverPort()); }

private:
    QByteArray m_reply;
    QTcpServer m_server;
};

struct Outcome
{
    bool ok = false;
    QString reason;
};

Outcome check(const QString &address, int timeoutMs = 5000)
{
    PageCheck c;
    QSignalSpy spy(&c, &PageCheck::finished);
    c.start(address, timeoutMs);
    if (!spy.wait(timeoutMs + 3000) || spy.size() != 1)
        return {false, QStringLiteral("no outcome")};
    return {spy[0][0].toBool(), spy[0][1].toString()};
}

} // namespace

TEST(PageCheck, SaysWhyAPageDoesNotAnswer)
{
    OneLineServer fine("HTTP/1.1 200 OK\r\nContent-Length: 0\r\nConnection: close\r\n\r\n");
    Outcome o = check(fine.address());
    EXPECT_TRUE(o.ok) << o.reason.toStdString();

    OneLineServer missing("HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\nConnection: close\r\n\r\n");
    o = check(missing.address());
    EXPECT_FALSE(o.ok);
    EXPECT_EQ(o.reason, "the web server answered 404 Not Found");

    OneLineServer silent("");
    o = check(silent.address(), 300);
    EXPECT_FALSE(o.ok);
    EXPECT_EQ(o.reason, "no answer within 1 second");

    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    const QString closed = QStringLiteral("http://127.0.0.1:%1/x.htm").arg(probe.serverPort());
    probe.close();
    o = check(closed);
    EXPECT_FALSE(o.ok);
    EXPECT_FALSE(o.reason.isEmpty());

    o = check("not an address");
    EXPECT_FALSE(o.ok);
    EXPECT_TRUE(o.reason.contains("not a web address"));
}

TEST(PageCheck, AnAbortedCheckNeverReports)
{
    OneLineServer silent("");
    PageCheck c;
    QSignalSpy spy(&c, &PageCheck::finished);
    c.start(silent.address(), 5000);
    c.abort();
    EXPECT_FALSE(spy.wait(300));
    EXPECT_FALSE(c.isRunning());
}
