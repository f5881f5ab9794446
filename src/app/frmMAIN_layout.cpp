// The window's construction: the intro, the five steps, the Step 1 panels, the menus and the
// title row, laid out at their fixed places, and the wiring of their events to the handlers.
// The window's life and its shared handlers are in frmMAIN.cpp.
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

void frmMAIN::buildWindow()
{
    setFixedSize(11280 / TwipsPerPixel, 7635 / TwipsPerPixel);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, Qt::white);
    setPalette(pal);
    setAutoFillBackground(true);

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

} // namespace parlivo
