#include "platform/sftp/SftpFolderProbe.h"

#include "platform/sftp/SftpUpload.h"
#include "platform/sftp/SftpWire.h"

#include <QtEndian>

namespace parlivo {

namespace {

enum : quint8 { FXP_INIT = 1, FXP_VERSION = 2, FXP_OPEN = 3, FXP_CLOSE = 4, FXP_REMOVE = 13, FXP_STAT = 17,
                FXP_STATUS = 101, FXP_HANDLE = 102, FXP_ATTRS = 105 };
enum : quint32 { FXF_WRITE = 0x02, FXF_CREAT = 0x08, FXF_EXCL = 0x20 };
enum : quint32 { ATTR_SIZE = 0x1, ATTR_UIDGID = 0x2, ATTR_PERMISSIONS = 0x4 };
enum : quint32 { FX_OK = 0, FX_NO_SUCH_FILE = 2, FX_PERMISSION_DENIED = 3 };
constexpr quint32 TypeMask = 0170000, TypeDirectory = 0040000;

using wire::packet;
using wire::put32;
using wire::putString;
using Fields = wire::Reader;

} // namespace

SftpFolderProbe::SftpFolderProbe(QString folder, QString host, quint32 tag)
    : m_folder(std::move(folder)), m_host(std::move(host))
{
    m_probe = (m_folder.endsWith(QLatin1Char('/')) ? m_folder : m_folder + QLatin1Char('/'))
              + QStringLiteral(".parlivo-check-%1").arg(tag, 8, 16, QLatin1Char('0'));
}

QByteArray SftpFolderProbe::request() const
{
    QByteArray body;
    switch (m_step) {
    case Step::Hello:
        put32(body, 3);
        return packet(FXP_INIT, 0, body);
    case Step::Stat:
        putString(body, m_folder.toUtf8());
        return packet(FXP_STAT, 1, body);
    case Step::Open:
        putString(body, m_probe.toUtf8());
        put32(body, FXF_WRITE | FXF_CREAT | FXF_EXCL);
        put32(body, 0);
        return packet(FXP_OPEN, 2, body);
    case Step::Close:
        putString(body, m_handle);
        return packet(FXP_CLOSE, 3, body);
    case Step::Remove:
        putString(body, m_probe.toUtf8());
        return packet(FXP_REMOVE, 4, body);
    case Step::Done:
        break;
    }
    return {};
}

void SftpFolderProbe::stop(int code, const QString &text)
{
    m_result = code;
    m_error = text;
    m_step = Step::Done;
}

void SftpFolderProbe::take(const QByteArray &answer)
{
    if (m_step == Step::Done)
        return;
    const QString damaged = QStringLiteral("The server %1 sent an answer this program does not understand.").arg(m_host);
    Fields f{answer};
    const quint8 type = answer.isEmpty() ? 0 : quint8(answer.at(0));
    f.pos = 1;
    if (m_step == Step::Hello) {
        if (type != FXP_VERSION)
            return stop(SftpProtocolError, QStringLiteral("The server %1 does not speak the file-transfer protocol.").arg(m_host));
        m_step = Step::Stat;
        return;
    }
    // Each step is one request, sent with the step's number as its id: its answer carries it.
    if (f.u32() != quint32(m_step) || f.bad)
        return stop(SftpProtocolError, damaged);
    quint32 code = FX_OK;
    if (type == FXP_STATUS) {
        code = f.u32();
        if (f.bad)
            return stop(SftpProtocolError, damaged);
    }

    switch (m_step) {
    case Step::Stat: {
        if (type != FXP_ATTRS) {
            const QString text =
                type != FXP_STATUS ? damaged
                : code == FX_NO_SUCH_FILE ? QStringLiteral("The folder %1 does not exist on the server.").arg(m_folder)
                : code == FX_PERMISSION_DENIED ? QStringLiteral("The server does not let this account see the folder %1.").arg(m_folder)
                                               : QStringLiteral("The server would not say what %1 is (error %2).").arg(m_folder).arg(code);
            return stop(type != FXP_STATUS ? SftpProtocolError : SftpRemoteFolderMissing, text);
        }
        const quint32 flags = f.u32();
        f.skip(((flags & ATTR_SIZE) ? 8 : 0) + ((flags & ATTR_UIDGID) ? 8 : 0));
        const quint32 permissions = (flags & ATTR_PERMISSIONS) ? f.u32() : TypeDirectory;
        if (f.bad)
            return stop(SftpProtocolError, damaged);
        if ((permissions & TypeMask) != TypeDirectory)
            return stop(SftpRemoteFolderMissing, QStringLiteral("%1 on the server is a file, not a folder.").arg(m_folder));
        m_step = Step::Open;
        return;
    }
    case Step::Open:
        if (type != FXP_HANDLE) {
            const QString text =
                type != FXP_STATUS ? damaged
                : code == FX_PERMISSION_DENIED ? QStringLiteral("The folder %1 exists, but this account may not write to it.").arg(m_folder)
                                               : QStringLiteral("The folder %1 exists, but a file could not be made in it (error %2).").arg(m_folder).arg(code);
            return stop(type != FXP_STATUS ? SftpProtocolError : SftpWriteFailed, text);
        }
        m_handle = f.str();
        if (f.bad)
            return stop(SftpProtocolError, damaged);
        m_step = Step::Close;
        return;
    case Step::Close:
        // Whatever the close says, the test file is removed next.
        m_step = Step::Remove;
        return;
    case Step::Remove:
        if (type != FXP_STATUS || code != FX_OK)
            return stop(SftpWriteFailed, QStringLiteral("A test file could be made in %1 but not removed again: please delete %2 by hand.")
                                             .arg(m_folder, m_probe));
        return stop(SftpOk, {});
    case Step::Hello:
    case Step::Done:
        break;
    }
}

} // namespace parlivo
