// The connection check's look at the remote folder, over the session's channel: one small request
// at a time; the check is about answers, not speed.
#include "platform/sftp/SftpFolderProbe.h"
#include "platform/sftp/SftpUpload.h"
#include "platform/sftp/SshSession.h"

#include <libssh2.h>

#include <QRandomGenerator>
#include <QtEndian>

namespace parlivo {

namespace {

quint32 u32At(const QByteArray &b, qsizetype pos)
{
    return pos + 4 <= b.size() ? qFromBigEndian<quint32>(b.constData() + pos) : 0;
}

} // namespace

int SshSession::exchange(const QByteArray &request, QByteArray *answer, QString *error)
{
    const auto deadline = Clock::now() + m_stallTimeout;
    const QString stalled = QStringLiteral("The server %1 stopped answering.").arg(m_host);
    qsizetype sent = 0;
    while (sent < request.size()) {
        const ssize_t n = libssh2_channel_write(m_channel, request.constData() + sent, size_t(request.size() - sent));
        if (n > 0) {
            sent += n;
        } else if (n == LIBSSH2_ERROR_EAGAIN) {
            if (int w = waitSocket(deadline, error, stalled))
                return w;
        } else {
            *error = QStringLiteral("The connection to %1 was lost (%2).").arg(m_host, libraryError());
            return SftpConnectionLost;
        }
    }
    QByteArray in;
    char buffer[4096];
    for (;;) {
        // The announced length is the server's word: beyond what any answer here needs, it is
        // refused rather than waited and allocated for.
        if (in.size() >= 4 && u32At(in, 0) > SftpFolderProbe::MaxAnswer) {
            *error = QStringLiteral("The server %1 sent an answer this program does not understand.").arg(m_host);
            return SftpProtocolError;
        }
        if (in.size() >= 4 && in.size() >= 4 + qsizetype(u32At(in, 0))) {
            *answer = in.mid(4, u32At(in, 0));
            return SftpOk;
        }
        const ssize_t n = libssh2_channel_read(m_channel, buffer, sizeof buffer);
        if (n > 0) {
            in.append(buffer, n);
        } else if (n == LIBSSH2_ERROR_EAGAIN || (n == 0 && !libssh2_channel_eof(m_channel))) {
            if (int w = waitSocket(deadline, error, stalled))
                return w;
        } else {
            *error = QStringLiteral("The connection to %1 was lost (%2).")
                         .arg(m_host, n == 0 ? QStringLiteral("the server closed the connection") : libraryError());
            return SftpConnectionLost;
        }
    }
}

int SshSession::checkFolder(const QString &folder, QString *error)
{
    if (!m_session) {
        *error = QStringLiteral("Not connected to the server.");
        return SftpNotConnected;
    }
    closeChannel(Clock::now() + std::chrono::milliseconds(300));   // an upload's, greeted already
    if (int rc = openChannel(error)) {
        closeChannel(Clock::now() + std::chrono::milliseconds(300));
        return rc;
    }
    auto finish = [this](int rc) {
        closeChannel(Clock::now() + std::chrono::milliseconds(1000));
        return rc;
    };
    SftpFolderProbe probe(folder, m_host, QRandomGenerator::global()->generate());
    QByteArray answer;
    while (!probe.finished()) {
        if (int rc = exchange(probe.request(), &answer, error))
            return finish(rc);
        probe.take(answer);
    }
    if (probe.result() != SftpOk)
        *error = probe.errorText();
    return finish(probe.result());
}

} // namespace parlivo
