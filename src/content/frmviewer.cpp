#include "frmviewer.h"

#include "BrowseLists.h"
#include "OptionalElements.h"
#include "PictureBrowsing.h"
#include "message/MessageDraft.h"
#include "frmFScreen.h"

#include <QAbstractScrollArea>
#include <QAccessible>
#include <QDir>
#include <QScrollBar>
#include <QEvent>
#include <QFrame>
#include <QImageReader>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QTextBrowser>
#include <QTextDocument>
#include <QUrl>

#include <exception>

namespace parlivo {

QImage LoadPicture(const QString &path)
{
    if (path.trimmed().isEmpty())
        return {};
    QImageReader reader(path);
    reader.setAutoTransform(true);
    return reader.read();
}

namespace {

QLabel *heading(QWidget *parent, const char *name, const QString &text, const QRect &geometry)
{
    auto *label = new QLabel(text, parent);
    label->setObjectName(QLatin1String(name));
    label->setGeometry(geometry);
    label->setFrameShape(QFrame::Panel);
    label->setFrameShadow(QFrame::Raised);
    return label;
}

QPushButton *button(QWidget *parent, const char *name, const QString &text, const QRect &geometry)
{
    auto *b = new QPushButton(text, parent);
    b->setObjectName(QLatin1String(name));
    b->setGeometry(geometry);
    return b;
}

} // namespace

frmviewer::frmviewer(MessageBox *messages, const QString &appFolder, StatusSink setStatus, QWidget *parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint
                          | Qt::MSWindowsFixedSizeDialogHint)
    , m_messages(messages)
    , m_setStatus(std::move(setStatus))
{
    // A dialog to assistive technology (the role is read by the application's accessibility
    // factory), set before anything makes the window's accessible interface.
    setProperty("accessibleRole", int(QAccessible::Dialog));
    setObjectName(QStringLiteral("frmviewer"));
    setWindowTitle(QStringLiteral("Select image..."));
    setAttribute(Qt::WA_DeleteOnClose);
    setFixedSize(866, 564);

    Label1 = heading(this, "Label1", QStringLiteral(" Drive"), QRect(8, 8, 220, 20));
    Drv = new DriveList(this);
    Drv->setObjectName(QStringLiteral("Drv"));
    Drv->setGeometry(8, 30, 220, 26);
    Drv->setAccessibleName(tr("Drive"));

    Label2 = heading(this, "Label2", QStringLiteral(" Files"), QRect(8, 62, 220, 20));
    Drctry = new FolderList(this);
    Drctry->setObjectName(QStringLiteral("Drctry"));
    Drctry->setGeometry(8, 84, 220, 190);
    Files = new FileList(this);
    Files->setObjectName(QStringLiteral("Files"));
    Files->setGeometry(8, 280, 220, 190);
    Drctry->setAccessibleName(tr("Folders"));
    Files->setAccessibleName(tr("Files"));

    Label3 = heading(this, "Label3", QStringLiteral(" Image"), QRect(238, 8, 620, 20));
    Picture1 = new QFrame(this);
    Picture1->setObjectName(QStringLiteral("Picture1"));
    Picture1->setGeometry(238, 30, 620, 440);
    Picture1->setFrameShape(QFrame::StyledPanel);
    Picture1->setAutoFillBackground(true);
    // Both previews share the picture box's area; the browser lies on top.
    Image1 = new QLabel(Picture1);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setGeometry(0, 0, 0, 0);
    Image1->setAccessibleName(tr("Image"));
    WebBrowser1 = new QTextBrowser(Picture1);
    WebBrowser1->setObjectName(QStringLiteral("WebBrowser1"));
    WebBrowser1->setGeometry(0, 0, Picture1->width(), Picture1->height());
    WebBrowser1->setOpenLinks(false);
    WebBrowser1->raise();
    // A tab stop of its own, so a large picture can be scrolled with the keyboard.
    WebBrowser1->setAccessibleName(tr("Image preview"));

    Loc = new QLabel(this);
    Loc->setObjectName(QStringLiteral("Loc"));
    Loc->setGeometry(8, 478, 850, 20);
    Loc->setTextInteractionFlags(Qt::TextSelectableByMouse);
    Label4 = new QLabel(this);
    Label4->setObjectName(QStringLiteral("Label4"));
    Label4->setGeometry(8, 500, 850, 20);
    Label4->setTextInteractionFlags(Qt::TextSelectableByMouse);
    Label4->setText(QStringLiteral("Path for included images: ")
                    + QDir::toNativeSeparators(appFolder + QStringLiteral("/Images")));

    Command1 = button(this, "Command1", QStringLiteral("Select shown image"), QRect(452, 528, 170, 28));
    Command2 = button(this, "Command2", QStringLiteral("Cancel"), QRect(630, 528, 100, 28));
    cmdFullScreen = button(this, "cmdFullScreen", QStringLiteral("Full screen"), QRect(738, 528, 120, 28));

    // The lists start where the process is; opening them there is not a user's pick,
    // so the location stays empty.
    Files->setPattern(QLatin1String(PictureFilePattern));
    const QString start = QDir::currentPath();
    Drv->fill(start);
    try {
        Drctry->setPath(start);
    } catch (const std::exception &) {
        // An unreadable working folder leaves the folder list empty until the user picks.
    }
    Files->setPath(Drctry->path());
    setLocation(QString());
    m_filePicked = false;

    // The scroll bars are named after their lists.
    for (QAbstractScrollArea *area : findChildren<QAbstractScrollArea *>()) {
        area->verticalScrollBar()->setAccessibleName(area->accessibleName() + tr(", vertical scroll"));
        area->horizontalScrollBar()->setAccessibleName(area->accessibleName() + tr(", horizontal scroll"));
    }
    // The viewer opens where browsing starts: in the folder list.
    Drctry->setFocus();

    connect(Drv, &DriveList::driveChanged, this, &frmviewer::Drv_Change);
    connect(Drctry, &FolderList::pathChanged, this, &frmviewer::Drctry_Change);
    connect(Files, &FileList::fileClicked, this, &frmviewer::Files_Click);
    connect(Command1, &QPushButton::clicked, this, &frmviewer::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &frmviewer::Command2_Click);
    connect(cmdFullScreen, &QPushButton::clicked, this, &frmviewer::cmdFullScreen_Click);

    // The viewer does not outlive the window that opened it (its parent, or the window it
    // is a sheet inside).
    m_owner = parent;
    if (parent)
        parent->installEventFilter(this);
}

frmFScreen *frmviewer::fullScreen() const
{
    return m_fullScreen;
}

bool frmviewer::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_owner && event->type() == QEvent::Close)
        close();
    return QWidget::eventFilter(watched, event);
}

void frmviewer::setLocation(const QString &location)
{
    m_location = location;
    Loc->setText(location);
}

void frmviewer::showInImage1(const QImage &image)
{
    if (image.isNull()) {
        Image1->clear();
        Image1->resize(0, 0);
        return;
    }
    Image1->setPixmap(QPixmap::fromImage(image));
    Image1->resize(image.size());
}

void frmviewer::navigate(const QString &location, const QImage &image)
{
    // The page is the picture itself, as a browser shows an image file; the decoded
    // picture is handed over so the file is read once.
    const QUrl url = QUrl::fromLocalFile(QDir::fromNativeSeparators(location));
    QTextDocument *doc = WebBrowser1->document();
    doc->clear();
    doc->addResource(QTextDocument::ImageResource, url, image);
    WebBrowser1->setHtml(QStringLiteral("<html><body style=\"margin:0\"><img src=\"%1\"></body></html>")
                             .arg(url.toString(QUrl::FullyEncoded).toHtmlEscaped()));
    m_browserLocation = location;
}

void frmviewer::Drv_Change()
{
    try {
        // Opening the drive's folder refills the file list through Drctry_Change.
        Drctry->setPath(Drv->drive());
        setLocation(Drv->drive());
        m_filePicked = false;
    } catch (const std::exception &) {
        // A drive that is not ready: stop here; the user picks again.
    }
}

void frmviewer::Drctry_Change()
{
    try {
        Files->setPath(Drctry->path());
        setLocation(Drctry->path());
        m_filePicked = false;
    } catch (const std::exception &) {
    }
}

void frmviewer::Files_Click()
{
    try {
        const QString name = Files->fileName();
        setLocation(locationOf(Files->path(), name));
        if (name.trimmed().isEmpty()) {
            // No file behind the click: the location is now a folder, which must not be
            // confirmable as a picture.
            m_filePicked = false;
            showInImage1(QImage());
            return;
        }
        m_filePicked = true;
        const QImage image = LoadPicture(m_location);
        if (image.isNull())
            return;   // unreadable: both previews keep what they showed
        showInImage1(image);
        navigate(m_location, image);
    } catch (const std::exception &) {
    }
}

void frmviewer::Command1_Click()
{
    if (!m_filePicked) {
        if (m_messages)
            m_messages->inform(this, QStringLiteral("ERROR: you must either select an image or elect to Cancel!"),
                               QLatin1String(ApplicationTitle), MessageBox::Icon::None);
        return;
    }
    my_picture = m_location;
    wants_picture = true;
    if (m_setStatus)
        m_setStatus(QStringLiteral("Selected image ready to upload..."));
    close();
}

void frmviewer::Command2_Click()
{
    wants_picture = false;
    if (m_setStatus)
        m_setStatus(QStringLiteral("Image selection cancelled."));
    close();
}

void frmviewer::cmdFullScreen_Click()
{
    if (Files->fileName().trimmed().isEmpty())
        return;
    const QImage image = LoadPicture(m_location);
    if (image.isNull()) {
        if (m_messages)
            m_messages->inform(this, QStringLiteral("ERROR: Invalid image."), QLatin1String(ApplicationTitle),
                               MessageBox::Icon::None);
        return;
    }
    if (!m_fullScreen) {
        m_fullScreen = new frmFScreen(this);
        // Closing the picture brings the keyboard back to the button that showed it.
        connect(m_fullScreen, &QObject::destroyed, this, [this] {
            if (isVisible()) {
                activateWindow();
                cmdFullScreen->setFocus(Qt::OtherFocusReason);
            }
        });
    }
    m_fullScreen->setPicture(image);
    m_fullScreen->showMaximized();
    m_fullScreen->raise();
    m_fullScreen->activateWindow();
}

} // namespace parlivo
