#pragma once
// One publication's trip to the server: connect, send the outgoing folder, check that the
// page answers, then hand back. Both the window and the command line drive their SFTP
// client's notifications into it, so they share one road and one set of failure rules.
#include "PageCheck.h"
#include "PublishConfig.h"

#include <QObject>
#include <QString>
#include <QTimer>
#include <functional>

namespace parlivo {

class SftpClient;

class PublishRun : public QObject
{
    Q_OBJECT
public:
    enum class Phase { Idle, Connecting, Uploading, Checking, Closing, Failed };

    explicit PublishRun(QObject *parent = nullptr);

    Phase phase() const { return m_phase; }
    // A publication is on its way and a second one must wait.
    bool isRunning() const;

    // Configures the client and asks it to connect. A missing client or an unusable
    // configuration fails at once (failed() is emitted before this returns).
    void start(SftpClient *client, const PublishConfig &config, const QString &localFolder,
               const QString &pageAddress);

    // Lays the message out again under a fresh name after the server had its name taken;
    // returns the new page address, or "" with `error` set. Without one a taken name fails.
    using Renamer = std::function<QString(QString *error)>;
    void setRenamer(Renamer renamer) { m_renamer = std::move(renamer); }
    // Said after every failure: what the user still has (the window keeps the draft).
    void setKeptNote(const QString &note) { m_keptNote = note; }
    // How many fresh names one publication tries before it gives up.
    static constexpr int MaxFreshNames = 30;

    // The client's notifications.
    void onConnected(int errorCode, const QString &errorText);
    // Whether the client's new state should be shown in the status line.
    bool onStateChanged(const QString &stateText);
    void onDone(int errorCode, const QString &errorText);

    // A locked identity file: with asking on, passphraseNeeded() is emitted and the run waits
    // for providePassphrase(); otherwise the run fails and says how to give one.
    void setAskForPassphrase(bool ask) { m_askForPassphrase = ask; }
    // The passphrase to try (kept for later publications; "" after Cancel stops the run).
    void providePassphrase(const QString &passphrase);
    void setPassphrase(const QString &passphrase) { m_passphrase = passphrase; }

    // Stops whatever runs (the window is closing); no further signal follows.
    void cancel();

    // After uploaded(): "" when the page answered at its address, else a note in plain words.
    QString checkNote() const { return m_checkNote; }

    static QString disconnectedStateName() { return QStringLiteral("Disconnected from server"); }

Q_SIGNALS:
    // The files are on the server and the page check has ended.
    void uploaded();
    // Nothing more will happen for this publication; reason is for the status line.
    void failed(const QString &reason);
    // The identity file needs its passphrase; `prompt` says which and why.
    void passphraseNeeded(const QString &prompt);

private:
    void fail(const QString &reason);
    void connectNow();

    Phase m_phase = Phase::Idle;
    bool m_askForPassphrase = false;
    bool m_waitingForPassphrase = false;
    QString m_passphrase, m_identity;
    SftpClient *m_client = nullptr;
    QString m_localFolder, m_remoteFolder, m_pageAddress, m_checkNote;
    QString m_keptNote = QStringLiteral(" Your message is kept: you can publish it again.");
    Renamer m_renamer;
    int m_freshNames = 0;
    PageCheck m_check;
    // The previous session is still closing: connect once the client reports it closed.
    bool m_waitingForClose = false;
    QTimer m_closeWait;
};

} // namespace parlivo
