// The connection check's look at the remote folder: it must exist, be a folder, and take a new
// file. One small request at a time; the check is about answers, not speed.
#include "platform/sftp/SftpUpload.h"
#include "platform/sftp/SshSession.h"

#include <libssh2.h>

#include <QRandomGenerator>
#include <QtEndian>

namespace parlivo {

namespace {

enum : quint8 { FXP_INIT = 1, FXP_VERSION = 2, FXP_OPEN = 3, FXP_CLOSE = 4, FXP_REMOVE = 13, FXP_STAT = 17,
                FXP_STATUS = 101, FXP_HANDLE = 102, FXP_ATTRS = 105 };
enum : quint32 { FXF_WRITE = 0x02, FXF_CREAT = 0x08, FXF_EXCL = 0x20 };
enum : quint32 { ATTR_SIZE = 0x1, ATTR_UIDGID = 0x2, ATTR_PERMISSIONS = 0x4 };
enum : quint32 { FX_NO_SUCH_FILE = 2, FX_PERMISSION_DENIED = 3 };

void put32(QByteArray &b, quint32 v)
{
    char raw[4];
    qToBigEndian(v, raw);
    b.append(raw, 4);
}

QByteArray packet(quint8 type, quint32 id, const QByteArray &body)
{
    QByteArray p;
    put32(p, quint32(body.size() + (type == FXP_INIT ? 1 : 5)));
    p.append(char(type));
    if (type != FXP_INIT)
        put32(p, id);
    p.append(body);
    return p;
}

QByteArray str(const QString &s)
{
    QByteArray b;
    const QByteArray u = s.toUtf8();
    put32(b, quint32(u.size()));
    b.append(u);
    return b;
}

quint32 u32At(const QByteArray &b, qsizetype pos)
{
    return pos + 4 <= b.size() ? qFromBigEndian<quint32>(b.constData() + pos) : 0;
}

// An answer's status code (0 = fine); `answer` starts with its type byte.
quint32 statusOf(const QByteArray &answer) { return answer.startsWith(char(FXP_STATUS)) ? u32At(answer, 5) : 0; }

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
    QByteArray answer;
    QByteArray version;
    put32(version, 3);
    if (int rc = exchange(packet(FXP_INIT, 0, version), &answer, error))
        return finish(rc);
    if (!answer.startsWith(char(FXP_VERSION))) {
        *error = QStringLiteral("The server %1 does not speak the file-transfer protocol.").arg(m_host);
        return finish(SftpProtocolError);
    }

    if (int rc = exchange(packet(FXP_STAT, 1, str(folder)), &answer, error))
        return finish(rc);
    if (!answer.startsWith(char(FXP_ATTRS))) {
        const quint32 code = statusOf(answer);
        *error = code == FX_NO_SUCH_FILE ? QStringLiteral("The folder %1 does not exist on the server.").arg(folder)
                 : code == FX_PERMISSION_DENIED ? QStringLiteral("The server does not let this account see the folder %1.").arg(folder)
                                                : QStringLiteral("The server would not say what %1 is (error %2).").arg(folder).arg(code);
        return finish(SftpRemoteFolderMissing);
    }
    const quint32 flags = u32At(answer, 5);
    qsizetype pos = 9 + ((flags & ATTR_SIZE) ? 8 : 0) + ((flags & ATTR_UIDGID) ? 8 : 0);
    if ((flags & ATTR_PERMISSIONS) && (u32At(answer, pos) & 0170000) != 0040000) {
        *error = QStringLiteral("%1 on the server is a file, not a folder.").arg(folder);
        return finish(SftpRemoteFolderMissing);
    }

    const QString probe = (folder.endsWith(QLatin1Char('/')) ? folder : folder + QLatin1Char('/'))
                          + QStringLiteral(".parlivo-check-%1").arg(QRandomGenerator::global()->generate(), 8, 16, QLatin1Char('0'));
    QByteArray open = str(probe);
    put32(open, FXF_WRITE | FXF_CREAT | FXF_EXCL);
    put32(open, 0);
    if (int rc = exchange(packet(FXP_OPEN, 2, open), &answer, error))
        return finish(rc);
    if (!answer.startsWith(char(FXP_HANDLE))) {
        const quint32 code = statusOf(answer);
        *error = code == FX_PERMISSION_DENIED
                     ? QStringLiteral("The folder %1 exists, but this account may not write to it.").arg(folder)
                     : QStringLiteral("The folder %1 exists, but a file could not be made in it (error %2).").arg(folder).arg(code);
        return finish(SftpWriteFailed);
    }
    const QByteArray handle = answer.mid(5);   // the handle, length included, as it came
    if (int rc = exchange(packet(FXP_CLOSE, 3, handle), &answer, error))
        return finish(rc);
    if (int rc = exchange(packet(FXP_REMOVE, 4, str(probe)), &answer, error))
        return finish(rc);
    if (statusOf(answer) != 0) {
        *error = QStringLiteral("A test file could be made in %1 but not removed again: please delete %2 by hand.")
                     .arg(folder, probe);
        return finish(SftpWriteFailed);
    }
    return finish(SftpOk);
}

} // namespace parlivo
