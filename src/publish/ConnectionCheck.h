#pragma once
// Tries the publishing settings step by step without publishing anything: connect, check the
// server's host key, log in, make and remove a file in the remote folder, ask the web server
// for the page address. One line per step; the first failure ends the check. A web folder
// that lists its files is reported with a warning that does not fail the check.
#include "PublishConfig.h"

#include <QObject>
#include <QPointer>
#include <QStringList>

class QNetworkAccessManager;
class QNetworkReply;

namespace parlivo {

class SftpClient;

// True when a page is a web server's generated listing of a folder (a directory index):
// it would hand every published message to anyone who opens the folder's address.
bool looksLikeFolderListing(const QByteArray &page);

class ConnectionCheck : public QObject
{
    Q_OBJECT
public:
    explicit ConnectionCheck(QObject *parent = nullptr);
    ~ConnectionCheck() override;

    // `client` is used for this check alone and must outlive it.
    void start(SftpClient *client, const PublishConfig &config);
    bool isRunning() const { return m_running; }
    void cancel();
    QStringList lines() const { return m_lines; }

    // As in a publication: a locked identity file asks, or fails with how to give the passphrase.
    void setAskForPassphrase(bool ask) { m_askForPassphrase = ask; }
    void setPassphrase(const QString &passphrase) { m_passphrase = passphrase; }
    void providePassphrase(const QString &passphrase);
    QString passphrase() const { return m_passphrase; }

Q_SIGNALS:
    void line(const QString &text);
    void finished(bool ok);
    void passphraseNeeded(const QString &prompt);

private:
    enum class Step { Connect, HostKey, Login, Folder, Page };
    QString title(Step step) const;
    void pass(Step step, const QString &detail);
    void failAt(Step step, const QString &reason);
    void onConnected(int code, const QString &text);
    void onDone(int code, const QString &text);
    void checkPage();
    void end(bool ok);
    bool stop();   // false when it was not running

    SftpClient *m_client = nullptr;
    PublishConfig m_config;
    QStringList m_lines;
    bool m_running = false;
    Step m_reached = Step::Connect;
    bool m_askForPassphrase = false;
    bool m_waitingForPassphrase = false;
    QString m_passphrase;
    QNetworkAccessManager *m_network = nullptr;
    QPointer<QNetworkReply> m_reply;
    QByteArray m_pageStart;   // the first bytes of the folder's page, enough to tell a listing
    QList<QMetaObject::Connection> m_connections;
};

} // namespace parlivo
