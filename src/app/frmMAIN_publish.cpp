// Publishing: the page from its template, the upload, and handing the link to the user.
#include "frmMAIN.h"

#include "app/dialogs/frmError.h"
#include "message/Naming.h"
#include "publish/ConnectionCheck.h"
#include "publish/LinkDelivery.h"
#include "publish/MessagePreparation.h"
#include "publish/MessageFiles.h"
#include "publish/PublishConfig.h"
#include "publish/PublishRun.h"
#include "publish/WebVideoStep.h"

#include <QCoreApplication>
#include <QEvent>
#include <QEventLoop>
#include <QFile>
#include <QGuiApplication>
#include <QLineEdit>
#include <QTime>

#include <cmath>
#include <limits>

namespace parlivo {

// Calls the publication off when the window closes, before the client is told to hang up.
class PublishCloseWatch : public QObject
{
public:
    PublishCloseWatch(QObject *parent, MessagePreparation *preparation, PublishRun *run, WebVideoStep *video)
        : QObject(parent), m_preparation(preparation), m_run(run), m_video(video) {}

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Close && watched == parent()) {
            m_preparation->cancel();
            m_video->cancel();
            m_run->cancel();
        }
        return false;
    }

private:
    MessagePreparation *m_preparation;
    PublishRun *m_run;
    WebVideoStep *m_video;
};

struct frmMAIN::PublishState
{
    PublishRun run;
    // The message's files, laid out away from the window's thread.
    MessagePreparation preparation;
    // The video's conversion for the web, before the upload; its converter lives as long.
    WebVideoStep video;
    std::unique_ptr<VideoConverter> converter;
    // The connection check (Ctrl+click on the upload button) has a client of its own, so it
    // never meets a publication's notifications. The check goes first when the window does.
    std::unique_ptr<SftpClient> checkClient;
    ConnectionCheck check;
    PublishConfig config;
    // What the publication changed in the draft, put back when it fails.
    QString pictureBefore, pageBefore;
    // Said once, with the final status, when the page did not answer after the upload.
    QString pendingNote;
    // Said with the final status when the video went out without its copy for the web.
    QString videoNote;
    // What the message was laid out from, to lay it out again under a fresh name.
    MessageInputs inputs;
    PrepareOptions options;
    PreparedMessage prepared;
    int freshNames = 0;
};

namespace {

MessageInputs inputsOf(const frmMAIN &w)
{
    MessageInputs in;
    in.i_recorded = w.draft.i_recorded;
    in.audioSource = w.txtRecFilename->text();
    in.wants_picture = wants_picture;
    in.my_picture = my_picture;
    in.my_text_message = w.draft.my_text_message;
    in.wants_link = w.draft.wants_link;
    in.my_link = w.draft.my_link;
    in.wants_backsound = w.draft.wants_backsound;
    in.my_background_wav = w.draft.my_background_wav;
    in.wants_video = w.draft.wants_video;
    in.my_video = w.draft.my_video;
    in.what_format = w.draft.what_format;
    in.captions = w.draft.my_captions.webVtt;
    in.transcript = w.draft.my_captions.transcript;
    return in;
}

// Ends a publication that could not go on: the pointer comes back, the draft is as it
// was, and the user reads why in the status line.
void publicationStopped(frmMAIN &w, const QString &reason)
{
    auto &s = *w.publishing;
    w.unsetCursor();
    my_picture = s.pictureBefore;
    w.draft.my_page = s.pageBefore;
    s.pendingNote.clear();
    w.reportFailure(reason);
}

// Fills the Quillbox folder for the variant, writes the page and starts the upload.
void PublishMessage(frmMAIN &w)
{
    auto &s = *w.publishing;
    w.cmdAudioStop_Click();
    w.setStatus(QStringLiteral("Connecting to server..."));
    const MessageInputs in = inputsOf(w);
    const QString stamp = MessageTimeStamp(QTime::currentTime());
    w.folders().createQuillbox();
    s.config = PublishConfig::current();
    s.pictureBefore = my_picture;
    s.pageBefore = w.draft.my_page;

    PrepareOptions options;
    options.appFolder = w.appFolder();
    options.outFolder = w.folders().quillboxFolder();
    options.baseName = MessageBaseName(w.GetDriveSerialNumber(), stamp, MessageToken());
    options.pageBase = s.config.pageBase;
    s.inputs = in;
    s.options = options;
    s.freshNames = 0;
    s.preparation.start(in, options);
}

// The message's files are laid out: convert the video if there is one, then upload.
void messagePrepared(frmMAIN &w, const PreparedMessage &prepared)
{
    auto &s = *w.publishing;
    s.prepared = prepared;
    if (!prepared.ok) {
        publicationStopped(w, QStringLiteral("Publishing stopped: ") + prepared.error);
        return;
    }
    w.draft.my_page = prepared.pageName;
    my_picture = prepared.pictureName;
    s.videoNote.clear();
    // A platform without a converter publishes the video as chosen.
    if (!prepared.videoCopy.isEmpty() && w.platform().createVideoConverter) {
        s.converter = w.platform().createVideoConverter();
        w.setStatus(WebVideoStep::progressText(0));
        s.video.start(s.converter.get(), prepared.videoCopy, prepared.webVideoPath, prepared.posterPath);
        return;
    }
    w.StartUpload();
}

// The settings the last page was published with (pages are addressed where they went).
PublishConfig publishedConfig(const frmMAIN &w)
{
    if (w.publishing && !w.publishing->config.pageBase.isEmpty())
        return w.publishing->config;
    return PublishConfig::current();
}

void publishConfirmed(frmMAIN &w)
{
    if (w.publishing->run.isRunning() || w.publishing->video.isRunning() || w.publishing->preparation.isRunning())
        return;
    // The character asks the user to wait (its lines live with the other help scripts).
    w.performHelpTopic(QStringLiteral("PublishingWarning"));
    w.setCursor(Qt::WaitCursor);
    if (!w.draft.wants_video) {
        PublishMessage(w);
        return;
    }
    static const char *const tags[] = {"SWF", "WMV", "AVI", "FLV", "MOV", "MPG", "MPEG", "MP4"};
    for (const char *tag : tags) {
        if (w.draft.what_format == QLatin1String(tag)) {
            PublishMessage(w);
            return;
        }
    }
    // A video of no known format: nothing would ever end the hourglass.
    w.unsetCursor();
    w.reportFailure(QStringLiteral("Publishing stopped: the video's format \"%1\" cannot be published.")
                    .arg(w.draft.what_format));
}

// The identity file is locked: ask for its passphrase in the window.
void askPassphrase(frmMAIN &w, const QString &why, std::function<void(const QString &)> answer)
{
    w.setStatus(QStringLiteral("Waiting for the passphrase of your key..."));
    if (!w.platform().inputPrompt) {
        answer(QString());
        return;
    }
    w.platform().inputPrompt->askSecret(&w, why + QStringLiteral("\n\nPassphrase:"), QStringLiteral("Parlivo"),
                                        std::move(answer));
}

void runConnectionCheck(frmMAIN &w)
{
    auto &s = *w.publishing;
    if (s.check.isRunning())
        return;
    if (!s.checkClient && w.platform().createSftpClient)
        s.checkClient = w.platform().createSftpClient();
    w.setStatus(QStringLiteral("Checking the connection to the publishing server..."));
    s.check.start(s.checkClient.get(), PublishConfig::current());
}

} // namespace

void frmMAIN::setupPublishing()
{
    publishing = std::make_shared<PublishState>();
    PublishState *s = publishing.get();
    installEventFilter(new PublishCloseWatch(this, &s->preparation, &s->run, &s->video));
    connect(&s->preparation, &MessagePreparation::finished, this,
            [this](const PreparedMessage &prepared) { messagePrepared(*this, prepared); });
    connect(&s->video, &WebVideoStep::progress, this,
            [this](int percent) { setStatus(WebVideoStep::progressText(percent)); });
    connect(&s->video, &WebVideoStep::finished, this, [this, s](const WebVideoOutcome &outcome) {
        if (outcome.cancelled) {
            for (const QString &path : std::as_const(s->prepared.written))
                QFile::remove(path);
            publicationStopped(*this, QStringLiteral("Publishing stopped while the video was being prepared."));
            return;
        }
        QString why;
        if (!addWebVideo(s->prepared, outcome, &why)) {
            for (const QString &path : std::as_const(s->prepared.written))
                QFile::remove(path);
            publicationStopped(*this, QStringLiteral("Publishing stopped: ") + why);
            return;
        }
        if (!outcome.mp4)
            s->videoNote = WebVideoStep::failureNote(outcome.error);
        else if (!outcome.originalCleaned)
            s->videoNote = WebVideoStep::withheldNote(outcome.originalError);
        if (!s->videoNote.isEmpty())
            setStatus(s->videoNote);
        StartUpload();
    });
    if (wodSFTP1) {
        connect(wodSFTP1.get(), &SftpClient::Connected, this, &frmMAIN::wodSFTP1_Connected);
        connect(wodSFTP1.get(), &SftpClient::StateChanged, this, &frmMAIN::wodSFTP1_StateChanged);
        connect(wodSFTP1.get(), &SftpClient::Done, this, &frmMAIN::wodSFTP1_Done);
    }
    connect(&s->run, &PublishRun::failed, this, [this](const QString &reason) { publicationStopped(*this, reason); });
    // The name was taken on the server: the message moves to a fresh one, its old copies go.
    s->run.setRenamer([this, s](QString *why) {
        PrepareOptions again = s->options;
        again.baseName = FreshBaseName(s->options.baseName, ++s->freshNames);
        s->prepared = prepareAgain(s->prepared, s->inputs, again);
        if (!s->prepared.ok) {
            *why = s->prepared.error;
            return QString();
        }
        draft.my_page = s->prepared.pageName;
        my_picture = s->prepared.pictureName;
        return pageAddress(s->config.pageBase, draft.my_page);
    });
    connect(&s->run, &PublishRun::passphraseNeeded, this, [this, s](const QString &why) {
        askPassphrase(*this, why, [s](const QString &answer) { s->run.providePassphrase(answer); });
    });
    s->run.setAskForPassphrase(true);
    s->check.setAskForPassphrase(true);
    connect(&s->check, &ConnectionCheck::line, this, [this](const QString &text) { setStatus(text); });
    connect(&s->check, &ConnectionCheck::passphraseNeeded, this, [this, s](const QString &why) {
        askPassphrase(*this, why, [s](const QString &answer) { s->check.providePassphrase(answer); });
    });
    connect(&s->check, &ConnectionCheck::finished, this, [this, s](bool ok) {
        if (ok && !s->check.passphrase().isEmpty())
            s->run.setPassphrase(s->check.passphrase());
        setStatus(ok ? QStringLiteral("Connection check passed: publishing to this server should work.")
                     : s->check.lines().value(s->check.lines().size() - 1));
        if (m_platform.messageBox)
            m_platform.messageBox->inform(this, s->check.lines().join(QLatin1Char('\n')),
                                          ok ? QStringLiteral("Parlivo: connection check passed")
                                             : QStringLiteral("Parlivo: connection check failed"),
                                          ok ? MessageBox::Icon::Information : MessageBox::Icon::Warning);
    });
    connect(&s->run, &PublishRun::uploaded, this, [this, s] {
        unsetCursor();
        s->pendingNote = s->run.checkNote();
        if (wodSFTP1)
            wodSFTP1->disconnectFromServer();
        draft.im_done = true;
        draft.clearAfterUpload();
        IssueAudioFileName();
    });
}

void frmMAIN::Button2_Click()
{
    if (!publishing)
        return;
    if (QGuiApplication::keyboardModifiers() & Qt::ControlModifier) {
        runConnectionCheck(*this);
        return;
    }
    // What goes out should be the trimmed audio, which is a moment away.
    if (audioEditRunning()) {
        setStatus(QStringLiteral("The audio is still being trimmed: publish again in a moment"));
        return;
    }
    if (publishing->run.isRunning() || publishing->video.isRunning() || publishing->preparation.isRunning()) {
        if (m_platform.messageBox)
            m_platform.messageBox->inform(this,
                                          QStringLiteral("Your message is still being published. Please wait until the "
                                                         "status line says it is done before publishing again."),
                                          QStringLiteral("Parlivo"), MessageBox::Icon::Information);
        return;
    }
    if (!m_platform.messageBox)
        return;
    m_platform.messageBox->askYesNo(this, publishQuestionText(), publishQuestionTitle(), MessageBox::Icon::Question,
                                    [self = QPointer<frmMAIN>(this)](bool yes) {
                                        if (yes && self)
                                            publishConfirmed(*self);
                                    });
}

bool frmMAIN::publicationPreparing() const
{
    return publishing && publishing->preparation.isRunning();
}

void frmMAIN::StartUpload()
{
    PublishState &s = *publishing;
    s.pendingNote.clear();
    s.run.start(wodSFTP1.get(), s.config, m_folders.quillboxFolder(), pageAddress(s.config.pageBase, draft.my_page));
}

void frmMAIN::wodSFTP1_Connected(int errorCode, const QString &errorText)
{
    if (publishing)
        publishing->run.onConnected(errorCode, errorText);
}

void frmMAIN::wodSFTP1_StateChanged(int)
{
    if (!wodSFTP1 || !publishing)
        return;
    const QString state = wodSFTP1->stateText();
    if (!publishing->run.onStateChanged(state))
        return;
    // The state arrives as a queued notification: the status line repaints as soon as
    // this handler returns to the event loop.
    setStatus(state + QStringLiteral("..."));
}

void frmMAIN::wodSFTP1_Done(int errorCode, const QString &errorText)
{
    if (publishing)
        publishing->run.onDone(errorCode, errorText);
}

void frmMAIN::Text1_Change()
{
    if (Text1->text() == QLatin1String("Disconnected from server...")) {
        QString text = QStringLiteral("Please proceed to next step...");
        if (publishing && !publishing->videoNote.isEmpty()) {
            text += QLatin1Char(' ') + publishing->videoNote;
            publishing->videoNote.clear();
        }
        if (publishing && !publishing->pendingNote.isEmpty()) {
            text += QLatin1Char(' ') + publishing->pendingNote;
            publishing->pendingNote.clear();
        }
        Text1->setText(text);
    }
    // No event processing here: every area writes the status line from inside its own
    // handlers, and the repaint follows as soon as they return to the event loop.
}

void frmMAIN::Button3_Click()
{
    if (!draft.im_done) {
        if (!errorNotice)
            errorNotice = new frmError();
        errorNotice->showCentred(this);
        return;
    }
    const PublishConfig config = publishedConfig(*this);
    if (m_platform.clipboard)
        m_platform.clipboard->clear();
    draft.i_recorded = false;
    if (m_platform.clipboard)
        m_platform.clipboard->setText(emailText(pageAddress(config.pageBase, draft.my_page)));
    setStatus(QStringLiteral("Finished - paste the message into your email !"));
    draft.im_done = false;
    Button10_Click();
    if (SMAudioPlayAndRecordX1) {
        SMAudioPlayAndRecordX1->setFileName(appFolder() + QStringLiteral("/tada.wav"));
        SMAudioPlayAndRecordX1->prepare();
        SMAudioPlayAndRecordX1->play();
    }
    ClearWorkingFolders();
}

void frmMAIN::Button11_Click()
{
    setStatus(QString());
    if (draft.my_page.isEmpty()) {
        if (m_platform.messageBox)
            m_platform.messageBox->inform(this, QStringLiteral("USER ERROR: You must have created a page before viewing!"),
                                          QStringLiteral("Parlivo"), MessageBox::Icon::None);
        return;
    }
    const PublishConfig config = publishedConfig(*this);
    if (m_platform.shell)
        m_platform.shell->open(pageAddress(config.pageBase, draft.my_page));
    ClearWorkingFolders();
}

} // namespace parlivo
