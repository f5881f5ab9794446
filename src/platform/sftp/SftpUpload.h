#pragma once
// The file-transfer conversation of one folder upload, as bytes in and bytes out, free of any
// socket: the SSH layer feeds it the server's answers and sends what it produces. Keeping it
// apart lets the whole conversation, failures included, be exercised without a server.
//
// Round trips are what make small uploads slow on a distant server, so every step is asked
// for all files at once: one round of look-ups with the page's claim, one round of opens with
// the data streaming behind them, one round of renames.
#include "platform/SftpClient.h"
#include "platform/sftp/ReadAhead.h"
#include "platform/sftp/WriteWindow.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

namespace parlivo {

class ContentDigest;

// Error codes reported through the client's notifications (0 = success).
enum SftpError : int {
    SftpOk = 0,
    SftpNotConfigured = 1,
    SftpConnectFailed = 2,
    SftpTimedOut = 3,
    SftpHostKeyMismatch = 4,
    SftpLoginFailed = 5,
    SftpProtocolError = 6,
    SftpRemoteFolderMissing = 7,
    SftpNameConflict = 8,
    SftpWriteFailed = 9,
    SftpCancelled = 10,
    SftpConnectionLost = 11,
    SftpLocalFileError = 12,
    SftpBusy = 13,
    SftpNotConnected = 14,
    SftpHostKeyUnknown = 15,     // neither a pin nor a known_hosts entry vouches for the server
    SftpPassphraseNeeded = 16,   // the identity file is locked and no (right) passphrase was given
    SftpRefused = 17,            // the server would not give this account (another) session
};
static_assert(int(SftpNameConflict) == SftpClient::NameTaken);

// What this process has put on servers, by content digest: the only way a file found under
// one of our names can be known to be ours. Size alone proves nothing (a file of zeros of
// the right size would pass), and reading the file back would cost as much as sending it.
class UploadRecord
{
public:
    static UploadRecord &process();
    void remember(const QString &remotePath, const QByteArray &digest);
    bool holds(const QString &remotePath, const QByteArray &digest) const;

private:
    mutable std::mutex m_lock;
    std::map<QString, QByteArray> m_digests;
};

// The digest of a local file that the upload record keeps; empty when it cannot be read.
QByteArray fileDigest(const QString &path);

// Whether a name in the remote folder is one of the temporary names this program uses.
bool isTemporaryUploadName(const QString &name);

struct UploadFile
{
    QString name;        // name in the remote folder
    QString localPath;
    qint64 size = 0;
};

// Regular files directly in `folder`, sorted by name; unreadable entries are reported in `error`.
std::vector<UploadFile> listUploadFolder(const QString &folder, QString *error);

class SftpUploadJob
{
public:
    // The page claims the message's name: it is created under its own name with an exclusive
    // create, which every server honours, so of two uploads of one name only one gets it, and
    // only that one goes on. The other files travel as ".<name>.<random tag>.part", a name no
    // other upload can share, and are renamed into place once complete (servers differ in what
    // a rename onto an existing name does; no other upload of the name gets that far). `server`
    // tells apart the same folder on different servers in the upload record.
    SftpUploadJob(QString remoteFolder, std::vector<UploadFile> files, QString server = {},
                  UploadRecord *record = &UploadRecord::process());
    ~SftpUploadJob();

    // Appends packets to `out` while it holds fewer than `budget` bytes and there is work.
    void produce(QByteArray &out, qsizetype budget);
    // Takes the server's bytes (any split); answers are handled as they complete.
    void consume(const char *data, qsizetype len);

    // Stops where it stands: open files are closed, temporary files removed, then finished.
    void abort(int code, const QString &text);
    // The requests in out[from...] will never be sent (a cancel cut them off, so that the clean-up
    // does not queue behind megabytes of data): no answer is waited for. `from` must be where a
    // request begins.
    void dropUnsent(const QByteArray &out, qsizetype from);

    // The file-transfer session of the channel was opened by an earlier job: no greeting.
    void continueOnOpenChannel();
    // The connection was lost: whether the job can go on over a new one, and going on over it.
    // Each unfinished file is looked up and continued from what the server holds of it (no
    // further than what it confirmed), so only the rest is sent. Lost before the files were
    // opened, the job starts again from the look-ups.
    bool canResume() const
    {
        return !m_cleanupOnly && m_phase != Phase::Sweeping && m_phase != Phase::Cleanup && m_phase != Phase::Finished;
    }
    void resumeOnNewChannel();
    // The job is given up, but over a new connection it removes what it made on the server.
    void cleanUpOnNewChannel();

    bool finished() const { return m_phase == Phase::Finished; }
    // The server has answered the greeting (or an earlier job's).
    bool sessionStarted() const { return m_phase != Phase::Hello; }
    // Every file is in place; what may still run is the sweep of old temporary files, which
    // nobody needs to wait for.
    bool placed() const { return m_phase == Phase::Sweeping || (finished() && m_error == SftpOk && m_placedAll); }
    // Finished with every request answered: the channel can carry the next job.
    bool leftChannelClean() const { return finished() && m_pending.empty() && m_in.isEmpty(); }
    int errorCode() const { return m_error; }
    QString errorText() const { return m_errorText; }
    // True once nothing more is worth sending: cleaning up only waits for answers now.
    bool cleaningUp() const { return m_phase == Phase::Cleanup; }

    enum class Stage { Preparing, Sending, Finishing, Stopping };
    Stage stage() const;
    // Progress for the state line: the file being sent and its share acknowledged (0-100).
    QString currentFile() const;
    int currentPercent() const;
    qint64 bytesAcknowledged() const { return m_acked; }
    qint64 bytesToSend() const { return m_total; }
    int skippedFiles() const { return m_skipped; }
    // Temporary files of earlier uploads that this one removed.
    int staleRemoved() const { return m_staleRemoved; }

    static constexpr quint32 WriteChunk = 64 * 1024;
    // Writes in flight: from the floor, as many as the link needs (see WriteWindow).
    static constexpr int MinWritesInFlight = 16, MaxWritesInFlight = 64;
    // A temporary file this old belongs to an upload that died: no live upload stalls this long.
    static constexpr qint64 StaleAfterSeconds = 10 * 60;
    // The folder is looked through for them at most this often (a marker file on the server
    // holds the time), and only so far: a crowded folder must not slow every publication.
    static constexpr qint64 SweepEverySeconds = 24 * 60 * 60;
    static constexpr int MaxSweepListings = 64;
    static QString sweepMarkerName() { return QStringLiteral(".parlivo-swept"); }

private:
    enum class Phase { Hello, Survey, Resume, Transfer, Rename, Sweeping, Cleanup, Finished };
    enum class FileState { Surveying, Skip, Opening, Writing, Closing, Written, Renaming, Done, Failed, Resuming };
    struct Entry
    {
        UploadFile file;
        QString remotePath, tempPath;
        FileState state = FileState::Surveying;
        QByteArray handle;
        std::unique_ptr<ReadAhead> local;   // from the file's first unsent byte
        qint64 sent = 0, acked = 0;
        qint64 confirmed = 0;              // acknowledged without a gap from the start
        std::map<qint64, qint64> ackedAhead;   // acknowledged beyond a gap: offset, length
        qint64 resumeFrom = -1;            // >= 0: reopen the existing file and go on from here
        int pendingWrites = 0;
        bool tempExists = false;     // the temporary name exists on the server
        bool closeSent = false;
        bool placed = false;         // this job made or put the file under its final name
        bool isPage = false;         // written under its own name, created exclusively: the claim
        bool openSent = false;
        bool removeSent = false, unplaceSent = false;
        bool closeConfirmed = false;   // answers may come in any order: the close's before the writes'
        // The page's claim when the connection was lost before the files were opened: made (its
        // handle came back), or in doubt (asked, never answered), in which case a page found
        // under the name may be another upload's and is never taken for ours.
        enum class Claim { None, Held, InDoubt } claim = Claim::None;
        std::shared_ptr<ContentDigest> digest;   // of the bytes sent, for the upload record
    };
    enum class Req { Version, FolderStat, FileStat, Open, Write, SetStat, Close, Rename, Remove, Unplace,
                     ClaimCheck, ResumeStat, MarkerStat, MarkerOpen, MarkerClose, OpenDir, ReadDir, CloseDir, RemoveStale };
    struct Pending
    {
        Req kind;
        int entry;
        quint32 length = 0;
        qint64 offset = 0;
        WriteWindow::Clock::time_point sentAt{};   // writes only
    };
    void resetConversation();
    void restartSurvey();

    quint32 send(QByteArray &out, quint8 type, const QByteArray &body, Req kind, int entry, quint32 length = 0,
                 qint64 offset = 0);
    // Frames the next piece of file `i` as a write; false when it is not read yet.
    bool sendWrite(QByteArray &out, int i);
    void handle(quint8 type, const QByteArray &body);
    static bool answerFits(quint8 type, Req kind);
    void onStatus(const Pending &p, quint32 code, const QString &message);
    void onHandle(const Pending &p, const QByteArray &handle);
    void onAttrs(const Pending &p, quint32 flags, qint64 size, quint32 permissions, qint64 mtime);
    void onNames(const Pending &p, const QByteArray &body, qsizetype pos);
    void produceSweep(QByteArray &out);
    void sendRenames(QByteArray &out);
    void sendOpen(QByteArray &out, int i);
    // Requests decided while reading answers go out with the next produce().
    void queue(quint8 type, const QByteArray &body, Req kind, int entry) { m_queued.push_back({type, body, kind, entry}); }
    struct Queued { quint8 type; QByteArray body; Req kind; int entry; };
    std::vector<Queued> m_queued;
    void fail(int code, const QString &text);
    void startCleanup();
    void maybeAdvance();
    bool fileRequestsPending() const;
    void finish();

    QString m_folder;
    std::vector<Entry> m_entries;
    QString m_tag, m_server;
    UploadRecord *m_record = nullptr;
    Phase m_phase = Phase::Hello;
    bool m_helloSent = false, m_surveySent = false, m_opensSent = false, m_renamesSent = false;
    bool m_placedAll = false;
    // The page's words are written once every other file holds its name: an upload that
    // loses a name to another has then written nothing into a page it may share with it.
    bool m_companionsPlaced = false;
    bool m_takenWhileSending = false;   // a rename found its name taken since the look-up
    QString m_claimRefusal;     // the server's words when it would not create the page
    bool m_surveyDone = false;   // the look-ups were answered and the transfer began
    bool m_resuming = false, m_resumeSent = false, m_cleanupOnly = false;
    // The sweep for stale temporary files runs beside the upload when the marker says it is
    // due: mark the time, open the folder, read a bounded part of it.
    enum class Sweep { Idle, Asking, Wanted, Opening, Reading, WantRead, WantClose, Closing, Done };
    int m_listings = 0;
    Sweep m_sweep = Sweep::Idle;
    QByteArray m_dirHandle;
    QStringList m_staleToRemove;
    bool sweepSettled() const { return m_sweep == Sweep::Idle || m_sweep == Sweep::Done; }
    QString recordKey(const Entry &e) const { return m_server + QLatin1Char('|') + e.remotePath; }
    int m_staleRemoved = 0;
    bool m_cleanupSent = false;
    quint32 m_nextId = 1;
    std::map<quint32, Pending> m_pending;
    int m_writesInFlight = 0;
    WriteWindow m_window{MinWritesInFlight, MaxWritesInFlight, WriteChunk};
    QByteArray m_in;
    qint64 m_total = 0, m_acked = 0;
    int m_skipped = 0;
    int m_error = SftpOk;
    QString m_errorText;
    int m_folderAnswer = -1;   // -1 unknown, 0 fine
};

} // namespace parlivo
