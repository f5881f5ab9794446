#pragma once
// The file-transfer conversation of one folder upload, as bytes in and bytes out, free of any
// socket: the SSH layer feeds it the server's answers and sends what it produces. Keeping it
// apart lets the whole conversation, failures included, be exercised without a server.
//
// Round trips are what make small uploads slow on a distant server, so every step is asked
// for all files at once: one round of look-ups, one round of opens with the data streaming
// behind them, one round of renames.
#include <QByteArray>
#include <QFile>
#include <QString>
#include <cstdint>
#include <map>
#include <memory>
#include <vector>

namespace parlivo {

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
};

// What to do with a local file given what the server already holds under its name.
enum class RemoteVerdict { Upload, AlreadyThere, Conflict };
RemoteVerdict judgeRemoteFile(qint64 localSize, bool remoteExists, bool remoteIsRegular, qint64 remoteSize);

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
    // Each file travels as ".<name>.<tag>" and is renamed into place once complete. The name is
    // the same on every run, so a retry clears what a lost connection left behind.
    SftpUploadJob(QString remoteFolder, std::vector<UploadFile> files, QString tag = QStringLiteral("part"));
    ~SftpUploadJob();

    // Appends packets to `out` while it holds fewer than `budget` bytes and there is work.
    void produce(QByteArray &out, qsizetype budget);
    // Takes the server's bytes (any split); answers are handled as they complete.
    void consume(const char *data, qsizetype len);

    // Stops where it stands: open files are closed, temporary files removed, then finished.
    void abort(int code, const QString &text);

    bool finished() const { return m_phase == Phase::Finished; }
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

    static constexpr quint32 WriteChunk = 64 * 1024;
    static constexpr int MaxWritesInFlight = 64;

private:
    enum class Phase { Hello, Survey, Transfer, Rename, Cleanup, Finished };
    enum class FileState { Surveying, Skip, Opening, Writing, Closing, Written, Renaming, Done, Failed };
    struct Entry
    {
        UploadFile file;
        QString remotePath, tempPath;
        FileState state = FileState::Surveying;
        QByteArray handle;
        std::unique_ptr<QFile> local;
        qint64 sent = 0, acked = 0;
        int pendingWrites = 0;
        bool tempExists = false;     // the temporary name exists on the server
        bool closeSent = false;
    };
    enum class Req { Version, FolderStat, FileStat, Open, Write, SetStat, Close, Rename, Remove };
    struct Pending { Req kind; int entry; quint32 length = 0; };

    quint32 send(QByteArray &out, quint8 type, const QByteArray &body, Req kind, int entry, quint32 length = 0);
    void handle(quint8 type, const QByteArray &body);
    void onStatus(const Pending &p, quint32 code, const QString &message);
    void onHandle(const Pending &p, const QByteArray &handle);
    void onAttrs(const Pending &p, quint32 flags, qint64 size, quint32 permissions);
    void fail(int code, const QString &text);
    void startCleanup();
    void maybeAdvance();
    void finish();

    QString m_folder;
    std::vector<Entry> m_entries;
    QString m_tag;
    Phase m_phase = Phase::Hello;
    bool m_helloSent = false, m_surveySent = false, m_opensSent = false, m_renamesSent = false;
    bool m_cleanupSent = false;
    quint32 m_nextId = 1;
    std::map<quint32, Pending> m_pending;
    int m_writesInFlight = 0;
    QByteArray m_in;
    qint64 m_total = 0, m_acked = 0;
    int m_skipped = 0;
    int m_error = SftpOk;
    QString m_errorText;
    int m_folderAnswer = -1;   // -1 unknown, 0 fine
};

} // namespace parlivo
