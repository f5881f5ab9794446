#include "PublishRun.h"

#include "platform/SftpClient.h"
#include "publish/ClientSettings.h"

namespace parlivo {

namespace {

QString withDetail(const QString &what, const QString &detail)
{
    const QString d = detail.trimmed();
    if (d.isEmpty())
        return what + QLatin1Char('.');
    return what + QStringLiteral(": ") + d + (d.endsWith(QLatin1Char('.')) ? QString() : QStringLiteral("."));
}

} // namespace

PublishRun::PublishRun(QObject *parent) : QObject(parent)
{
    connect(&m_check, &PageCheck::finished, this, [this](bool ok, const QString &reason) {
        if (m_phase != Phase::Checking)
            return;
        m_checkNote = ok ? QString()
                         : QStringLiteral("Note: your page did not answer at %1 (%2); it may take a moment to appear.")
                               .arg(m_pageAddress, reason);
        m_phase = Phase::Closing;
        Q_EMIT uploaded();
    });
    m_closeWait.setSingleShot(true);
    connect(&m_closeWait, &QTimer::timeout, this, [this] {
        // A client that never reports the close is asked anyway; it says if it cannot.
        if (m_waitingForClose)
            connectNow();
    });
}

bool PublishRun::isRunning() const
{
    return m_phase == Phase::Connecting || m_phase == Phase::Uploading || m_phase == Phase::Checking;
}

void PublishRun::start(SftpClient *client, const PublishConfig &config, const QString &localFolder,
                       const QString &pageAddress)
{
    m_check.abort();
    m_client = client;
    m_localFolder = localFolder;
    m_remoteFolder = config.remoteFolder;
    m_pageAddress = pageAddress;
    m_checkNote.clear();
    m_freshNames = 0;
    m_phase = Phase::Connecting;
    if (!client) {
        fail(QStringLiteral("Publishing failed: the upload component could not be started.") + m_keptNote);
        return;
    }
    const QString problem = config.problem();
    if (!problem.isEmpty()) {
        fail(QStringLiteral("Publishing failed: ") + problem + m_keptNote);
        return;
    }
    applyConnectionSettings(*client, config, m_passphrase);
    m_identity = config.identity;
    m_waitingForPassphrase = false;
    if (client->isBusy()) {
        // The last publication's session is still closing; a new one would be refused.
        m_waitingForClose = true;
        client->disconnectFromServer();
        m_closeWait.start(5000);
        return;
    }
    connectNow();
}

void PublishRun::connectNow()
{
    m_waitingForClose = false;
    m_closeWait.stop();
    if (m_client)
        m_client->connectToServer();
}

void PublishRun::onConnected(int errorCode, const QString &errorText)
{
    if (m_phase != Phase::Connecting || !m_client)
        return;
    if (errorCode == SftpClient::PassphraseNeeded) {
        m_passphrase.clear();   // a wrong one is not tried again
        if (m_askForPassphrase) {
            m_waitingForPassphrase = true;
            Q_EMIT passphraseNeeded(errorText);
            return;
        }
        fail(withDetail(QStringLiteral("Publishing failed: could not log in"),
                        errorText + QStringLiteral(" Give it with --passphrase-file FILE, or add the key to your "
                                                   "agent with: ssh-add %1").arg(m_identity))
             + m_keptNote);
        return;
    }
    if (errorCode != 0) {
        fail(withDetail(QStringLiteral("Publishing failed: could not connect to the publishing server"), errorText)
             + m_keptNote);
        return;
    }
    m_phase = Phase::Uploading;
    m_client->putFolder(m_localFolder, m_remoteFolder, 0);
}

bool PublishRun::onStateChanged(const QString &stateText)
{
    if (m_waitingForClose) {
        if (stateText == disconnectedStateName())
            QTimer::singleShot(0, this, [this] {
                if (m_waitingForClose)
                    connectNow();
            });
        // The old session's closing is not this publication's news.
        return false;
    }
    switch (m_phase) {
    case Phase::Connecting:
    case Phase::Uploading:
    case Phase::Checking:
        return true;
    case Phase::Closing:
        if (stateText == disconnectedStateName())
            m_phase = Phase::Idle;
        return true;
    case Phase::Idle:
        return true;
    case Phase::Failed:
        // The failure stays readable; the client closing down afterwards is no news.
        return false;
    }
    return true;
}

void PublishRun::onDone(int errorCode, const QString &errorText)
{
    if (m_phase != Phase::Uploading && m_phase != Phase::Connecting)
        return;
    if (errorCode == SftpClient::NameTaken && m_renamer && m_phase == Phase::Uploading && m_client
        && m_freshNames < MaxFreshNames) {
        // Another message has this name (published in the same second, today or on another
        // day): this one moves to a fresh name, and nothing of it went to the taken one.
        ++m_freshNames;
        QString why;
        const QString address = m_renamer(&why);
        if (address.isEmpty()) {
            fail(withDetail(QStringLiteral("Publishing failed: the message could not be given a new name"), why)
                 + m_keptNote);
            return;
        }
        m_pageAddress = address;
        m_client->putFolder(m_localFolder, m_remoteFolder, 0);
        return;
    }
    if (errorCode != 0) {
        fail(withDetail(QStringLiteral("Publishing failed: the files could not be uploaded"), errorText) + m_keptNote);
        return;
    }
    m_phase = Phase::Checking;
    m_check.start(m_pageAddress, 5000);
}

void PublishRun::providePassphrase(const QString &passphrase)
{
    if (!m_waitingForPassphrase || m_phase != Phase::Connecting)
        return;
    m_waitingForPassphrase = false;
    if (passphrase.isEmpty()) {
        fail(QStringLiteral("Publishing stopped: no passphrase was given for the key %1.").arg(m_identity) + m_keptNote);
        return;
    }
    m_passphrase = passphrase;
    if (!m_client)
        return;
    m_client->setPassphrase(passphrase);
    connectNow();
}

void PublishRun::cancel()
{
    m_waitingForPassphrase = false;
    m_check.abort();
    m_waitingForClose = false;
    m_closeWait.stop();
    if (m_client && isRunning())
        m_client->cancel();
    m_phase = Phase::Idle;
}

void PublishRun::fail(const QString &reason)
{
    m_check.abort();
    m_waitingForClose = false;
    m_closeWait.stop();
    m_phase = Phase::Failed;
    if (m_client)
        m_client->disconnectFromServer();
    Q_EMIT failed(reason);
}

} // namespace parlivo
