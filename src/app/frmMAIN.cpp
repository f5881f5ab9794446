#include "frmMAIN.h"

#include "app/widgets/Accessible.h"
#include "app/widgets/ClickLabel.h"
#include "app/widgets/FocusReturn.h"
#include "app/widgets/LevelMeter.h"
#include "MakerPages.h"
#include "app/widgets/Fitting.h"
#include "app/widgets/Pictures.h"
#include "app/widgets/Style.h"
#include "app/widgets/StatusLine.h"
#include "app/widgets/ToolTipTable.h"
#include "app/widgets/WrapButton.h"
#include "message/Naming.h"
#include "app/dialogs/frnAbout.h"
#include "platform/desktop/WindowPlacement.h"
#include "platform/desktop/WindowSheet.h"

#include <QAccessible>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QCursor>
#include <QDateTime>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QLinearGradient>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QSlider>
#include <QTimer>
#include <QWindow>

#include <algorithm>

namespace parlivo {

namespace {

// Where a pop-up menu opens for a control: at the pointer when the pointer is on it (a
// click), otherwise (Space or Enter, or an assistive tool) just below the control. The
// pointer is judged in the control's own coordinates and the menu placed through the
// control's mapping only: on Wayland the pointer's and the window's global positions
// come from different books, so comparing them directly put the menu far off.
QPoint popupPoint(QWidget *control, QMenu *menu)
{
    const QPoint pointer = control->mapFromGlobal(QCursor::pos());
    const QPoint at = control->underMouse() && control->rect().contains(pointer)
        ? control->mapToGlobal(pointer) : control->mapToGlobal(QPoint(0, control->height()));
    if (topLevelPositionsHonoured())
        return at;
    // Qt keeps a menu inside the screen as if the window stood at the screen's corner,
    // which on Wayland it only does in Qt's books: a menu too wide for the room right of
    // its control was pushed left by the wrong amount, and the compositor may not slide it
    // back. Kept inside its own window instead, it is on the screen wherever the window is.
    QWidget *window = control->window();
    const QPoint inWindow = window->mapFromGlobal(at);
    const int maxX = std::max(0, window->width() - menu->sizeHint().width());
    return window->mapToGlobal(QPoint(std::clamp(inWindow.x(), 0, maxX), inWindow.y()));
}

} // namespace

frmMAIN::frmMAIN(Platform &platform, const QString &appFolder, QWidget *parent)
    : frmMAIN(platform, WorkingFolders(appFolder), parent)
{
}

frmMAIN::frmMAIN(Platform &platform, const WorkingFolders &folders, QWidget *parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint)
    , m_platform(platform)
    , m_folders(folders)
{
    // Start-up step 1: the window object exists, nothing is loaded yet.
    ClearWorkingFolders();

    ClickLabel::installAccessibility();
    installAccessibleRoles();
    // The window is a frame to assistive technology, not an anonymous filler; set before
    // anything makes its accessible interface.
    setProperty(AccessibleRoleProperty, int(QAccessible::Window));
    setObjectName(QStringLiteral("frmMAIN"));
    setWindowTitle(QStringLiteral("Parlivo"));
    setAccessibleName(QStringLiteral("Parlivo"));
    buildWindow();
    buildMenus();
    connectHandlers();
    setTabOrder();
    setIntroTabChain(true);
    for (QComboBox *combo : {cmbSrcInput, Combo2})
        widenPopup(combo);
    fitCaptions(this);
    installFocusRing(this);
    nameScrollBars(this);
}

frmMAIN::~frmMAIN()
{
    Form_Unload();
}

// ---------------------------------------------------------------- start-up and shutdown

void frmMAIN::Form_Load()
{
    IssueAudioFileName();       // step 2
    BalloonTips.clear();        // steps 3 and 4
    if (m_platform.balloonTips) {
        for (int i = 0; i < BalloonTipCount; ++i) {
            BalloonTip *tip = m_platform.balloonTips->create(this);
            tip->setActivateOnHover(true);
            tip->setMaxWidthFactor(1);
            BalloonTips.push_back(tip);
        }
        attachToolTips();
    }
    if (m_platform.createSftpClient) {
        wodSFTP1 = m_platform.createSftpClient();
        setupPublishing();
    }
    Timer5->start();
    Timer5_Timer();
    Label6->setFocus();   // the keyboard starts where the mouse would
    // Steps 5 to 9 wait on audio devices, voices and the character: they run once the
    // first frame is on screen (the intro panel covers them meanwhile).
    m_deferredLoadQueued = true;
}

void frmMAIN::attachToolTips()
{
    const QColor text(0, 0, 200);
    const QColor background = QApplication::palette().color(QPalette::ToolTipBase);
    for (const ToolTipRow &row : toolTipTable()) {
        QWidget *control = findChild<QWidget *>(QLatin1String(row.control));
        if (!control || row.index >= BalloonTips.size())
            continue;
        BalloonTips[row.index]->setToolTip(control, row.text, row.title, BalloonTip::BalloonStyle, row.icon, 0,
                                           text, background, -1, 18000, 0);
    }
}

void frmMAIN::setVisible(bool visible)
{
    // Placed before the native window exists: on X11 a borderless window moved between its
    // creation and its mapping keeps its old position in Qt's books, so every control's
    // screen position (balloon tips, the character's flights) came out off by that much.
    if (visible && !m_placedOnScreen) {
        m_placedOnScreen = true;
        placeOnScreen();
    }
    QWidget::setVisible(visible);
}

void frmMAIN::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    // Should no frame ever be painted (a hidden or unmapped window), load anyway.
    if (m_deferredLoadQueued && !m_deferredLoadDone)
        QTimer::singleShot(1500, this, &frmMAIN::runDeferredLoad);
}

void frmMAIN::placeOnScreen()
{
    // A borderless window cannot be dragged back once its title row is off the screen:
    // the fixed layout shrinks to fit the screen's free area and opens fully inside it.
    QScreen *s = screen();
    if (!s)
        return;
    const QRect available = s->availableGeometry();
    const QRect frame = frameGeometry();
    openInsideScreen(this, available.contains(frame) ? frame.center() : available.center());
}

void frmMAIN::firstFramePainted()
{
    if (m_firstFramePainted)
        return;
    m_firstFramePainted = true;
    // The background is painted first; the rest of this frame is flushed before the
    // queued call runs.
    if (m_deferredLoadQueued && !m_deferredLoadDone)
        QTimer::singleShot(0, this, &frmMAIN::runDeferredLoad);
}

void frmMAIN::runDeferredLoad()
{
    if (m_deferredLoadDone)
        return;
    m_deferredLoadDone = true;
    m_deferredLoadQueued = false;
    // Step 5: the recorder, the file writer and the player.
    if (m_platform.createAudioRecorder)
        AudioRecord = m_platform.createAudioRecorder();
    if (m_platform.createAudioFileWriter)
        AudioFile = m_platform.createAudioFileWriter();
    if (m_platform.createAudioPlayer) {
        SMAudioPlayAndRecordX1 = m_platform.createAudioPlayer();
        if (SMAudioPlayAndRecordX1) {
            connect(SMAudioPlayAndRecordX1.get(), &AudioPlayer::timeNotification, this,
                    &frmMAIN::SMAudioPlayAndRecordX1_Time);
            connect(SMAudioPlayAndRecordX1.get(), &AudioPlayer::errorNotification, this,
                    &frmMAIN::SMAudioPlayAndRecordX1_Error);
        }
    }
    // Steps 6 and 7: without a recording device only the device and source lists are
    // skipped; the character and the voices are what such a user needs most.
    // The recorder is heard from even without a device: one plugged in later is listed.
    connectRecorder();
    if (AudioRecord && AudioRecord->deviceCount() >= 1)
        setupRecording();
    loadHelpCharacter();   // step 8
    setupSpeech();         // step 9
    Q_EMIT deferredLoadFinished();
}

void frmMAIN::closeEvent(QCloseEvent *event)
{
    // Closing asks nothing and never refuses.
    ClearWorkingFolders();
    Form_Unload();
    event->accept();
}

void frmMAIN::Form_Unload()
{
    if (m_unloaded)
        return;
    m_unloaded = true;
    Timer2->stop();
    if (wodSFTP1) {
        wodSFTP1->cancel();
        wodSFTP1->disconnectFromServer();
    }
    if (SMAudioPlayAndRecordX1) {
        SMAudioPlayAndRecordX1->stop();
        SMAudioPlayAndRecordX1->release();
    }
    if (tts)
        tts->stop();
    if (help_character)
        help_character->StopAll();
    ClearWorkingFolders();
}

// ---------------------------------------------------------------- naming

qint64 frmMAIN::GetDriveSerialNumber(const QString &DriveLetter)
{
    if (!m_platform.driveInfo)
        return -1;
    return parlivo::GetDriveSerialNumber(*m_platform.driveInfo, appFolder(), DriveLetter);
}

void frmMAIN::IssueAudioFileName()
{
    const QString stamp = MessageTimeStamp(QTime::currentTime());
    m_folders.createTemp();
    txtRecFilename->setText(AudioWorkingFile(m_folders.base(), GetDriveSerialNumber(), stamp));
}

void frmMAIN::ClearWorkingFolders()
{
    m_folders.ClearWorkingFolders();
}

void frmMAIN::Button10_Click()
{
    ClearWorkingFolders();
}

void frmMAIN::setStatus(const QString &text)
{
    Text1->setText(text);
}

QString frmMAIN::status() const
{
    return Text1->text();
}

void frmMAIN::reportFailure(const QString &text)
{
    setStatus(text);
    if (m_platform.messageBox)
        m_platform.messageBox->inform(this, text, QStringLiteral("Parlivo"), MessageBox::Icon::Warning);
}

// ---------------------------------------------------------------- window commands

void frmMAIN::Label6_Click()
{
    const bool focusOnIntro = !Frame1->isHidden() && Frame1->isAncestorOf(QApplication::focusWidget());
    setIntroTabChain(false);
    Frame1->setVisible(false);
    Label7->setVisible(true);
    // The keyboard goes on where the work starts: the first control of Step 1.
    if (focusOnIntro) {
        for (QFrame *panel : {Frame4, Frame2, Frame7})
            if (panel->isVisible())
                if (QWidget *first = firstFocusableIn(panel))
                    first->setFocus(Qt::OtherFocusReason);
    }
}

void frmMAIN::setIntroTabChain(bool introShown)
{
    // While the intro covers the steps, what lies beneath is hidden: Tab cannot wander
    // onto controls nobody can see, their access keys do nothing, and screen readers do
    // not report them as showing. The status line peeps out below the intro; it stays,
    // but out of the Tab order.
    if (introShown) {
        const QRect covered = Frame1->geometry();
        for (QWidget *w : findChildren<QWidget *>(Qt::FindDirectChildrenOnly)) {
            if (w->isWindow() || w == Frame1 || w == Image3 || w->isHidden() || !covered.intersects(w->geometry()))
                continue;
            if (w == Text1) {
                Text1->setFocusPolicy(Qt::NoFocus);
                continue;
            }
            m_hiddenBehindIntro.append(w);
            w->hide();
        }
    } else {
        for (const QPointer<QWidget> &w : std::as_const(m_hiddenBehindIntro))
            if (w)
                w->show();
        m_hiddenBehindIntro.clear();
        Text1->setFocusPolicy(Qt::StrongFocus);
    }
}

void frmMAIN::Label23_Click()
{
    TellRulesOfTheRoad();
}

void frmMAIN::Image17_Click()
{
    TellRulesOfTheRoad();
}

void frmMAIN::Label15_Click()
{
    mnuHelp->popup(popupPoint(Label15, mnuHelp));
}

void frmMAIN::Label16_Click()
{
    if (!aboutBox) {
        aboutBox = new frnAbout(m_platform, appFolder());
        aboutBox->setAttribute(Qt::WA_DeleteOnClose);
        if (!topLevelPositionsHonoured()) {
            // Where the compositor would put it in the screen's corner, it opens as a
            // sheet inside the window instead.
            fitInto(aboutBox, sheetRoom(this));
            openAsSheet(aboutBox, this);
            return;
        }
        // Elsewhere not a child: an about box left open outlives the main window. It still
        // belongs to it, so the window manager opens it over the window.
        returnFocusWhenClosed(aboutBox);
        belongTo(aboutBox, this);
    }
    aboutBox->show();
    aboutBox->raise();
    aboutBox->activateWindow();
}

void frmMAIN::Label17_Click()
{
    if (m_platform.shell)
        m_platform.shell->open(MakerPages::updates(appFolder()));
}

void frmMAIN::Label11_Click()
{
    showMinimized();
}

void frmMAIN::Label12_Click()
{
    close();
}

void frmMAIN::showStep1Panel(QFrame *panel)
{
    if (panel->isVisible())
        return;
    QFrame *closing = nullptr;
    for (QFrame *f : {Frame4, Frame2, Frame7})
        if (f->isVisible())
            closing = f;
    for (QFrame *f : {Frame4, Frame2, Frame7})
        f->setVisible(f == panel);
    if (!isVisible())
        return;
    // Keyboard users keep their place: an opened panel takes the focus at its first
    // control; back on the choice, the focus returns to the choice that opened the panel.
    QWidget *next = nullptr;
    if (panel == Frame4)
        next = closing == Frame2 ? Button13 : closing == Frame7 ? static_cast<QWidget *>(Button14) : nullptr;
    if (!next)
        next = firstFocusableIn(panel);
    if (next)
        next->setFocus(Qt::OtherFocusReason);
}

void frmMAIN::Button13_Click()
{
    showStep1Panel(Frame2);
}

void frmMAIN::Button14_Click()
{
    showStep1Panel(Frame7);
}

void frmMAIN::Button17_Click()
{
    showStep1Panel(Frame4);
}

void frmMAIN::Button18_Click()
{
    showStep1Panel(Frame4);
}

void frmMAIN::Button20_Click()
{
    mnu_advanced_options->popup(popupPoint(Button20, mnu_advanced_options));
}

void frmMAIN::Button21_Click()
{
    mnuAddVideoMenu->popup(popupPoint(Button21, mnuAddVideoMenu));
}

void frmMAIN::Button22_Click()
{
    if (m_platform.shell)
        m_platform.shell->open(MakerPages::downloads(appFolder()));
}

void frmMAIN::Timer5_Timer()
{
    const QLocale locale;
    QString timeFormat = locale.timeFormat(QLocale::LongFormat);
    timeFormat.remove(QLatin1Char('t')).remove(QLatin1Char('T'));   // no time zone name
    const QDateTime now = QDateTime::currentDateTime();
    Label7->setText(locale.toString(now.date(), QLocale::ShortFormat) + QLatin1Char(' ')
                    + locale.toString(now.time(), timeFormat.trimmed()));
    fitCaptions(Label7);   // a long date format must not be cut either
    // Returning to the event loop lets pending window events run.
}

// ---------------------------------------------------------------- help menu preparation

void frmMAIN::mnuOverview_Click() { performHelpTopic(QStringLiteral("mnuOverview")); }
void frmMAIN::mnuRULES_Click() { performHelpTopic(QStringLiteral("mnuRULES")); }
void frmMAIN::mnu_Why_subscription_Click() { performHelpTopic(QStringLiteral("mnu_Why_subscription")); }
void frmMAIN::TellRulesOfTheRoad() { performHelpTopic(QStringLiteral("TellRulesOfTheRoad")); }
void frmMAIN::mnu_AquireT2S_Click() { performHelpTopic(QStringLiteral("mnu_AquireT2S")); }

void frmMAIN::mnu_REC_OPTIONS_Click()
{
    Label6_Click();
    showStep1Panel(Frame4);
    performHelpTopic(QStringLiteral("mnu_REC_OPTIONS"));
}

void frmMAIN::mnuRecord_Click()
{
    Label6_Click();
    showStep1Panel(Frame2);
    performHelpTopic(QStringLiteral("mnuRecord"));
}

void frmMAIN::mnUConvert_t2s_Click()
{
    Label6_Click();
    showStep1Panel(Frame7);
    performHelpTopic(QStringLiteral("mnUConvert_t2s"));
}

#define PARLIVO_DISMISSING_TOPIC(name)          \
    void frmMAIN::name##_Click()                \
    {                                           \
        Label6_Click();                         \
        performHelpTopic(QStringLiteral(#name)); \
    }
PARLIVO_DISMISSING_TOPIC(mnuPlay_recording)
PARLIVO_DISMISSING_TOPIC(mnuAdd_picture)
PARLIVO_DISMISSING_TOPIC(mnuAddVideo)
PARLIVO_DISMISSING_TOPIC(mnuAddText)
PARLIVO_DISMISSING_TOPIC(mnuOtherStuff)
PARLIVO_DISMISSING_TOPIC(mnuUplaoding)
PARLIVO_DISMISSING_TOPIC(mnuClipboard)
PARLIVO_DISMISSING_TOPIC(mnuPreview)
#undef PARLIVO_DISMISSING_TOPIC

// ---------------------------------------------------------------- window moving

bool frmMAIN::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == Image3 && event->type() == QEvent::Paint)
        firstFramePainted();
    if (watched == Image3 || watched == Label14) {
        switch (event->type()) {
        case QEvent::MouseButtonPress: {
            // Any button starts a move, as a press on a caption would.
            auto *me = static_cast<QMouseEvent *>(event);
            QWindow *w = windowHandle();
            if (w && w->startSystemMove())
                return true;
            m_manualMoving = true;
            m_dragOffset = me->globalPosition().toPoint() - frameGeometry().topLeft();
            return true;
        }
        case QEvent::MouseMove:
        case QEvent::MouseButtonRelease:
            if (m_manualMoving) {
                manualMove(event);
                return true;
            }
            break;
        default:
            break;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void frmMAIN::manualMove(QEvent *event)
{
    auto *me = static_cast<QMouseEvent *>(event);
    if (event->type() == QEvent::MouseButtonRelease && me->buttons() == Qt::NoButton) {
        m_manualMoving = false;
        return;
    }
    move(me->globalPosition().toPoint() - m_dragOffset);
}

} // namespace parlivo
