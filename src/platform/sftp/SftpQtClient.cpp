#include "platform/sftp/SftpQtClient.h"

#include "platform/sftp/SftpUpload.h"
#include "platform/sftp/SshSession.h"

#include <QElapsedTimer>
#include <QPointer>
#include <QThread>
#include <QTimer>

namespace parlivo {

static_assert(SftpPassphraseNeeded == SftpClient::PassphraseNeeded);

// Lives on the worker thread; owns the SSH session.
class SftpWorker : public QObject
{
    Q_OBJECT
public:
    explicit SftpWorker(std::shared_ptr<std::atomic<int>> generation) : m_generation(std::move(generation)) {}

    void openSession(const SshSettings &s, int generation, int serial)
    {
        m_requestGeneration = generation;
        m_serial = serial;
        m_settings = s;
        m_server = s.host + QLatin1Char(':') + QString::number(s.port) + QLatin1Char(':') + s.user;
        m_session = makeSession();
        QString error;
        const int rc = m_session->open(s, &error);
        if (rc != SftpOk) {
            m_session.reset();
            Q_EMIT stateChanged(m_serial, SftpQtClient::Disconnected, QStringLiteral("Disconnected from server"));
            Q_EMIT connected(m_serial, rc, error, {}, {});
            return;
        }
        Q_EMIT stateChanged(m_serial, SftpQtClient::Ready,
                            QStringLiteral("Logged in to %1 with %2").arg(s.host, m_session->loginMethod()));
        Q_EMIT connected(m_serial, SftpOk, {}, m_session->hostKeyNote(), m_session->loginMethod());
    }

    void checkFolder(const QString &remote, int generation)
    {
        m_requestGeneration = generation;
        if (!m_session || !m_session->isOpen()) {
            Q_EMIT done(m_serial, SftpNotConnected, QStringLiteral("Not connected to the publishing server."));
            return;
        }
        QString error;
        const int rc = m_session->checkFolder(remote, &error);
        if (!m_session->isOpen()) {
            m_session.reset();
            Q_EMIT stateChanged(m_serial, SftpQtClient::Disconnected, QStringLiteral("Disconnected from server"));
        }
        Q_EMIT done(m_serial, rc, error);
    }

    void upload(const QString &local, const QString &remote, int generation)
    {
        m_requestGeneration = generation;
        if (!m_session || !m_session->isOpen()) {
            Q_EMIT done(m_serial, SftpNotConnected, QStringLiteral("Not connected to the publishing server."));
            return;
        }
        if (cancelled()) {
            Q_EMIT done(m_serial, SftpCancelled, QStringLiteral("The upload was cancelled."));
            return;
        }
        QString error;
        std::vector<UploadFile> files = listUploadFolder(local, &error);
        if (!error.isEmpty()) {
            Q_EMIT done(m_serial, SftpLocalFileError, error);
            return;
        }
        SftpUploadJob job(remote, std::move(files), m_server);
        // A new stage or file shows at once; the percentage a few times a second.
        QString lastText;
        auto lastStage = SftpUploadJob::Stage::Stopping;
        QString lastFile;
        QElapsedTimer sinceShown;
        m_session->onProgress = [&](const SftpUploadJob &j) {
            const auto stage = j.stage();
            const QString file = j.currentFile();
            if (stage == lastStage && file == lastFile && sinceShown.isValid() && sinceShown.elapsed() < 250)
                return;
            QString text;
            int state = SftpQtClient::Sending;
            switch (stage) {
            case SftpUploadJob::Stage::Preparing: text = QStringLiteral("Preparing the upload"); break;
            case SftpUploadJob::Stage::Sending:
                text = file.isEmpty() ? QStringLiteral("Sending") : QStringLiteral("Sending %1 (%2%)").arg(file).arg(j.currentPercent());
                break;
            case SftpUploadJob::Stage::Finishing: text = QStringLiteral("Finishing"); state = SftpQtClient::Finishing; break;
            case SftpUploadJob::Stage::Stopping: text = QStringLiteral("Stopping the upload"); state = SftpQtClient::Finishing; break;
            }
            lastStage = stage;
            lastFile = file;
            sinceShown.start();
            if (text != lastText) {
                lastText = text;
                Q_EMIT stateChanged(m_serial, state, text);
            }
        };
        // The link can go out as soon as every file is in place; a sweep of old temporary files
        // may go on behind it until the connection is closed.
        bool reported = false;
        m_session->onPlaced = [&] {
            reported = true;
            Q_EMIT stateChanged(m_serial, SftpQtClient::Ready, QStringLiteral("Upload complete"));
            Q_EMIT done(m_serial, SftpOk, {});
        };
        int rc = m_session->run(job, &error);
        rc = resumeAfterLosses(job, rc, &error);
        if (m_session) {
            m_session->onProgress = nullptr;
            m_session->onPlaced = nullptr;
        }
        if (reported) {
            if (m_session && !m_session->isOpen()) {
                m_session.reset();
                Q_EMIT stateChanged(m_serial, SftpQtClient::Disconnected, QStringLiteral("Disconnected from server"));
            }
            return;
        }
        if (rc == SftpOk) {
            Q_EMIT stateChanged(m_serial, SftpQtClient::Ready, QStringLiteral("Upload complete"));
            Q_EMIT done(m_serial, SftpOk, {});
            return;
        }
        if (!m_session || !m_session->isOpen()) {
            // The connection went with the failure.
            m_session.reset();
            Q_EMIT stateChanged(m_serial, SftpQtClient::Disconnected, QStringLiteral("Disconnected from server"));
        } else {
            Q_EMIT stateChanged(m_serial, SftpQtClient::Ready,
                                rc == SftpNameConflict ? QStringLiteral("The name is taken on the server")
                                                       : QStringLiteral("Upload failed"));
        }
        Q_EMIT done(m_serial, rc, error);
    }

    // A connection lost while files were on their way: connect again (a few times, with a
    // growing pause, checking the server's identity again) and go on where the job stood.
    // A stop, a refused login or a changed key is never retried; a job given up removes what it
    // made over one last connection.
    static constexpr int MaxReconnects = 3;
    int resumeAfterLosses(SftpUploadJob &job, int rc, QString *error)
    {
        const auto lostLine = [](int code) { return code == SftpConnectionLost || code == SftpTimedOut; };
        if (!lostLine(rc) || !job.canResume() || cancelled())
            return rc;
        const auto onProgress = m_session->onProgress;
        const auto onPlaced = m_session->onPlaced;
        QString lastError = *error;
        bool cleaned = false;
        for (int attempt = 1; attempt <= MaxReconnects + 1; ++attempt) {
            const bool giveUp = attempt > MaxReconnects;
            Q_EMIT stateChanged(m_serial, SftpQtClient::Connecting,
                                giveUp ? QStringLiteral("Connection lost again; removing what was sent")
                                       : QStringLiteral("Connection lost; reconnecting (%1 of %2)").arg(attempt).arg(MaxReconnects));
            for (int slice = 0; slice < (5 << (attempt - 1)) && !giveUp; ++slice) {   // 0.5 s, 1 s, 2 s
                if (cancelled())
                    break;
                QThread::msleep(100);
            }
            if (cancelled()) {
                *error = QStringLiteral("The upload was cancelled.");
                return SftpCancelled;
            }
            m_session = makeSession();
            QString openError;
            const int opened = m_session->open(m_settings, &openError);
            if (opened != SftpOk) {
                m_session.reset();
                if (opened == SftpConnectFailed || opened == SftpTimedOut) {
                    if (giveUp)
                        break;
                    continue;   // still cut off: counts as a try
                }
                *error = openError;   // refused login, changed key: said as it is, never retried
                return opened;
            }
            m_session->onProgress = onProgress;
            m_session->onPlaced = onPlaced;
            if (giveUp) {
                job.cleanUpOnNewChannel();
                QString ignored;
                m_session->run(job, &ignored);
                cleaned = job.finished();
                break;
            }
            job.resumeOnNewChannel();
            rc = m_session->run(job, error);
            if (!lostLine(rc) || !job.canResume())
                return rc;
            lastError = *error;
        }
        *error = QStringLiteral("%1 Reconnecting %2 times did not help; %3 Check the network connection and "
                                "publish again.")
                     .arg(lastError)
                     .arg(MaxReconnects)
                     .arg(cleaned ? QStringLiteral("nothing of this upload was left on the server.")
                                  : QStringLiteral("its hidden partial files are removed by a later publication."));
        return SftpConnectionLost;
    }

    void closeSession()
    {
        if (m_session) {
            m_session->close();
            m_session.reset();
        }
        Q_EMIT stateChanged(m_serial, SftpQtClient::Disconnected, QStringLiteral("Disconnected from server"));
    }

Q_SIGNALS:
    // `serial` names the connection an event belongs to; the client drops events of earlier ones.
    void stateChanged(int serial, int state, const QString &text);
    void connected(int serial, int code, const QString &text, const QString &hostKeyNote, const QString &loginMethod);
    void done(int serial, int code, const QString &text);

private:
    bool cancelled() const { return m_generation->load() != m_requestGeneration; }
    std::unique_ptr<SshSession> makeSession()
    {
        auto s = std::make_unique<SshSession>([this] { return cancelled(); });
        s->onPhase = [this](const QString &text) {
            const int state = text.startsWith(QLatin1String("Connecting")) ? SftpQtClient::Connecting
                              : text.startsWith(QLatin1String("Checking")) ? SftpQtClient::CheckingIdentity
                                                                             : SftpQtClient::LoggingIn;
            Q_EMIT stateChanged(m_serial, state, text);
        };
        return s;
    }

    std::shared_ptr<std::atomic<int>> m_generation;
    int m_requestGeneration = 0;
    int m_serial = 0;
    QString m_server;   // the server and account, as the upload record tells them apart
    SshSettings m_settings;   // of the last connection, for reconnecting
    std::unique_ptr<SshSession> m_session;
};

SftpQtClient::SftpQtClient(QObject *parent)
    : SftpClient(parent), m_cancelGeneration(std::make_shared<std::atomic<int>>(0))
{
    m_thread = new QThread;
    m_thread->setObjectName(QStringLiteral("sftp"));
    m_worker = new SftpWorker(m_cancelGeneration);
    m_worker->moveToThread(m_thread);
    connect(m_thread, &QThread::finished, m_worker, &QObject::deleteLater);
    // Events of a connection that has since been replaced (a late "disconnected" from an earlier
    // hang-up, say) must not touch the current one.
    connect(m_worker, &SftpWorker::stateChanged, this, [this](int serial, int state, const QString &text) {
        if (serial != m_serial)
            return;
        if (state == Disconnected) {
            m_busy = false;
            m_transferring = false;
        }
        setState(state, text);
    }, Qt::QueuedConnection);
    connect(m_worker, &SftpWorker::connected, this,
            [this](int serial, int code, const QString &text, const QString &hostKeyNote, const QString &loginMethod) {
                if (serial != m_serial)
                    return;
                m_hostKeyNote = hostKeyNote;
                m_loginMethod = loginMethod;
                Q_EMIT Connected(code, text);
            }, Qt::QueuedConnection);
    connect(m_worker, &SftpWorker::done, this, [this](int serial, int code, const QString &text) {
        if (serial != m_serial)
            return;
        m_transferring = false;
        Q_EMIT Done(code, text);
    }, Qt::QueuedConnection);
    m_thread->start();
}

SftpQtClient::~SftpQtClient()
{
    // Calls off whatever runs; the worker gives up within three seconds.
    m_cancelGeneration->fetch_add(1);
    QPointer<SftpWorker> worker = m_worker;
    QMetaObject::invokeMethod(m_worker, [worker] { if (worker) worker->closeSession(); }, Qt::QueuedConnection);
    m_thread->quit();
    if (m_thread->wait(4000)) {
        delete m_thread;
    } else {
        // Never destroy a thread that still runs: it is left to end on its own.
        m_worker->disconnect(this);
        connect(m_thread, &QThread::finished, m_thread, &QObject::deleteLater);
        qWarning("The SFTP worker did not stop in time");
    }
}

void SftpQtClient::setState(int state, const QString &text)
{
    const int old = m_state;
    m_state = state;
    if (text == m_stateText && old == state)
        return;
    m_stateText = text;
    Q_EMIT StateChanged(old);
}

void SftpQtClient::emitLater(std::function<void()> f)
{
    QTimer::singleShot(0, this, std::move(f));
}

void SftpQtClient::connectToServer()
{
    if (m_busy) {
        emitLater([this] { Q_EMIT Connected(SftpBusy, QStringLiteral("A connection to the server is already open.")); });
        return;
    }
    m_busy = true;
    const int serial = ++m_serial;
    SshSettings s;
    s.host = m_host;
    s.port = m_port;
    s.user = m_user;
    s.password = m_password;
    s.hostKey = m_hostKey;
    s.knownHosts = m_knownHosts;
    s.identity = m_identity;
    s.passphrase = m_passphrase;
    s.useAgent = m_useAgent;
    s.connectTimeout = m_connectTimeout;
    s.stallTimeout = m_stallTimeout;
    m_hostKeyNote.clear();
    m_loginMethod.clear();
    const int generation = m_cancelGeneration->load();
    SftpWorker *w = m_worker;
    QMetaObject::invokeMethod(m_worker, [w, s, generation, serial] { w->openSession(s, generation, serial); },
                              Qt::QueuedConnection);
}

bool SftpQtClient::startTransfer()
{
    if (!m_busy) {
        emitLater([this] { Q_EMIT Done(SftpNotConnected, QStringLiteral("Not connected to the publishing server.")); });
        return false;
    }
    if (m_transferring) {
        emitLater([this] { Q_EMIT Done(SftpBusy, QStringLiteral("An upload is already running.")); });
        return false;
    }
    m_transferring = true;
    return true;
}

void SftpQtClient::putFolder(const QString &localFolder, const QString &remoteFolder, int recursive)
{
    Q_UNUSED(recursive);   // only the folder's own files are sent
    if (!startTransfer())
        return;
    const int generation = m_cancelGeneration->load();
    SftpWorker *w = m_worker;
    QMetaObject::invokeMethod(m_worker, [w, localFolder, remoteFolder, generation] { w->upload(localFolder, remoteFolder, generation); },
                              Qt::QueuedConnection);
}

void SftpQtClient::checkFolder(const QString &remoteFolder)
{
    if (!startTransfer())
        return;
    const int generation = m_cancelGeneration->load();
    SftpWorker *w = m_worker;
    QMetaObject::invokeMethod(m_worker, [w, remoteFolder, generation] { w->checkFolder(remoteFolder, generation); },
                              Qt::QueuedConnection);
}

void SftpQtClient::disconnectFromServer()
{
    if (!m_busy)
        return;
    // A disconnect also calls off a transfer or a login still under way.
    m_cancelGeneration->fetch_add(1);
    if (m_state != Disconnected)
        setState(Disconnecting, QStringLiteral("Disconnecting"));
    SftpWorker *w = m_worker;
    QMetaObject::invokeMethod(m_worker, [w] { w->closeSession(); }, Qt::QueuedConnection);
}

void SftpQtClient::cancel()
{
    // Nothing is left half-done on a connection kept open: cancelling also hangs up.
    disconnectFromServer();
}

} // namespace parlivo

#include "SftpQtClient.moc"
