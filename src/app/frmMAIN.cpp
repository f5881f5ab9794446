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

namespace parlivo {

namespace {

// Positions are kept in twips as the window was designed; 15 twips make a pixel.
constexpr int TwipsPerPixel = 15;
QRect tw(int left, int top, int width, int height)
{
    return QRect(left / TwipsPerPixel, top / TwipsPerPixel, width / TwipsPerPixel, height / TwipsPerPixel);
}

template<typename W>
W *make(QWidget *parent, const char *name, const QRect &geometry)
{
    auto *w = new W(parent);
    w->setObjectName(QLatin1String(name));
    w->setGeometry(geometry);
    return w;
}

QLabel *makeLabel(QWidget *parent, const char *name, const QString &text, const QRect &geometry)
{
    auto *l = make<QLabel>(parent, name, geometry);
    l->setText(text);
    l->setWordWrap(true);
    return l;
}

ClickLabel *makeClickLabel(QWidget *parent, const char *name, const QString &text, const QString &accessible,
                           const QRect &geometry)
{
    auto *l = make<ClickLabel>(parent, name, geometry);
    l->setText(text);
    l->setAccessibleName(accessible);
    return l;
}

QPushButton *makeButton(QWidget *parent, const char *name, const QString &caption, const QRect &geometry)
{
    auto *b = make<WrapButton>(parent, name, geometry);
    b->setText(caption);
    b->setAccessibleName(caption);
    return b;
}

QLabel *makeHeading(QWidget *parent, const char *name, const QString &text, const QRect &geometry)
{
    auto *l = make<Heading>(parent, name, geometry);
    l->setText(text);
    l->setWordWrap(true);
    l->setProperty("role", QStringLiteral("heading"));
    return l;
}

QFrame *makePanel(QWidget *parent, const char *name, const QRect &geometry)
{
    auto *f = make<GroupPanel>(parent, name, geometry);
    f->setFrameShape(QFrame::StyledPanel);
    f->setAutoFillBackground(true);
    return f;
}

// A control's font relative to the application's, so the desktop's choice of size carries
// through; fitCaptions shrinks it later where a caption would not show whole.
void setRelativeFont(QWidget *w, double scale, QFont::Weight weight = QFont::Normal, bool italic = false,
             bool underline = false)
{
    QFont f = QApplication::font();
    f.setPointSizeF(f.pointSizeF() * scale);
    f.setWeight(weight);
    f.setItalic(italic);
    f.setUnderline(underline);
    w->setFont(f);
}

// Where a pop-up menu opens for a control: at the pointer when the pointer is on it (a
// click), otherwise (Space or Enter, or an assistive tool) just below the control. The
// pointer is judged in the control's own coordinates and the menu placed through the
// control's mapping only: on Wayland the pointer's and the window's global positions
// come from different books, so comparing them directly put the menu far off.
QPoint popupPoint(QWidget *control)
{
    const QPoint pointer = control->mapFromGlobal(QCursor::pos());
    if (control->underMouse() && control->rect().contains(pointer))
        return control->mapToGlobal(pointer);
    return control->mapToGlobal(QPoint(0, control->height()));
}

QAction *addItem(QMenu *menu, const char *name, const QString &caption)
{
    auto *a = menu->addAction(caption);
    a->setObjectName(QLatin1String(name));
    return a;
}

const char *const WelcomeText =
    "Your voice is the very best way to personalize your electronic messages. If it's important "
    "enough to say - why not just say it!          Parlivo turns the words you speak into a small web "
    "page of your own, ready to share. A perfect solution for building relationships and creating "
    "amazing impact.          An e-mail only shows what you typed - a spoken message lets them hear "
    "how you meant it.";

// The intro panel paints every pixel it covers, so the steps beneath it are not painted
// at all while it is shown (the first frame comes sooner).
class IntroPanel : public GroupPanel
{
public:
    explicit IntroPanel(QWidget *parent) : GroupPanel(parent) { setAttribute(Qt::WA_OpaquePaintEvent); }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter p(this);
        QLinearGradient g(0, 0, 0, height());
        g.setColorAt(0, QColor(0xff, 0xff, 0xff));
        g.setColorAt(1, QColor(0xf3, 0xf7, 0xfd));
        p.fillRect(rect(), g);
        p.setPen(QColor(0xb9, 0xc6, 0xdc));
        p.drawRect(rect().adjusted(0, 0, -1, -1));
    }
};

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
    setFixedSize(11280 / TwipsPerPixel, 7635 / TwipsPerPixel);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, Qt::white);
    setPalette(pal);
    setAutoFillBackground(true);

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

// ---------------------------------------------------------------- layout

void frmMAIN::buildWindow()
{
    Image3 = make<QLabel>(this, "Image3", tw(0, 0, 11295, 7935));
    Image3->setPixmap(Pictures::load(appFolder(), QStringLiteral("background"), Image3->size()));
    Image3->setAccessibleName(tr("Background"));
    Image3->installEventFilter(this);

    Label14 = makeLabel(this, "Label14", QStringLiteral("Parlivo z2006.8.3"), tw(840, 360, 9375, 495));
    Label14->setAccessibleName(QStringLiteral("Parlivo z2006.8.3"));
    Label14->installEventFilter(this);

    Label16 = makeClickLabel(this, "Label16", QStringLiteral("!"), tr("About"), tw(8760, 120, 495, 495));
    Label17 = makeClickLabel(this, "Label17", QStringLiteral("up"), tr("Check for updates"), tw(9240, 120, 495, 375));
    Label15 = makeClickLabel(this, "Label15", QStringLiteral("?"), tr("Help menu"), tw(9720, 120, 495, 495));
    Label11 = makeClickLabel(this, "Label11", QStringLiteral("_"), tr("Minimise"), tw(10200, 0, 495, 375));
    Label12 = makeClickLabel(this, "Label12", QStringLiteral("X"), tr("Close"), tw(10680, 120, 495, 495));
    for (ClickLabel *l : {Label16, Label17, Label15, Label11, Label12}) {
        l->setAlignment(Qt::AlignCenter);
        l->setProperty("role", QStringLiteral("titlebutton"));
    }

    buildStep1Choice();
    buildStep1Microphone();
    buildStep1Speech();
    buildSteps2to5();

    Label7 = make<QLineEdit>(this, "Label7", tw(840, 6240, 2535, 375));
    Label7->setReadOnly(true);
    Label7->setFrame(false);
    Label7->setAccessibleName(tr("Date and time"));
    Label7->setVisible(false);
    Label7->setFocusPolicy(Qt::NoFocus);
    Timer5 = new QTimer(this);
    Timer5->setObjectName(QStringLiteral("Timer5"));
    Timer5->setInterval(1000);

    auto *status = make<StatusLine>(this, "Text1", tw(480, 6720, 10215, 495));
    status->setAccessibleName(tr("Status"));
    status->setIdleDescription(tr("Progress and results of the last action"));
    Text1 = status;

    txtRecFilename = make<QLineEdit>(this, "txtRecFilename", QRect(0, 0, 10, 10));
    txtRecFilename->setVisible(false);
    txtRecFilename->setAccessibleName(tr("Audio file of the message"));

    // The intro lies above everything else until the user starts.
    buildIntro();

    for (QLabel *l : findChildren<QLabel *>()) {
        const QString role = l->property("role").toString();
        if (role == QLatin1String("heading"))
            setRelativeFont(l, 1.0, QFont::Bold);
        else if (role == QLatin1String("titlebutton"))
            setRelativeFont(l, 1.2, QFont::Bold);
    }
    setRelativeFont(Label14, 1.5, QFont::Bold);
    setRelativeFont(Label6, 1.3, QFont::Bold);
    setRelativeFont(Label23, 1.05, QFont::Normal, false, true);
    setRelativeFont(Label22, 1.0, QFont::Normal, true);
    setRelativeFont(Label18, 0.85);
    for (QPushButton *b : {Button2, Button3, cmdRecRecord})
        setRelativeFont(b, 1.0, QFont::Bold);
}

void frmMAIN::buildIntro()
{
    Frame1 = make<IntroPanel>(this, "Frame1", tw(480, 960, 10215, 6135));
    Frame1->setAccessibleName(tr("Welcome"));
    Image1 = make<QLabel>(Frame1, "Image1", QRect(16, 14, 200, 150));
    Image1->setPixmap(Pictures::load(appFolder(), QStringLiteral("intro-voice"), Image1->size()));
    Image1->setAccessibleName(tr("A voice message travelling to a friend"));
    Label1 = makeLabel(Frame1, "Label1", QString::fromLatin1(WelcomeText), QRect(232, 14, 432, 180));
    // Named by its own words, so a screen reader reads the welcome itself.
    Image12 = make<QLabel>(Frame1, "Image12", QRect(16, 184, 200, 150));
    Image12->setPixmap(Pictures::load(appFolder(), QStringLiteral("intro-page"), Image12->size()));
    Image12->setAccessibleName(tr("A small web page with a picture and a play button"));
    Image16 = make<QLabel>(Frame1, "Image16", QRect(602, 10, 64, 64));
    Image16->setPixmap(Pictures::load(appFolder(), QStringLiteral("intro-help"), Image16->size()));
    Image16->setAccessibleName(tr("Help is up there"));
    Label22 = makeLabel(Frame1, "Label22", QStringLiteral("Help is up there!"), QRect(470, 8, 128, 24));
    Label22->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    Image17 = make<ClickLabel>(Frame1, "Image17", QRect(232, 214, 96, 96));
    Image17->setPixmap(Pictures::load(appFolder(), QStringLiteral("intro-rules"), Image17->size()));
    Image17->setAccessibleName(tr("Rules of the road"));
    Label23 = makeClickLabel(Frame1, "Label23", QStringLiteral("Yep, there's a few - click here..."),
                             QStringLiteral("Yep, there's a few - click here..."), QRect(340, 240, 300, 40));
    Label6 = makeClickLabel(Frame1, "Label6", QStringLiteral("Click here to start..."),
                            QStringLiteral("Click here to start..."), QRect(432, 340, 230, 48));
    Label6->setAlignment(Qt::AlignCenter);
    Label6->setProperty("role", QStringLiteral("start"));
    Frame1->raise();
}

void frmMAIN::buildStep1Choice()
{
    Frame4 = makePanel(this, "Frame4", tw(2040, 1080, 4095, 2415));
    Label19 = makeHeading(Frame4, "Label19", QStringLiteral("Step 1: Choose your recording preferance... "),
                        QRect(8, 3, 257, 34));
    Button13 = makeButton(Frame4, "Button13", QStringLiteral("Record audio - your voice via microphone"),
                          QRect(8, 38, 257, 36));
    Button14 = makeButton(Frame4, "Button14",
                          QStringLiteral("Convert text to audio - enter or paste text then have the software convert to audio..."),
                          QRect(8, 77, 257, 42));
    // Alt+letter for the three choices; the letters are in the captions' own words.
    static_cast<WrapButton *>(Button13)->setAccessKey(QLatin1Char('R'));
    static_cast<WrapButton *>(Button14)->setAccessKey(QLatin1Char('T'));
    Button6 = makeButton(Frame4, "Button6",
                         QStringLiteral("Select to use a previosly recorded mp3 file for your audio message..."),
                         QRect(8, 122, 257, 34));
    static_cast<WrapButton *>(Button6)->setAccessKey(QLatin1Char('S'));
    Frame4->setAccessibleName(Label19->text().trimmed());
}

void frmMAIN::buildStep1Microphone()
{
    Frame2 = makePanel(this, "Frame2", tw(1680, 1080, 4455, 2415));
    Frame2->setVisible(false);
    Label8 = makeHeading(Frame2, "Label8", QStringLiteral("Step 1: Option to record what you want to say..."),
                       QRect(8, 4, 281, 22));
    cmdRecRecord = makeButton(Frame2, "cmdRecRecord", QStringLiteral("Record"), QRect(8, 38, 74, 26));
    cmdRecStop = makeButton(Frame2, "cmdRecStop", QStringLiteral("Stop"), QRect(86, 38, 60, 26));
    lblLabRecInfoMS = makeLabel(Frame2, "lblLabRecInfoMS", QStringLiteral("Recording length:"), QRect(152, 36, 137, 14));
    lblLabRecInfoMS->setVisible(false);
    lblRecInfoMS = makeLabel(Frame2, "lblRecInfoMS", QString(), QRect(152, 50, 137, 16));
    // No fixed name: the counter's name is what it shows ("3 secs..."), read as it changes.
    levelMeter = make<LevelMeter>(Frame2, "levelMeter", QRect(8, 68, 281, 8));

    frInputDevice = make<QGroupBox>(Frame2, "frInputDevice", QRect(8, 80, 281, 46));
    frInputDevice->setTitle(QStringLiteral("Record source:"));
    cmbSrcInput = make<QComboBox>(frInputDevice, "cmbSrcInput", QRect(6, 18, 269, 22));
    cmbSrcInput->setAccessibleName(tr("Record source"));
    cmbDevInput = make<QComboBox>(Frame2, "cmbDevInput", QRect(8, 74, 10, 10));
    cmbDevInput->setVisible(false);
    cmbDevInput->setToolTip(QStringLiteral("Recording source"));
    cmbDevInput->setAccessibleName(tr("Recording device"));

    Label10 = makeLabel(Frame2, "Label10", QStringLiteral("Record device Volume:"), QRect(8, 132, 140, 18));
    sldrVolumeInp = make<QSlider>(Frame2, "sldrVolumeInp", QRect(150, 132, 139, 18));
    sldrVolumeInp->setOrientation(Qt::Horizontal);
    sldrVolumeInp->setToolTip(QStringLiteral("Recording device volume setting"));
    sldrVolumeInp->setAccessibleName(QStringLiteral("Record device Volume:"));
    Label10->setBuddy(sldrVolumeInp);

    Button18 = makeButton(Frame2, "Button18", QStringLiteral("Cancel"), QRect(229, 4, 60, 20));
    Label8->setGeometry(8, 3, 216, 32);
    Label10->setWordWrap(false);

    Frame2->setAccessibleName(Label8->text().trimmed());
    Timer2 = new QTimer(this);
    Timer2->setObjectName(QStringLiteral("Timer2"));
    Timer2->setInterval(1000);
}

void frmMAIN::buildStep1Speech()
{
    Frame7 = makePanel(this, "Frame7", tw(600, 960, 6015, 2415));
    Frame7->setVisible(false);
    Label20 = makeHeading(Frame7,
                        "Label20",
                        QStringLiteral("Step 1: Option to convert text to audio - will be used for your audio message..."),
                        QRect(8, 4, 320, 34));
    // The voice names are long ("English (Great Britain)"): the voice list has a row of
    // its own under the heading, the text and the buttons share the rest.
    Text4 = make<QPlainTextEdit>(Frame7, "Text4", QRect(8, 68, 268, 86));
    Text4->setPlainText(QStringLiteral("Input what text you want to use as your message \r\n"
                                       "then click to Play (for testing) or select to Convert...\r\n"));
    Text4->setAccessibleName(tr("Text to speak"));
    Text4->setTabChangesFocus(true);

    Label21 = makeLabel(Frame7, "Label21", QStringLiteral("Select Voice to use:"), QRect(8, 40, 140, 24));
    Combo2 = make<QComboBox>(Frame7, "Combo2", QRect(150, 40, 243, 24));
    Combo2->setAccessibleName(QStringLiteral("Select Voice to use:"));
    Label21->setBuddy(Combo2);
    Combo3 = make<QComboBox>(Frame7, "Combo3", QRect(286, 44, 10, 10));
    Combo3->setVisible(false);
    Combo3->setAccessibleName(tr("Output format"));
    Combo1 = make<QComboBox>(Frame7, "Combo1", QRect(286, 44, 10, 10));
    Combo1->setVisible(false);
    Combo1->setAccessibleName(tr("Output format option"));

    auto slider = [this](const char *name, int min, int max, int value, const QString &accessible) {
        auto *s = make<QScrollBar>(Frame7, name, QRect(286, 70, 10, 10));
        s->setOrientation(Qt::Horizontal);
        s->setRange(min, max);
        s->setValue(value);
        s->setVisible(false);
        s->setAccessibleName(accessible);
        return s;
    };
    HScroll1 = slider("HScroll1", -10, 10, 0, tr("Speaking rate"));
    HScroll3 = slider("HScroll3", 0, 100, 100, tr("Speaking volume"));
    HScroll2 = slider("HScroll2", -10, 10, 0, tr("Voice pitch"));

    Button15 = makeButton(Frame7, "Button15", QStringLiteral("Convert"), QRect(284, 68, 109, 26));
    Button16 = makeButton(Frame7, "Button16", QStringLiteral("Play to Test"), QRect(284, 98, 109, 26));
    Button19 = makeButton(Frame7, "Button19", QStringLiteral("Stop Playing"), QRect(284, 128, 109, 26));
    Button17 = makeButton(Frame7, "Button17", QStringLiteral("Cancel"), QRect(333, 6, 60, 24));
    Frame7->setAccessibleName(Label20->text().trimmed());
}

void frmMAIN::buildSteps2to5()
{
    Frame3 = makePanel(this, "Frame3", tw(720, 3480, 2895, 2895));
    Label9 = makeHeading(Frame3, "Label9", QStringLiteral("Step 2: Listen to what you recorded..."), QRect(8, 4, 177, 34));
    Label3 = makeLabel(Frame3, "Label3", QStringLiteral("Play audio file:"), QRect(8, 42, 177, 16));
    txtWaveFilename = make<QLineEdit>(Frame3, "txtWaveFilename", QRect(8, 60, 177, 22));
    txtWaveFilename->setReadOnly(true);
    txtWaveFilename->setAccessibleName(QStringLiteral("Play audio file:"));
    Label3->setBuddy(txtWaveFilename);
    Button4 = makeButton(Frame3, "Button4", QStringLiteral("Play current recorded"), QRect(8, 92, 177, 36));
    cmdAudioStop = makeButton(Frame3, "cmdAudioStop", QStringLiteral("Stop"), QRect(8, 134, 177, 28));
    Frame3->setAccessibleName(Label9->text().trimmed());

    Label13 = makeHeading(this, "Label13",
                        QStringLiteral("Step 3: Add a picture, video, text message or other stuff if you want..."),
                        tw(4080, 4080, 2775, 855));
    Button5 = makeButton(this, "Button5", QStringLiteral("Click to add a picture to your message..."), QRect(252, 324, 204, 34));
    Button12 = makeButton(this, "Button12", QStringLiteral("Option to add a text message to page!"), QRect(252, 360, 204, 34));
    Button21 = makeButton(this, "Button21", QStringLiteral("Add a video to your Web Message?"), QRect(252, 396, 204, 30));
    Button20 = makeButton(this, "Button20", QStringLiteral("Add other stuff?"), QRect(252, 428, 204, 19));

    Label4 = makeHeading(this, "Label4",
                       QStringLiteral("Step 4: Please be sure you are connected to the INTERNET!  Clicking below sends "
                                      "your created Web Message to the web site for viewing."),
                       tw(7080, 1680, 2895, 1455));
    Button2 = makeButton(this, "Button2", QStringLiteral("Upload created files to server..."), QRect(472, 212, 193, 40));
    static_cast<WrapButton *>(Button2)->setAccessKey(QLatin1Char('U'));

    Label5 = makeHeading(this, "Label5",
                       QStringLiteral("Step 5: Clicking the below button copies the link (special text) to Windows "
                                      "internal memory (clipboard) for you...."),
                       tw(7440, 4080, 3375, 1095));
    Button3 = makeButton(this, "Button3",
                         QStringLiteral("Copy link to clipboard - then YOU paste into your email message..."),
                         QRect(496, 348, 225, 52));
    static_cast<WrapButton *>(Button3)->setAccessKey(QLatin1Char('C'));

    Label18 = makeLabel(this, "Label18", QStringLiteral("When all is said && done >>>"), tw(7560, 6240, 1095, 495));
    Label18->setTextFormat(Qt::PlainText);
    Label18->setText(QStringLiteral("When all is said & done >>>"));
    Button11 = makeButton(this, "Button11", QStringLiteral("Want to view your new Web Message?"), QRect(580, 408, 132, 38));
    static_cast<WrapButton *>(Button11)->setAccessKey(QLatin1Char('V'));
    Button22 = makeButton(this, "Button22", QStringLiteral("Software that will enhance YOUR creativity!"),
                          QRect(472, 66, 240, 40));
}

void frmMAIN::buildMenus()
{
    mnuHelp = new QMenu(QStringLiteral("Help"), this);
    mnuHelp->setObjectName(QStringLiteral("mnuHelp"));
    mnuOverview = addItem(mnuHelp, "mnuOverview", QStringLiteral("Overview - or what's it all about?"));
    mnuRULES = addItem(mnuHelp, "mnuRULES", QStringLiteral("Rules of the Road"));
    mnu_REC_OPTIONS = addItem(mnuHelp, "mnu_REC_OPTIONS",
                              QStringLiteral("Recording options - use normal record or text 2 speech options"));
    mnuRecord = addItem(mnuHelp, "mnuRecord",
                        QStringLiteral("Recording a message that will be included on my web page message..."));
    mnUConvert_t2s = addItem(mnuHelp, "mnUConvert_t2s",
                             QStringLiteral("Convert text to audio - to be used as my pages audio message"));
    mnu_AquireT2S = addItem(mnuHelp, "mnu_AquireT2S", QStringLiteral("Acquire more or other Text 2 Audio engines/ voices"));
    mnuPlay_recording = addItem(mnuHelp, "mnuPlay_recording",
                                QStringLiteral("Playing the recording to test to make sure it's what I want..."));
    mnuAdd_picture = addItem(mnuHelp, "mnuAdd_picture", QStringLiteral("Adding a picture or image to my page..."));
    mnuAddVideo = addItem(mnuHelp, "mnuAddVideo", QStringLiteral("Adding a video to your page"));
    mnuAddText = addItem(mnuHelp, "mnuAddText", QStringLiteral("Adding a text message to my page..."));
    mnuOtherStuff = addItem(mnuHelp, "mnuOtherStuff", QStringLiteral("Add any other stuff to your page"));
    mnuUplaoding = addItem(mnuHelp, "mnuUplaoding", QStringLiteral("Uploading my created files to the host server..."));
    mnuClipboard = addItem(mnuHelp, "mnuClipboard", QStringLiteral("Copy to clipboard - what does this mean?"));
    mnuPreview = addItem(mnuHelp, "mnuPreview", QStringLiteral("View your created Web Message page option"));
    mnu_Why_subscription = addItem(
        mnuHelp, "mnu_Why_subscription",
        QStringLiteral("Why should I give a hoot about supporting your FREE software development efforts?"));

    mnu_advanced_options = new QMenu(QStringLiteral("Options"), this);
    mnu_advanced_options->setObjectName(QStringLiteral("mnu_advanced_options"));
    mnuMIN = addItem(mnu_advanced_options, "mnuMIN",
                     QStringLiteral("Note: PLEASE keep these options and size of files at a minimum - will slow down things!"));
    mnu_Add_backsound = addItem(mnu_advanced_options, "mnu_Add_backsound",
                                QStringLiteral("Add a background wav file to your page - will only play at page startup"));
    mnuADD_link = addItem(mnu_advanced_options, "mnuADD_link",
                          QStringLiteral("Add a link to your page - use to direct viewer to yours or other web site"));
    mnuADD_link->setVisible(false);

    mnuAddVideoMenu = new QMenu(QStringLiteral("Add Video"), this);
    mnuAddVideoMenu->setObjectName(QStringLiteral("mnuAddVideoMenu"));
    mnuAVIvideo = addItem(mnuAddVideoMenu, "mnuAVIvideo", QStringLiteral("Add a AVI video - the most common format for audio/video"));
    mnuFLV_video = addItem(mnuAddVideoMenu, "mnuFLV_video", QStringLiteral("Add a FLV video - Flash format"));
    mnuAdd_MOV_video = addItem(mnuAddVideoMenu, "mnuAdd_MOV_video",
                               QStringLiteral("Add a MOV video - QuickTime\u2019s native format"));
    mnuMPG_VIDEO = addItem(mnuAddVideoMenu, "mnuMPG_VIDEO", QStringLiteral("Add a MPG video - Moving Picture Experts Group"));
    mnuMPEG_video = addItem(mnuAddVideoMenu, "mnuMPEG_video", QStringLiteral("Add a MPEG video - Moving Picture Experts Group"));
    mnuRAMvideo = addItem(mnuAddVideoMenu, "mnuRAMvideo", QStringLiteral("Add a RAM video"));
    mnuRAMvideo->setVisible(false);
    mnuFLASH = addItem(mnuAddVideoMenu, "mnuFLASH", QStringLiteral("Add a SWF video - Flash format"));
    mnuWMFvideo = addItem(mnuAddVideoMenu, "mnuWMFvideo", QStringLiteral("Add a WMV video - Windows Movie Video format"));
    mnuMP4video = addItem(mnuAddVideoMenu, "mnuMP4video", QStringLiteral("Add a MP4 video - the format of phones and the web"));

    // The menus never show their titles, but screen readers name them by these.
    for (QMenu *menu : {mnuHelp, mnu_advanced_options, mnuAddVideoMenu})
        menu->setAccessibleName(menu->title());
    // The controls that pop them up say so.
    Label15->setProperty(PopupMenuProperty, QVariant::fromValue(mnuHelp));
    Button20->setProperty(PopupMenuProperty, QVariant::fromValue(mnu_advanced_options));
    Button21->setProperty(PopupMenuProperty, QVariant::fromValue(mnuAddVideoMenu));

    // The note is something to read, not a command: it cannot be chosen, and it is drawn
    // in a dark grey (7:1 or more on the menu) rather than the faint colour of a disabled entry.
    mnuMIN->setEnabled(false);
    QFont noteFont = mnuMIN->font();
    noteFont.setItalic(true);
    mnuMIN->setFont(noteFont);
    QPalette notePalette = mnu_advanced_options->palette();
    for (QPalette::ColorRole role : {QPalette::Text, QPalette::WindowText, QPalette::ButtonText})
        notePalette.setColor(QPalette::Disabled, role, QColor(0x4a, 0x4a, 0x4a));
    mnu_advanced_options->setPalette(notePalette);
}

void frmMAIN::connectHandlers()
{
    connect(Label6, &ClickLabel::clicked, this, &frmMAIN::Label6_Click);
    connect(Label23, &ClickLabel::clicked, this, &frmMAIN::Label23_Click);
    connect(Image17, &ClickLabel::clicked, this, &frmMAIN::Image17_Click);
    connect(Label15, &ClickLabel::clicked, this, &frmMAIN::Label15_Click);
    connect(Label16, &ClickLabel::clicked, this, &frmMAIN::Label16_Click);
    connect(Label17, &ClickLabel::clicked, this, &frmMAIN::Label17_Click);
    connect(Label11, &ClickLabel::clicked, this, &frmMAIN::Label11_Click);
    connect(Label12, &ClickLabel::clicked, this, &frmMAIN::Label12_Click);
    connect(Timer5, &QTimer::timeout, this, &frmMAIN::Timer5_Timer);

    const std::pair<QPushButton *, void (frmMAIN::*)()> buttons[] = {
        {Button13, &frmMAIN::Button13_Click},   {Button14, &frmMAIN::Button14_Click},
        {Button17, &frmMAIN::Button17_Click},   {Button18, &frmMAIN::Button18_Click},
        {Button20, &frmMAIN::Button20_Click},   {Button21, &frmMAIN::Button21_Click},
        {Button22, &frmMAIN::Button22_Click},   {Button6, &frmMAIN::Button6_Click},
        {cmdRecRecord, &frmMAIN::cmdRecRecord_Click}, {cmdRecStop, &frmMAIN::cmdRecStop_Click},
        {Button4, &frmMAIN::Button4_Click},     {cmdAudioStop, &frmMAIN::cmdAudioStop_Click},
        {Button15, &frmMAIN::Button15_Click},   {Button16, &frmMAIN::Button16_Click},
        {Button19, &frmMAIN::Button19_Click},   {Button5, &frmMAIN::Button5_Click},
        {Button12, &frmMAIN::Button12_Click},   {Button2, &frmMAIN::Button2_Click},
        {Button3, &frmMAIN::Button3_Click},     {Button11, &frmMAIN::Button11_Click},
    };
    for (const auto &[button, handler] : buttons)
        connect(button, &QPushButton::clicked, this, handler);

    connect(Timer2, &QTimer::timeout, this, &frmMAIN::Timer2_Timer);
    connect(cmbSrcInput, &QComboBox::activated, this, &frmMAIN::cmbSrcInput_Click);
    connect(sldrVolumeInp, &QSlider::valueChanged, this, &frmMAIN::sldrVolumeInp_Change);
    connect(Combo1, &QComboBox::activated, this, [this](int) { Combo1_Click(); });
    connect(Text1, &QLineEdit::textChanged, this, &frmMAIN::Text1_Change);

    const std::pair<QAction *, void (frmMAIN::*)()> actions[] = {
        {mnuOverview, &frmMAIN::mnuOverview_Click},
        {mnuRULES, &frmMAIN::mnuRULES_Click},
        {mnu_REC_OPTIONS, &frmMAIN::mnu_REC_OPTIONS_Click},
        {mnuRecord, &frmMAIN::mnuRecord_Click},
        {mnUConvert_t2s, &frmMAIN::mnUConvert_t2s_Click},
        {mnu_AquireT2S, &frmMAIN::mnu_AquireT2S_Click},
        {mnuPlay_recording, &frmMAIN::mnuPlay_recording_Click},
        {mnuAdd_picture, &frmMAIN::mnuAdd_picture_Click},
        {mnuAddVideo, &frmMAIN::mnuAddVideo_Click},
        {mnuAddText, &frmMAIN::mnuAddText_Click},
        {mnuOtherStuff, &frmMAIN::mnuOtherStuff_Click},
        {mnuUplaoding, &frmMAIN::mnuUplaoding_Click},
        {mnuClipboard, &frmMAIN::mnuClipboard_Click},
        {mnuPreview, &frmMAIN::mnuPreview_Click},
        {mnu_Why_subscription, &frmMAIN::mnu_Why_subscription_Click},
        {mnu_Add_backsound, &frmMAIN::mnu_Add_backsound_Click},
        {mnuADD_link, &frmMAIN::mnuADD_link_Click},
        {mnuAVIvideo, &frmMAIN::mnuAVIvideo_Click},
        {mnuFLV_video, &frmMAIN::mnuFLV_video_Click},
        {mnuAdd_MOV_video, &frmMAIN::mnuAdd_MOV_video_Click},
        {mnuMPG_VIDEO, &frmMAIN::mnuMPG_VIDEO_Click},
        {mnuMPEG_video, &frmMAIN::mnuMPEG_video_Click},
        {mnuFLASH, &frmMAIN::mnuFLASH_Click},
        {mnuWMFvideo, &frmMAIN::mnuWMFvideo_Click},
        {mnuMP4video, &frmMAIN::mnuMP4video_Click},
    };
    for (const auto &[action, handler] : actions)
        connect(action, &QAction::triggered, this, handler);

    setupRecordingPanel();
    setupSpeechPanel();
    setupTrim();
}

void frmMAIN::setTabOrder()
{
    // Keyboard order follows the steps, then the title row.
    QWidget *order[] = {Label6, Label23, Image17,
                        Button13, Button14, Button6,
                        cmdRecRecord, cmdRecStop, cmbSrcInput, sldrVolumeInp, Button18,
                        Combo2, Text4, Button15, Button16, Button19, Button17,
                        txtWaveFilename, Button4, cmdAudioStop,
                        Button5, Button12, Button21, Button20,
                        Button2, Button3, Button11, Button22, Text1,
                        Label16, Label17, Label15, Label11, Label12};
    for (size_t i = 1; i < std::size(order); ++i)
        QWidget::setTabOrder(order[i - 1], order[i]);
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
    mnuHelp->popup(popupPoint(Label15));
}

void frmMAIN::Label16_Click()
{
    if (!aboutBox) {
        // Not a child: an about box left open outlives the main window. It still belongs
        // to it, so the compositor opens it over the window.
        aboutBox = new frnAbout(m_platform, appFolder());
        aboutBox->setAttribute(Qt::WA_DeleteOnClose);
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
    mnu_advanced_options->popup(popupPoint(Button20));
}

void frmMAIN::Button21_Click()
{
    mnuAddVideoMenu->popup(popupPoint(Button21));
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
