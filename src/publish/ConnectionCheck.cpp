#include "ConnectionCheck.h"

#include "platform/SftpClient.h"
#include "publish/ClientSettings.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QRegularExpression>
#include <QUrl>

namespace parlivo {

namespace {
// Enough of a listing to know it for one; more is never read.
constexpr qsizetype PageStartLimit = 64 * 1024;
} // namespace

bool looksLikeFolderListing(const QByteArray &page)
{
    // The titles and headings of the usual web servers' listings: "Index of /..." (nginx,
    // Apache, lighttpd, LiteSpeed), "Directory listing for /..." (small development
    // servers), "[To Parent Directory]" (IIS).
    static const QRegularExpression listing(
        QStringLiteral("<(title|h1)[^>]*>\\s*(Index of|Directory listing for)\\s+/|\\[To Parent Directory\\]"),
        QRegularExpression::CaseInsensitiveOption);
    return listing.match(QString::fromUtf8(page.left(PageStartLimit))).hasMatch();
}

ConnectionCheck::ConnectionCheck(QObject *parent) : QObject(parent) {}

ConnectionCheck::~ConnectionCheck() { cancel(); }

QString ConnectionCheck::title(Step step) const
{
    switch (step) {
    case Step::Connect: return QStringLiteral("Connecting to %1 port %2").arg(m_config.host).arg(m_config.port);
    case Step::HostKey: return QStringLiteral("Checking the server's host key");
    case Step::Login: return QStringLiteral("Logging in as %1").arg(m_config.user);
    case Step::Folder: return QStringLiteral("Writing to the remote folder %1").arg(m_config.remoteFolder);
    case Step::Page: return QStringLiteral("Asking the web server at %1").arg(m_config.pageBase);
    }
    return {};
}

void ConnectionCheck::pass(Step step, const QString &detail)
{
    const QString text = title(step) + QStringLiteral(" ... OK") + (detail.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(detail));
    m_lines << text;
    Q_EMIT line(text);
}

void ConnectionCheck::failAt(Step step, const QString &reason)
{
    const QString text = title(step) + QStringLiteral(" ... FAILED: ") + reason.trimmed();
    m_lines << text;
    Q_EMIT line(text);
    end(false);
}

void ConnectionCheck::start(SftpClient *client, const PublishConfig &config)
{
    cancel();
    m_config = config;
    m_lines.clear();
    m_running = true;
    m_reached = Step::Connect;
    const QString read = config.filesRead.isEmpty() ? QStringLiteral("no settings file, only the environment")
                                                    : config.filesRead.join(QStringLiteral(", "));
    const QString problem = config.problem();
    if (!problem.isEmpty()) {
        const QString text = QStringLiteral("Reading the settings (%1) ... FAILED: %2").arg(read, problem);
        m_lines << text;
        QMetaObject::invokeMethod(this, [this, text] {
            Q_EMIT line(text);
            end(false);
        }, Qt::QueuedConnection);
        return;
    }
    m_lines << QStringLiteral("Reading the settings ... OK (%1)").arg(read);
    QMetaObject::invokeMethod(this, [this, first = m_lines.first()] { Q_EMIT line(first); }, Qt::QueuedConnection);
    m_client = client;
    if (!client) {
        failAt(Step::Connect, QStringLiteral("the upload component could not be started."));
        return;
    }
    m_connections << connect(client, &SftpClient::StateChanged, this, [this] {
        const QString state = m_client->stateText();
        if (state.startsWith(QLatin1String("Checking")))
            m_reached = Step::HostKey;
        else if (state.startsWith(QLatin1String("Logging in")))
            m_reached = Step::Login;
    });
    m_connections << connect(client, &SftpClient::Connected, this, &ConnectionCheck::onConnected);
    m_connections << connect(client, &SftpClient::Done, this, &ConnectionCheck::onDone);
    applyConnectionSettings(*client, config, m_passphrase);
    client->connectToServer();
}

void ConnectionCheck::onConnected(int code, const QString &text)
{
    if (!m_running || m_reached > Step::Login)
        return;
    if (code == SftpClient::PassphraseNeeded) {
        m_passphrase.clear();
        if (m_askForPassphrase) {
            m_waitingForPassphrase = true;
            Q_EMIT passphraseNeeded(text);
            return;
        }
        failAt(Step::Login, text + QStringLiteral(" Give it with --passphrase-file FILE, or add the key to your agent "
                                                  "with: ssh-add %1").arg(m_config.identity));
        return;
    }
    if (code != 0) {
        // Every step before the one that failed went well.
        if (m_reached > Step::Connect)
            pass(Step::Connect, {});
        if (m_reached > Step::HostKey)
            pass(Step::HostKey, {});
        failAt(m_reached, text);
        return;
    }
    pass(Step::Connect, {});
    pass(Step::HostKey, m_client->hostKeyNote());
    pass(Step::Login, QStringLiteral("with ") + m_client->loginMethod());
    m_reached = Step::Folder;
    m_client->checkFolder(m_config.remoteFolder);
}

void ConnectionCheck::providePassphrase(const QString &passphrase)
{
    if (!m_waitingForPassphrase)
        return;
    m_waitingForPassphrase = false;
    if (passphrase.isEmpty()) {
        failAt(Step::Login, QStringLiteral("no passphrase was given for the key %1.").arg(m_config.identity));
        return;
    }
    m_passphrase = passphrase;
    m_reached = Step::Connect;
    m_client->setPassphrase(passphrase);
    m_client->connectToServer();
}

void ConnectionCheck::onDone(int code, const QString &text)
{
    if (!m_running || m_reached != Step::Folder)
        return;
    if (code != 0) {
        failAt(Step::Folder, text);
        return;
    }
    pass(Step::Folder, QStringLiteral("it exists and takes new files"));
    m_client->disconnectFromServer();
    checkPage();
}

void ConnectionCheck::checkPage()
{
    m_reached = Step::Page;
    const QUrl url(m_config.pageBase);
    if (!url.isValid() || (url.scheme() != QLatin1String("http") && url.scheme() != QLatin1String("https"))) {
        failAt(Step::Page, QStringLiteral("\"%1\" is not a web address.").arg(m_config.pageBase));
        return;
    }
    if (!m_network)
        m_network = new QNetworkAccessManager(this);
    QNetworkRequest request(url);
    request.setTransferTimeout(8000);
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    QNetworkReply *reply = m_network->get(request);
    m_reply = reply;
    m_pageStart.clear();
    connect(reply, &QNetworkReply::readyRead, this, [this, reply] {
        m_pageStart += reply->read(PageStartLimit - m_pageStart.size());
        if (m_pageStart.size() >= PageStartLimit)
            reply->abort();   // enough to judge; a huge or endless page is not read on
    });
    connect(reply, &QNetworkReply::finished, this, [this, reply] {
        reply->deleteLater();
        if (m_reply != reply)
            return;
        m_reply.clear();
        const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        // The folder itself may well be closed to listing (403) or have no index page (404):
        // what matters is that a web server answers there.
        if (status > 0 && status < 500) {
            pass(Step::Page, QStringLiteral("HTTP %1").arg(status));
            if (status == 200 && looksLikeFolderListing(m_pageStart)) {
                const QString warning =
                    QStringLiteral("WARNING: the web server lists the files of %1 to anyone who opens that address, "
                                   "so every message you publish can be found there. Put an index page of your own in "
                                   "the remote folder (an empty index.html will do), or switch the folder listing "
                                   "(directory index) off in your host's settings.")
                        .arg(m_config.pageBase);
                m_lines << warning;
                Q_EMIT line(warning);
            }
            end(true);
            return;
        }
        if (status >= 500)
            failAt(Step::Page, QStringLiteral("the web server answered HTTP %1 %2.")
                                   .arg(status)
                                   .arg(reply->attribute(QNetworkRequest::HttpReasonPhraseAttribute).toString()));
        else if (reply->error() == QNetworkReply::OperationCanceledError || reply->error() == QNetworkReply::TimeoutError)
            failAt(Step::Page, QStringLiteral("no answer within 8 seconds."));
        else
            failAt(Step::Page, reply->errorString() + QLatin1Char('.'));
    });
}

// Lets go of the client: nothing it says afterwards reaches this check.
bool ConnectionCheck::stop()
{
    if (!m_running)
        return false;
    m_running = false;
    m_waitingForPassphrase = false;
    for (const auto &c : m_connections)
        disconnect(c);
    m_connections.clear();
    if (m_client && m_client->isBusy())
        m_client->disconnectFromServer();
    return true;
}

void ConnectionCheck::end(bool ok)
{
    if (stop())
        Q_EMIT finished(ok);
}

void ConnectionCheck::cancel()
{
    if (QNetworkReply *r = m_reply.data()) {
        m_reply.clear();
        r->abort();
    }
    stop();
}

} // namespace parlivo
