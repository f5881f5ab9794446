#pragma once
// The picture viewer: browse drives, folders and picture files, preview one, enlarge
// it full screen, then confirm or cancel. Its only results are the program-wide
// picture choice (my_picture, wants_picture) and a line in the main window's status.
#include "platform/Desktop.h"

#include <QImage>
#include <QPointer>
#include <QWidget>

#include <functional>

class QFrame;
class QLabel;
class QPushButton;
class QTextBrowser;

namespace parlivo {

class DriveList;
class FolderList;
class FileList;
class frmFScreen;

// Reads a picture file; a null image when the file cannot be read as a picture.
// An empty path gives the empty (null) picture.
QImage LoadPicture(const QString &path);

class frmviewer : public QWidget
{
    Q_OBJECT
public:
    using StatusSink = std::function<void(const QString &)>;

    // messages: where the viewer's message boxes go. setStatus shows a text in the main
    // window's status line. The viewer deletes itself when closed.
    frmviewer(MessageBox *messages, const QString &appFolder, StatusSink setStatus, QWidget *parent = nullptr);

    // The last thing the user picked: a drive, a folder or a file's full path.
    QString location() const { return m_location; }
    // True while the location is a file clicked in the file list.
    bool filePicked() const { return m_filePicked; }
    // The file the preview browser shows ("" before the first).
    QString browserLocation() const { return m_browserLocation; }
    // The full-screen window while it is open.
    frmFScreen *fullScreen() const;

    QLabel *Label1 = nullptr, *Label2 = nullptr, *Label3 = nullptr;   // headings
    DriveList *Drv = nullptr;
    FolderList *Drctry = nullptr;
    FileList *Files = nullptr;
    QLabel *Loc = nullptr;
    QLabel *Label4 = nullptr;
    QFrame *Picture1 = nullptr;
    QLabel *Image1 = nullptr;
    QTextBrowser *WebBrowser1 = nullptr;
    QPushButton *Command1 = nullptr, *Command2 = nullptr, *cmdFullScreen = nullptr;

public Q_SLOTS:
    void Drv_Change();
    void Drctry_Change();
    void Files_Click();
    void Command1_Click();
    void Command2_Click();
    void cmdFullScreen_Click();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void setLocation(const QString &location);
    void showInImage1(const QImage &image);
    void navigate(const QString &location, const QImage &image);

    MessageBox *m_messages;
    StatusSink m_setStatus;
    QString m_location;
    bool m_filePicked = false;
    QString m_browserLocation;
    QPointer<frmFScreen> m_fullScreen;
    QPointer<QWidget> m_owner;
};

} // namespace parlivo
