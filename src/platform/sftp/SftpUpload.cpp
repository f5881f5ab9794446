#include "platform/sftp/SftpUpload.h"

#include "platform/sftp/SftpWire.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QtEndian>
#include <algorithm>

#include <openssl/evp.h>

namespace parlivo {

namespace {

// Message types and flags of version 3 of the file-transfer protocol.
enum : quint8 {
    FXP_INIT = 1, FXP_VERSION = 2, FXP_OPEN = 3, FXP_CLOSE = 4, FXP_WRITE = 6, FXP_LSTAT = 7,
    FXP_FSETSTAT = 10, FXP_OPENDIR = 11, FXP_READDIR = 12, FXP_REMOVE = 13, FXP_STAT = 17, FXP_RENAME = 18,
    FXP_STATUS = 101, FXP_HANDLE = 102, FXP_DATA = 103, FXP_NAME = 104, FXP_ATTRS = 105,
};
enum : quint32 { FXF_WRITE = 0x02, FXF_CREAT = 0x08, FXF_TRUNC = 0x10, FXF_EXCL = 0x20 };
enum : quint32 { ATTR_SIZE = 0x1, ATTR_UIDGID = 0x2, ATTR_PERMISSIONS = 0x4, ATTR_ACMODTIME = 0x8, ATTR_EXTENDED = 0x80000000u };
enum : quint32 { FX_OK = 0, FX_EOF = 1, FX_NO_SUCH_FILE = 2, FX_PERMISSION_DENIED = 3, FX_FAILURE = 4 };
// Codes of later protocol versions that some servers send in a version-3 session as well.
enum : quint32 { FX_NO_SPACE = 14, FX_QUOTA_EXCEEDED = 15, FX_FILE_ALREADY_EXISTS = 11 };
constexpr quint32 FileMode = 0644;
constexpr quint32 TypeMask = 0170000, TypeRegular = 0100000, TypeDirectory = 0040000;
constexpr quint32 MaxAnswer = 256 * 1024 + 64;   // no answer we ask for is larger

using wire::put32;
using wire::put64;
using wire::putString;

QByteArray remoteName(const QString &path) { return path.toUtf8(); }

using Reader = wire::Reader;

} // namespace

// Only this process compares the digests, to tell whether a local file is the one it sent; the
// hash runs over every byte sent, so a fast one keeps large files fast: the crypto library's
// SHA-256 uses the processor's SHA instructions where it has them (about twice BLAKE2b's speed).
class ContentDigest
{
public:
    ContentDigest() : m_ctx(EVP_MD_CTX_new())
    {
        if (m_ctx && EVP_DigestInit_ex(m_ctx, EVP_sha256(), nullptr) != 1) {
            EVP_MD_CTX_free(m_ctx);
            m_ctx = nullptr;
        }
    }
    ~ContentDigest() { EVP_MD_CTX_free(m_ctx); }
    ContentDigest(const ContentDigest &) = delete;
    ContentDigest &operator=(const ContentDigest &) = delete;

    void add(const char *data, qsizetype n)
    {
        if (m_ctx && EVP_DigestUpdate(m_ctx, data, size_t(n)) != 1) {
            EVP_MD_CTX_free(m_ctx);
            m_ctx = nullptr;
        }
    }
    // The digest so far (more may be added after); empty if the library failed, which matches nothing.
    QByteArray result() const
    {
        unsigned char md[EVP_MAX_MD_SIZE];
        unsigned int len = 0;
        EVP_MD_CTX *copy = m_ctx ? EVP_MD_CTX_new() : nullptr;
        const bool ok = copy && EVP_MD_CTX_copy_ex(copy, m_ctx) == 1 && EVP_DigestFinal_ex(copy, md, &len) == 1;
        EVP_MD_CTX_free(copy);
        return ok ? QByteArray(reinterpret_cast<const char *>(md), qsizetype(len)) : QByteArray();
    }

private:
    EVP_MD_CTX *m_ctx = nullptr;
};

namespace {

const QString QuotaWords = QStringLiteral("your account's storage quota on the server is used up; delete old "
                                         "messages there, or ask your host for more room");

// `writing`: the request stored data, so the server's bare "Failure" most likely means no room.
QString statusWords(quint32 code, const QString &message, bool writing = false)
{
    switch (code) {
    case FX_NO_SUCH_FILE: return QStringLiteral("no such file or folder");
    case FX_PERMISSION_DENIED: return QStringLiteral("permission denied");
    case FX_NO_SPACE:
        return QStringLiteral("the server's disk is full; ask your host to make room");
    case FX_QUOTA_EXCEEDED:
        return QuotaWords;
    case FX_FAILURE:
        if (message.contains(QLatin1String("quota"), Qt::CaseInsensitive))
            return QuotaWords;
        if (!message.isEmpty() && message != QLatin1String("Failure"))
            return message;
        return writing ? QStringLiteral("the server could not store it (its disk may be full, or your account's "
                                        "storage quota used up: delete old messages there, or ask your host for more room)")
                       : QStringLiteral("the server refused without saying why");
    default: return message.isEmpty() ? QStringLiteral("error %1").arg(code) : message;
    }
}

} // namespace

bool SftpUploadJob::answerFits(quint8 type, Req kind)
{
    switch (type) {
    case FXP_STATUS: return true;
    case FXP_HANDLE: return kind == Req::Open || kind == Req::OpenDir || kind == Req::MarkerOpen;
    case FXP_NAME: return kind == Req::ReadDir;
    case FXP_ATTRS:
        return kind == Req::FolderStat || kind == Req::FileStat || kind == Req::ClaimCheck || kind == Req::ResumeStat
               || kind == Req::MarkerStat;
    default: return false;
    }
}

UploadRecord &UploadRecord::process()
{
    static UploadRecord record;
    return record;
}

void UploadRecord::remember(const QString &remotePath, const QByteArray &digest)
{
    std::lock_guard<std::mutex> hold(m_lock);
    m_digests[remotePath] = digest;
}

bool UploadRecord::holds(const QString &remotePath, const QByteArray &digest) const
{
    std::lock_guard<std::mutex> hold(m_lock);
    const auto it = m_digests.find(remotePath);
    return it != m_digests.end() && !digest.isEmpty() && it->second == digest;
}

QByteArray fileDigest(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        return {};
    ContentDigest h;
    QByteArray buffer(1 << 20, Qt::Uninitialized);
    for (;;) {
        const qint64 n = f.read(buffer.data(), buffer.size());
        if (n < 0)
            return {};
        if (n == 0)
            return h.result();
        h.add(buffer.constData(), n);
    }
}

bool isTemporaryUploadName(const QString &name)
{
    // Ours: ".<name>.<12 hex digits>.part"; older versions used ".PVD82_<...>.part".
    static const QRegularExpression pattern(QStringLiteral("^\\.(.+\\.[0-9a-f]{12}|PVD82_.+)\\.part$"));
    return pattern.match(name).hasMatch();
}

std::vector<UploadFile> listUploadFolder(const QString &folder, QString *error)
{
    std::vector<UploadFile> files;
    QDir dir(folder);
    if (!dir.exists()) {
        if (error)
            *error = QStringLiteral("The folder %1 does not exist.").arg(QDir::toNativeSeparators(folder));
        return files;
    }
    const QFileInfoList list = dir.entryInfoList(QDir::Files | QDir::Hidden | QDir::NoSymLinks, QDir::Name);
    for (const QFileInfo &fi : list) {
        if (!fi.isFile())
            continue;
        files.push_back({fi.fileName(), fi.absoluteFilePath(), fi.size()});
    }
    return files;
}

SftpUploadJob::SftpUploadJob(QString remoteFolder, std::vector<UploadFile> files, QString server, UploadRecord *record)
    : m_folder(std::move(remoteFolder)), m_server(std::move(server)), m_record(record)
{
    if (!m_folder.endsWith(QLatin1Char('/')))
        m_folder += QLatin1Char('/');
    const quint64 r = QRandomGenerator::system()->generate64();
    m_tag = QString::number(r & 0xffffffffffffull, 16).rightJustified(12, QLatin1Char('0'));
    for (UploadFile &f : files) {
        Entry e;
        e.remotePath = m_folder + f.name;
        e.tempPath = m_folder + QLatin1Char('.') + f.name + QLatin1Char('.') + m_tag + QStringLiteral(".part");
        e.isPage = f.name.endsWith(QLatin1String(".htm"), Qt::CaseInsensitive)
                   || f.name.endsWith(QLatin1String(".html"), Qt::CaseInsensitive);
        e.file = std::move(f);
        m_entries.push_back(std::move(e));
    }
}

SftpUploadJob::~SftpUploadJob() = default;

quint32 SftpUploadJob::send(QByteArray &out, quint8 type, const QByteArray &body, Req kind, int entry, quint32 length,
                            qint64 offset)
{
    const quint32 id = m_nextId++;
    put32(out, quint32(body.size() + 5));
    out.append(char(type));
    put32(out, id);
    out.append(body);
    m_pending[id] = Pending{kind, entry, length, offset};
    return id;
}

bool SftpUploadJob::sendWrite(QByteArray &out, int i)
{
    Entry &e = m_entries[i];
    QByteArray piece;
    // Reading a local file takes microseconds; the wait only covers a reader not yet scheduled.
    const ReadAhead::Result got = e.local->next(&piece, std::chrono::seconds(2));
    if (got == ReadAhead::Result::NotYet)
        return false;
    if (got == ReadAhead::Result::Failed) {
        fail(SftpLocalFileError, QStringLiteral("Could not read %1 on this computer.").arg(e.file.name));
        return false;
    }
    const qint64 n = piece.size();
    const quint32 id = m_nextId++;
    put32(out, quint32(1 + 4 + 4 + e.handle.size() + 8 + 4 + n));
    out.append(char(FXP_WRITE));
    put32(out, id);
    putString(out, e.handle);
    put64(out, quint64(e.sent));
    putString(out, piece);
    m_pending[id] = Pending{Req::Write, i, quint32(n), e.sent, WriteWindow::Clock::now()};
    e.sent += n;
    ++e.pendingWrites;
    ++m_writesInFlight;
    return true;
}

void SftpUploadJob::continueOnOpenChannel()
{
    if (m_phase == Phase::Hello) {
        m_helloSent = true;
        m_phase = Phase::Survey;
    }
}

void SftpUploadJob::sendOpen(QByteArray &out, int i)
{
    Entry &e = m_entries[i];
    e.openSent = true;
    QByteArray b;
    putString(b, remoteName(e.isPage ? e.remotePath : e.tempPath));
    if (e.resumeFrom >= 0) {
        put32(b, FXF_WRITE);   // made by this job before the connection was lost
        put32(b, 0);
    } else {
        put32(b, FXF_WRITE | FXF_CREAT | FXF_EXCL);
        put32(b, ATTR_PERMISSIONS);
        put32(b, FileMode);
    }
    send(out, FXP_OPEN, b, Req::Open, i);
}

void SftpUploadJob::produce(QByteArray &out, qsizetype budget)
{
    if (m_phase == Phase::Finished)
        return;
    if (!m_helloSent) {
        m_helloSent = true;
        // The greeting carries no request id: length, type, version.
        put32(out, 5);
        out.append(char(FXP_INIT));
        put32(out, 3);
        return;
    }
    for (const Queued &q : m_queued)
        send(out, q.type, q.body, q.kind, q.entry);
    m_queued.clear();
    if (m_phase == Phase::Resume && !m_resumeSent) {
        m_resumeSent = true;
        for (int i = 0; i < int(m_entries.size()); ++i) {
            const Entry &e = m_entries[i];
            if (e.state != FileState::Resuming)
                continue;
            QByteArray b;
            putString(b, remoteName(e.isPage ? e.remotePath : e.tempPath));
            send(out, FXP_LSTAT, b, Req::ResumeStat, i);
        }
    }
    if (m_phase == Phase::Survey && !m_surveySent) {
        m_surveySent = true;
        QString folder = m_folder;
        if (folder.size() > 1)
            folder.chop(1);
        QByteArray body;
        putString(body, remoteName(folder));
        send(out, FXP_STAT, body, Req::FolderStat, -1);
        for (int i = 0; i < int(m_entries.size()); ++i) {
            QByteArray b;
            putString(b, remoteName(m_entries[i].remotePath));
            send(out, FXP_LSTAT, b, Req::FileStat, i);
        }
        // The page is claimed in the same round: the look-up alone cannot stop another upload
        // of the name from taking it a moment later.
        for (int i = 0; i < int(m_entries.size()); ++i) {
            // (A claim made or asked for over a lost connection waits for the look-up's answer.)
            if (m_entries[i].isPage && m_entries[i].claim == Entry::Claim::None)
                sendOpen(out, i);
        }
        // Temporary files of uploads that died with their connection are cleared on the way,
        // when the marker says it is time.
        QByteArray marker;
        putString(marker, remoteName(m_folder + sweepMarkerName()));
        send(out, FXP_STAT, marker, Req::MarkerStat, -1);
        m_sweep = Sweep::Asking;
    }
    produceSweep(out);
    if (m_phase == Phase::Transfer) {
        if (!m_opensSent) {
            m_opensSent = true;
            for (int i = 0; i < int(m_entries.size()); ++i) {
                if (m_entries[i].state == FileState::Opening && !m_entries[i].openSent)
                    sendOpen(out, i);
            }
        }
        // Data goes in file order so that the first files complete first.
        for (int i = 0; i < int(m_entries.size()) && out.size() < budget; ++i) {
            Entry &e = m_entries[i];
            if (e.state != FileState::Writing || (e.isPage && !m_companionsPlaced))
                continue;
            while (e.sent < e.file.size && m_writesInFlight < m_window.limit() && out.size() < budget) {
                if (!sendWrite(out, i)) {
                    if (m_phase == Phase::Cleanup)
                        return;
                    break;
                }
            }
            if (e.sent == e.file.size && !e.closeSent) {
                // The mode is set on the open handle as well: a server's umask may have narrowed it.
                e.closeSent = true;
                e.state = FileState::Closing;
                QByteArray attrs;
                putString(attrs, e.handle);
                put32(attrs, ATTR_PERMISSIONS);
                put32(attrs, FileMode);
                send(out, FXP_FSETSTAT, attrs, Req::SetStat, i);
                QByteArray b;
                putString(b, e.handle);
                send(out, FXP_CLOSE, b, Req::Close, i);
                e.local.reset();
            }
            if (m_writesInFlight >= m_window.limit())
                break;
        }
    }
    if (m_phase == Phase::Rename && !m_renamesSent) {
        // The page is in place already; only the upload that holds it gets here, so no other
        // upload of the name renames onto these names.
        m_renamesSent = true;
        sendRenames(out);
    }
    if (m_phase == Phase::Cleanup && !m_cleanupSent) {
        m_cleanupSent = true;
        for (int i = 0; i < int(m_entries.size()); ++i) {
            Entry &e = m_entries[i];
            if (!e.handle.isEmpty() && !e.closeSent) {
                e.closeSent = true;
                QByteArray b;
                putString(b, e.handle);
                send(out, FXP_CLOSE, b, Req::Close, i);
            }
            if (e.tempExists && !e.removeSent) {
                e.removeSent = true;
                QByteArray b;
                putString(b, remoteName(e.tempPath));
                send(out, FXP_REMOVE, b, Req::Remove, i);
            }
            // What this upload already made or put in place goes too: a message is there whole
            // or not at all. The page is the exception when another upload took one of the names
            // while this one was sending: some servers let two uploads "exclusively" create one
            // file, so the empty page may be that upload's, which writes its words into it once
            // its files hold their names.
            const bool pageMayBeShared = e.isPage && m_takenWhileSending && !m_companionsPlaced;
            if (e.placed && !e.unplaceSent && !pageMayBeShared) {
                e.unplaceSent = true;
                QByteArray b;
                putString(b, remoteName(e.remotePath));
                send(out, FXP_REMOVE, b, Req::Unplace, i);
            }
        }
    }
    maybeAdvance();
}

void SftpUploadJob::sendRenames(QByteArray &out)
{
    for (int i = 0; i < int(m_entries.size()); ++i) {
        Entry &e = m_entries[i];
        if (e.state != FileState::Written || e.isPage)
            continue;
        e.state = FileState::Renaming;
        QByteArray b;
        putString(b, remoteName(e.tempPath));
        putString(b, remoteName(e.remotePath));
        send(out, FXP_RENAME, b, Req::Rename, i);
    }
}

void SftpUploadJob::produceSweep(QByteArray &out)
{
    for (const QString &path : std::as_const(m_staleToRemove)) {
        QByteArray b;
        putString(b, remoteName(path));
        send(out, FXP_REMOVE, b, Req::RemoveStale, -1);
    }
    m_staleToRemove.clear();
    if (m_sweep == Sweep::Wanted) {
        if (m_phase == Phase::Cleanup) {
            m_sweep = Sweep::Done;
            return;
        }
        // The marker's new time tells concurrent and later uploads that this one sweeps.
        m_sweep = Sweep::Opening;
        QByteArray marker;
        putString(marker, remoteName(m_folder + sweepMarkerName()));
        put32(marker, FXF_WRITE | FXF_CREAT | FXF_TRUNC);
        put32(marker, ATTR_PERMISSIONS);
        put32(marker, FileMode);
        send(out, FXP_OPEN, marker, Req::MarkerOpen, -1);
        QString folder = m_folder;
        if (folder.size() > 1)
            folder.chop(1);
        QByteArray dir;
        putString(dir, remoteName(folder));
        send(out, FXP_OPENDIR, dir, Req::OpenDir, -1);
    }
    if (m_sweep == Sweep::WantRead && (m_phase == Phase::Cleanup || m_listings >= MaxSweepListings))
        m_sweep = Sweep::WantClose;
    if (m_sweep == Sweep::WantRead) {
        m_sweep = Sweep::Reading;
        ++m_listings;
        QByteArray b;
        putString(b, m_dirHandle);
        send(out, FXP_READDIR, b, Req::ReadDir, -1);
    } else if (m_sweep == Sweep::WantClose) {
        m_sweep = Sweep::Closing;
        QByteArray b;
        putString(b, m_dirHandle);
        send(out, FXP_CLOSE, b, Req::CloseDir, -1);
    }
}

void SftpUploadJob::onNames(const Pending &p, const QByteArray &body, qsizetype pos)
{
    if (p.kind != Req::ReadDir)
        return;
    Reader r{body, pos};
    const quint32 count = r.u32();
    const qint64 now = QDateTime::currentSecsSinceEpoch();
    for (quint32 i = 0; i < count && !r.bad; ++i) {
        const QString name = QString::fromUtf8(r.str());
        r.str();   // the long listing
        const quint32 flags = r.u32();
        quint32 perms = 0;
        qint64 mtime = -1;
        if (flags & ATTR_SIZE)
            r.u64();
        if (flags & ATTR_UIDGID) { r.u32(); r.u32(); }
        if (flags & ATTR_PERMISSIONS)
            perms = r.u32();
        if (flags & ATTR_ACMODTIME) { r.u32(); mtime = r.u32(); }
        if (flags & ATTR_EXTENDED) {
            const quint32 n = r.u32();
            for (quint32 k = 0; k < n && !r.bad; ++k) { r.str(); r.str(); }
        }
        if (r.bad)
            break;
        const bool regular = (flags & ATTR_PERMISSIONS) && (perms & TypeMask) == TypeRegular;
        if (regular && mtime >= 0 && now - mtime > StaleAfterSeconds && isTemporaryUploadName(name))
            m_staleToRemove << m_folder + name;
    }
    m_sweep = Sweep::WantRead;
}

void SftpUploadJob::consume(const char *data, qsizetype len)
{
    m_in.append(data, len);
    while (m_in.size() >= 4 && m_phase != Phase::Finished) {
        const quint32 n = qFromBigEndian<quint32>(m_in.constData());
        if (n < 1 || n > MaxAnswer) {
            fail(SftpProtocolError, QStringLiteral("The server sent an answer this program does not understand."));
            finish();   // nothing further can be read reliably
            return;
        }
        if (m_in.size() < qsizetype(n) + 4)
            return;
        const quint8 type = quint8(m_in.at(4));
        const QByteArray body = m_in.mid(5, n - 1);
        m_in.remove(0, n + 4);
        handle(type, body);
    }
}

void SftpUploadJob::handle(quint8 type, const QByteArray &body)
{
    Reader r{body};
    if (type == FXP_VERSION) {
        // An empty folder still checks the remote folder: a publication that went nowhere is no success.
        if (m_phase == Phase::Hello)
            m_phase = m_cleanupOnly ? Phase::Cleanup : m_resuming ? Phase::Resume : Phase::Survey;
        maybeAdvance();
        return;
    }
    const quint32 id = r.u32();
    auto it = m_pending.find(id);
    if (r.bad || it == m_pending.end()) {
        fail(SftpProtocolError, QStringLiteral("The server sent an answer to a question that was never asked."));
        return;
    }
    const Pending p = it->second;
    m_pending.erase(it);
    // An answer that cannot be used still ends its request: the upload fails, and the folder
    // sweep counts as over, or the clean-up would wait for it until the stall timer gives up.
    const auto refuse = [&](const QString &text) {
        fail(SftpProtocolError, text);
        if (p.kind == Req::MarkerStat || p.kind == Req::OpenDir || p.kind == Req::CloseDir)
            m_sweep = Sweep::Done;
        else if (p.kind == Req::ReadDir)
            m_sweep = Sweep::WantClose;
    };
    const QString damaged = QStringLiteral("The server sent a damaged answer.");
    if (!answerFits(type, p.kind)) {
        refuse(QStringLiteral("The server sent an unexpected answer."));
        maybeAdvance();
        return;
    }
    switch (type) {
    case FXP_STATUS: {
        const quint32 code = r.u32();
        // Old servers may end the status after its code; a code cut off is damage, not success.
        const QString message = r.pos < body.size() ? QString::fromUtf8(r.str()) : QString();
        if (r.bad) {
            refuse(damaged);
            break;
        }
        onStatus(p, code, message);
        break;
    }
    case FXP_HANDLE: {
        const QByteArray h = r.str();
        if (r.bad) {
            refuse(damaged);
            break;
        }
        onHandle(p, h);
        break;
    }
    case FXP_NAME:
        onNames(p, body, r.pos);
        break;
    case FXP_ATTRS: {
        const quint32 flags = r.u32();
        qint64 size = -1, mtime = -1;
        quint32 perms = 0;
        if (flags & ATTR_SIZE)
            size = qint64(r.u64());
        if (flags & ATTR_UIDGID) { r.u32(); r.u32(); }
        if (flags & ATTR_PERMISSIONS)
            perms = r.u32();
        if (flags & ATTR_ACMODTIME) { r.u32(); mtime = r.u32(); }
        if (r.bad) {
            refuse(damaged);
            break;
        }
        onAttrs(p, flags, size, perms, mtime);
        break;
    }
    default:
        fail(SftpProtocolError, QStringLiteral("The server sent an unexpected answer."));
    }
    maybeAdvance();
}

void SftpUploadJob::onAttrs(const Pending &p, quint32 flags, qint64 size, quint32 perms, qint64 mtime)
{
    if (p.kind == Req::MarkerStat) {
        const bool recent = mtime >= 0 && QDateTime::currentSecsSinceEpoch() - mtime < SweepEverySeconds;
        m_sweep = recent ? Sweep::Done : Sweep::Wanted;
        return;
    }
    if (p.kind == Req::ResumeStat) {
        Entry &e = m_entries[p.entry];
        if (e.isPage && !e.placed) {
            // Its claim was asked for and never answered: the page found may be another upload's.
            e.state = FileState::Failed;
            fail(SftpNameConflict, QStringLiteral("A different file named %1 is already on the server; nothing was "
                                                  "replaced.").arg(e.file.name));
            return;
        }
        e.resumeFrom = std::min(std::max<qint64>(size, 0), e.confirmed);
        e.state = FileState::Opening;
        e.openSent = false;
        return;
    }
    if (p.kind == Req::ClaimCheck) {
        m_entries[p.entry].state = FileState::Failed;
        fail(SftpNameConflict, QStringLiteral("A different file named %1 is already on the server; nothing was replaced.")
                                   .arg(m_entries[p.entry].file.name));
        return;
    }
    if (p.kind == Req::FolderStat) {
        const bool isDir = !(flags & ATTR_PERMISSIONS) || (perms & TypeMask) == TypeDirectory;
        if (!isDir)
            fail(SftpRemoteFolderMissing, QStringLiteral("%1 on the server is not a folder.").arg(m_folder));
        else
            m_folderAnswer = 0;
        return;
    }
    if (p.kind != Req::FileStat || m_phase != Phase::Survey)
        return;
    Entry &e = m_entries[p.entry];
    if (e.claim == Entry::Claim::Held) {
        // Our own page, made before the connection was lost: written into as it is.
        e.resumeFrom = 0;
        e.state = FileState::Opening;
        return;
    }
    // Only a file this process sent, byte for byte the one at hand, is already there: a name
    // found taken by anything else belongs to someone else's message.
    const bool regular = (flags & ATTR_PERMISSIONS) ? (perms & TypeMask) == TypeRegular : true;
    const bool ours = regular && size == e.file.size && m_record
                      && m_record->holds(recordKey(e), fileDigest(e.file.localPath));
    if (ours) {
        e.state = FileState::Skip;
        ++m_skipped;
        return;
    }
    e.state = FileState::Failed;
    fail(SftpNameConflict,
         QStringLiteral("A different file named %1 is already on the server; nothing was replaced.").arg(e.file.name));
}

void SftpUploadJob::onHandle(const Pending &p, const QByteArray &h)
{
    if (p.kind == Req::MarkerOpen) {
        QByteArray b;
        putString(b, h);
        queue(FXP_CLOSE, b, Req::MarkerClose, -1);
        return;
    }
    if (p.kind == Req::OpenDir) {
        m_dirHandle = h;
        m_sweep = Sweep::WantRead;
        return;
    }
    if (p.kind != Req::Open)
        return;
    Entry &e = m_entries[p.entry];
    e.handle = h;
    if (e.isPage)
        e.placed = true;
    else
        e.tempExists = true;
    if (m_phase == Phase::Cleanup) {
        // An open answered after a failure elsewhere: close and remove it straight away.
        m_cleanupSent = false;
        return;
    }
    if (e.state == FileState::Skip)
        --m_skipped;   // gone between the look-up and the claim: it is sent after all
    e.digest = std::make_shared<ContentDigest>();
    // The digest covers the whole file, the part already there included.
    const std::shared_ptr<ContentDigest> digest = e.digest;
    e.local = std::make_unique<ReadAhead>(e.file.localPath, std::max<qint64>(e.resumeFrom, 0), e.file.size, WriteChunk,
                                          [digest](const char *data, qsizetype n) { digest->add(data, n); });
    if (e.resumeFrom >= 0) {
        m_acked += e.resumeFrom - e.acked;
        e.sent = e.acked = e.confirmed = e.resumeFrom;
        e.ackedAhead.clear();
    }
    e.state = FileState::Writing;
}

void SftpUploadJob::resetConversation()
{
    m_pending.clear();
    m_queued.clear();
    m_in.clear();
    m_writesInFlight = 0;
    m_window.restart();
    m_helloSent = false;
    m_sweep = Sweep::Done;   // the folder's handle went with the connection; another day
    m_staleToRemove.clear();
    for (Entry &e : m_entries) {
        e.handle.clear();
        e.pendingWrites = 0;
        e.local.reset();
    }
}

void SftpUploadJob::restartSurvey()
{
    resetConversation();
    m_phase = Phase::Hello;
    m_surveySent = false;
    m_folderAnswer = -1;
    m_skipped = 0;
    for (Entry &e : m_entries) {
        if (e.state == FileState::Failed)
            continue;
        if (e.isPage && e.openSent)
            e.claim = e.placed ? Entry::Claim::Held : Entry::Claim::InDoubt;
        e.placed = e.claim == Entry::Claim::Held;
        e.state = FileState::Surveying;
        e.openSent = false;
        e.closeSent = false;
    }
}

void SftpUploadJob::resumeOnNewChannel()
{
    if (!m_surveyDone) {
        restartSurvey();
        return;
    }
    resetConversation();
    m_resuming = true;
    m_resumeSent = false;
    m_renamesSent = false;
    m_opensSent = false;
    m_phase = Phase::Hello;
    for (Entry &e : m_entries) {
        e.closeSent = false;
        switch (e.state) {
        case FileState::Opening:
            if (e.openSent)
                e.state = FileState::Resuming;   // whether its open was done is not known
            break;
        case FileState::Writing:
        case FileState::Closing:
            e.state = FileState::Resuming;
            break;
        case FileState::Renaming:
            e.state = FileState::Written;
            break;
        default:
            break;
        }
    }
}

void SftpUploadJob::cleanUpOnNewChannel()
{
    resetConversation();
    m_cleanupOnly = true;
    m_cleanupSent = false;
    m_phase = Phase::Hello;
    if (m_error == SftpOk) {
        m_error = SftpConnectionLost;
        m_errorText = QStringLiteral("The connection to the server was lost.");
    }
    for (Entry &e : m_entries) {
        // Whatever may have been made is removed; a removal of what is not there does no harm.
        e.closeSent = true;
        if (e.openSent || e.state == FileState::Written || e.state == FileState::Renaming) {
            if (e.isPage)
                e.placed = true;
            else
                e.tempExists = true;
        }
        if (e.state == FileState::Renaming)
            e.placed = true;
    }
}

void SftpUploadJob::onStatus(const Pending &p, quint32 code, const QString &message)
{
    Entry *e = p.entry >= 0 ? &m_entries[p.entry] : nullptr;
    switch (p.kind) {
    case Req::FolderStat:
        if (code == FX_OK)
            m_folderAnswer = 0;
        else if (code == FX_NO_SUCH_FILE)
            fail(SftpRemoteFolderMissing, QStringLiteral("The folder %1 does not exist on the server.").arg(m_folder));
        else
            fail(SftpWriteFailed, QStringLiteral("The server refused to show the folder %1: %2.")
                                      .arg(m_folder, statusWords(code, message)));
        break;
    case Req::ClaimCheck:
        e->state = FileState::Failed;
        fail(SftpWriteFailed, QStringLiteral("The server would not create %1: %2.").arg(e->file.name, m_claimRefusal));
        break;
    case Req::MarkerStat:
        m_sweep = code == FX_NO_SUCH_FILE ? Sweep::Wanted : Sweep::Done;
        break;
    case Req::ResumeStat:
        if (code == FX_NO_SUCH_FILE) {
            // Its open never reached the server: it starts afresh.
            e->resumeFrom = -1;
            e->state = FileState::Opening;
            e->openSent = false;
            if (e->isPage)
                e->placed = false;
            else
                e->tempExists = false;
        } else {
            fail(SftpWriteFailed, QStringLiteral("The server refused to look up %1: %2.")
                                      .arg(e->file.name, statusWords(code, message)));
        }
        break;
    case Req::MarkerOpen:
    case Req::MarkerClose:
        break;
    case Req::FileStat:
        if (code == FX_OK)   // a found file comes with its attributes; a bare "OK" says nothing
            fail(SftpProtocolError, QStringLiteral("The server answered the look-up of %1 without saying what it is.")
                                        .arg(e->file.name));
        else if (code != FX_NO_SUCH_FILE)
            fail(SftpWriteFailed, QStringLiteral("The server refused to look up %1: %2.")
                                      .arg(e->file.name, statusWords(code, message)));
        else if (code == FX_NO_SUCH_FILE && e->state == FileState::Surveying) {
            e->state = FileState::Opening;
            if (e->claim == Entry::Claim::Held) {   // our page is gone: it is claimed afresh
                e->claim = Entry::Claim::None;
                e->placed = false;
            }
        }
        break;
    case Req::Open:
        if (m_phase == Phase::Cleanup || e->state == FileState::Skip || e->state == FileState::Failed)
            break;
        if (e->isPage && code == FX_FILE_ALREADY_EXISTS) {
            e->state = FileState::Failed;
            fail(SftpNameConflict, QStringLiteral("A different file named %1 is already on the server; nothing was "
                                                  "replaced.").arg(e->file.name));
        } else if (e->isPage && (code == FX_FAILURE || code == FX_PERMISSION_DENIED)) {
            // Most servers say "exists" no better than this, and some that do not let a file be
            // overwritten call it "permission denied": whether the name is taken decides.
            m_claimRefusal = statusWords(code, message);
            QByteArray b;
            putString(b, remoteName(e->remotePath));
            queue(FXP_LSTAT, b, Req::ClaimCheck, p.entry);
        } else {
            fail(SftpWriteFailed,
                 QStringLiteral("The server would not create %1: %2.").arg(e->file.name, statusWords(code, message)));
        }
        break;
    case Req::Write:
        --e->pendingWrites;
        --m_writesInFlight;
        if (code == FX_OK) {
            m_window.answered(p.length, p.sentAt, WriteWindow::Clock::now());
            e->acked += p.length;
            m_acked += p.length;
            e->ackedAhead[p.offset] = p.length;
            for (auto it = e->ackedAhead.begin(); it != e->ackedAhead.end() && it->first <= e->confirmed;
                 it = e->ackedAhead.erase(it))
                e->confirmed = std::max(e->confirmed, it->first + it->second);
            if (e->closeConfirmed && e->state == FileState::Closing && e->pendingWrites == 0) {
                e->state = FileState::Written;
                if (e->isPage && m_record && e->digest)
                    m_record->remember(recordKey(*e), e->digest->result());
            }
        } else if (m_phase != Phase::Cleanup) {
            fail(SftpWriteFailed,
                 QStringLiteral("Sending %1 failed: %2.").arg(e->file.name, statusWords(code, message, true)));
        }
        break;
    case Req::SetStat:
        // Some servers do not allow changing modes; the mode asked for at creation stands then.
        break;
    case Req::Close:
        e->handle.clear();
        if (code != FX_OK && m_phase != Phase::Cleanup)
            fail(SftpWriteFailed, QStringLiteral("Finishing %1 on the server failed: %2.")
                                      .arg(e->file.name, statusWords(code, message, true)));
        else if (code == FX_OK)
            e->closeConfirmed = true;
        if (e->closeConfirmed && e->state == FileState::Closing && e->pendingWrites == 0) {
            e->state = FileState::Written;
            if (e->isPage && m_record && e->digest)
                m_record->remember(recordKey(*e), e->digest->result());
        }
        break;
    case Req::Rename:
        if (code == FX_OK || (m_resuming && code == FX_NO_SUCH_FILE && e->tempExists)) {
            // (Resumed: a temporary file gone means the rename before the cut went through.)
            e->state = FileState::Done;
            e->tempExists = false;
            e->placed = true;
            if (m_record && e->digest)
                m_record->remember(recordKey(*e), e->digest->result());
            // Placed after the clean-up began (a cancel, or a sibling's rename failed): it goes too.
            if (m_phase == Phase::Cleanup)
                m_cleanupSent = false;
        } else {
            e->state = FileState::Failed;
            // A plain rename fails when the name exists, with "failure" or, on some servers,
            // "file already exists": something put it there since the look-up.
            if (code == FX_FAILURE || code == FX_FILE_ALREADY_EXISTS) {
                // Only when it is what ends the upload: a rename answered during the clean-up of
                // another failure says nothing of who holds the page.
                m_takenWhileSending = m_phase != Phase::Cleanup;
                fail(SftpNameConflict, QStringLiteral("Another file named %1 was put on the server while this one "
                                                      "was being sent; nothing was replaced.")
                                           .arg(e->file.name));
            } else
                fail(SftpWriteFailed, QStringLiteral("Could not put %1 in place on the server: %2.")
                                          .arg(e->file.name, statusWords(code, message)));
        }
        break;
    case Req::Remove:
        e->tempExists = false;
        break;
    case Req::Unplace:
        e->placed = false;
        break;
    case Req::RemoveStale:
        if (code == FX_OK)
            ++m_staleRemoved;
        break;
    case Req::OpenDir:
        // Sweeping is a courtesy; a server that will not list the folder still takes uploads.
        m_sweep = Sweep::Done;
        break;
    case Req::ReadDir:
        m_sweep = Sweep::WantClose;   // the end of the listing, or a refusal
        break;
    case Req::CloseDir:
        m_sweep = Sweep::Done;
        break;
    case Req::Version:
        break;
    }
}

bool SftpUploadJob::fileRequestsPending() const
{
    if (!m_queued.empty())
        return true;
    return std::any_of(m_pending.begin(), m_pending.end(), [](const auto &p) {
        return p.second.entry >= 0 || p.second.kind == Req::FolderStat;
    });
}

void SftpUploadJob::maybeAdvance()
{
    const bool quiet = m_pending.empty() && m_queued.empty() && sweepSettled();
    if (m_phase == Phase::Resume && m_resumeSent && !fileRequestsPending())
        m_phase = Phase::Transfer;
    switch (m_phase) {
    case Phase::Survey:
        if (m_surveySent && !fileRequestsPending() && m_folderAnswer == 0) {
            m_phase = Phase::Transfer;
            m_surveyDone = true;
            for (Entry &e : m_entries) {
                if (e.state == FileState::Opening || e.state == FileState::Writing)
                    m_total += e.file.size;
            }
        }
        [[fallthrough]];
    case Phase::Transfer:
        if (m_phase == Phase::Transfer) {
            const bool allWritten = std::all_of(m_entries.begin(), m_entries.end(), [this](const Entry &e) {
                return e.state == FileState::Written || e.state == FileState::Skip || e.state == FileState::Done
                       || (e.isPage && !m_companionsPlaced && e.state == FileState::Writing);
            });
            if (allWritten)
                m_phase = Phase::Rename;
        }
        [[fallthrough]];
    case Phase::Rename:
        if (m_phase == Phase::Rename && m_renamesSent) {
            const bool renaming = std::any_of(m_entries.begin(), m_entries.end(),
                                              [](const Entry &e) { return e.state == FileState::Renaming; });
            const bool pageDue = std::any_of(m_entries.begin(), m_entries.end(), [](const Entry &e) {
                return e.isPage && e.state != FileState::Written && e.state != FileState::Skip;
            });
            if (!renaming && pageDue && !m_companionsPlaced) {
                // Every other file holds its name: the page's words follow.
                m_companionsPlaced = true;
                m_phase = Phase::Transfer;
            } else if (!renaming && !pageDue) {
                m_placedAll = true;
                m_phase = Phase::Sweeping;
            }
        }
        [[fallthrough]];
    case Phase::Sweeping:
        if (m_phase == Phase::Sweeping && quiet)
            finish();
        break;
    case Phase::Cleanup:
        if (m_cleanupSent && quiet)
            finish();
        break;
    default:
        break;
    }
}

void SftpUploadJob::fail(int code, const QString &text)
{
    if (m_phase == Phase::Cleanup || m_phase == Phase::Finished)
        return;
    if (m_phase == Phase::Sweeping) {
        // Everything is in place; only the sweep, a courtesy, is given up.
        finish();
        return;
    }
    m_error = code;
    m_errorText = text;
    startCleanup();
}

void SftpUploadJob::abort(int code, const QString &text)
{
    fail(code, text);
}

void SftpUploadJob::dropUnsent(const QByteArray &out, qsizetype from)
{
    for (qsizetype pos = from; pos + 9 <= out.size();) {
        const quint32 n = qFromBigEndian<quint32>(out.constData() + pos);
        const quint32 id = qFromBigEndian<quint32>(out.constData() + pos + 5);
        const auto it = m_pending.find(id);
        if (quint8(out.at(pos + 4)) != FXP_INIT && it != m_pending.end()) {
            const Pending &p = it->second;
            if (p.kind == Req::Write) {
                --m_entries[p.entry].pendingWrites;
                --m_writesInFlight;
            }
            if (p.kind == Req::MarkerStat || p.kind == Req::OpenDir || p.kind == Req::ReadDir || p.kind == Req::CloseDir)
                m_sweep = Sweep::Done;   // its answer will never come
            m_pending.erase(it);
        }
        pos += 4 + qsizetype(n);
    }
    maybeAdvance();
}

void SftpUploadJob::startCleanup()
{
    m_phase = Phase::Cleanup;
    m_cleanupSent = false;
    for (Entry &e : m_entries)
        e.local.reset();
}

void SftpUploadJob::finish()
{
    m_phase = Phase::Finished;
    for (Entry &e : m_entries)
        e.local.reset();
}

SftpUploadJob::Stage SftpUploadJob::stage() const
{
    switch (m_phase) {
    case Phase::Hello:
    case Phase::Survey: return Stage::Preparing;
    case Phase::Resume:
    case Phase::Transfer: return m_companionsPlaced ? Stage::Finishing : Stage::Sending;   // the page's words last
    case Phase::Rename: return Stage::Finishing;
    default: return m_error == SftpOk ? Stage::Finishing : Stage::Stopping;
    }
}

QString SftpUploadJob::currentFile() const
{
    for (const Entry &e : m_entries) {
        if (e.state == FileState::Opening || e.state == FileState::Writing || e.state == FileState::Closing)
            return e.file.name;
    }
    return {};
}

int SftpUploadJob::currentPercent() const
{
    for (const Entry &e : m_entries) {
        if (e.state == FileState::Opening || e.state == FileState::Writing || e.state == FileState::Closing)
            return e.file.size > 0 ? int(e.acked * 100 / e.file.size) : 0;
    }
    return 100;
}

} // namespace parlivo
