// The picture viewer and the full-screen picture, opened from the main window.
#include "content/BrowseLists.h"
#include "content/frmFScreen.h"
#include "content/frmviewer.h"
#include "fakes/FakePlatform.h"
#include "fakes/UserInput.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QImageWriter>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBrowser>
#include <gtest/gtest.h>

using namespace parlivo;
using parlivo::test::FakePlatform;

namespace {

const QString Tip = QStringLiteral("TIP: for best results your picture/ image should not be over 700 pixcels in width.");
const QString NoPick = QStringLiteral("ERROR: you must either select an image or elect to Cancel!");

void flushDeletes()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
}

struct Viewer : ::testing::Test
{
    FakePlatform fake;
    std::unique_ptr<frmMAIN> w = fake.makeWindow();
    QTemporaryDir pictures;
    QString red, blue, broken;   // full paths

    void SetUp() override
    {
        ASSERT_TRUE(pictures.isValid());
        red = writePicture("red.jpg", QSize(120, 80), Qt::red, "JPG");
        blue = writePicture("Blue.BMP", QSize(40, 30), Qt::blue, "BMP");
        broken = pictures.filePath("broken.bmp");
        QFile f(broken);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("this is not a picture");
        f.close();
        ASSERT_TRUE(QDir(pictures.path()).mkdir("sub"));
    }

    QString writePicture(const QString &name, QSize size, QColor colour, const char *format)
    {
        QImage image(size, QImage::Format_RGB32);
        image.fill(colour);
        const QString path = pictures.filePath(name);
        EXPECT_TRUE(image.save(path, format)) << path.toStdString();
        return path;
    }

    frmviewer *open()
    {
        w->Button5->click();
        return w->findChild<frmviewer *>();
    }

    static void clickFile(frmviewer *v, const QString &name) { parlivo::test::clickItem(v->Files, name); }

    // Picks drive in the drive list with the mouse; a drive the machine lacks is
    // offered first, as if it had just been mounted.
    static void chooseDrive(frmviewer *v, const QString &drive)
    {
        ASSERT_TRUE(QTest::qWaitFor([v] { return v->Drv->allVolumesKnown(); }, 5000));
        if (v->Drv->findText(drive) < 0)
            v->Drv->addItem(drive);
        parlivo::test::chooseInCombo(v->Drv, v->Drv->findText(drive));
        ASSERT_EQ(v->Drv->drive(), drive);
    }
};

} // namespace

TEST_F(Viewer, OpensAfterTheTipWithEmptyLocationAtTheProcessFolder)
{
    frmviewer *v = open();
    ASSERT_NE(v, nullptr);
    ASSERT_EQ(fake.messageBox.shown.size(), 1u);
    EXPECT_EQ(fake.messageBox.shown[0].text, Tip);
    EXPECT_EQ(fake.messageBox.shown[0].title, "Parlivo");
    EXPECT_FALSE(fake.messageBox.shown[0].yesNo);

    EXPECT_TRUE(v->isVisible());
    EXPECT_FALSE(v->isModal());
    EXPECT_EQ(v->windowTitle(), "Select image...");
    EXPECT_EQ(v->Label1->text(), " Drive");
    EXPECT_EQ(v->Label2->text(), " Files");
    EXPECT_EQ(v->Label3->text(), " Image");
    EXPECT_EQ(v->Command1->text(), "Select shown image");
    EXPECT_EQ(v->Command2->text(), "Cancel");
    EXPECT_EQ(v->cmdFullScreen->text(), "Full screen");
    EXPECT_EQ(v->Label4->text(), "Path for included images: " + fake.appFolder() + "/Images");
    EXPECT_EQ(v->Loc->text(), "");
    EXPECT_FALSE(v->filePicked());
    EXPECT_EQ(v->Drctry->path(), QDir::currentPath());
    EXPECT_EQ(v->Files->path(), QDir::currentPath());
    EXPECT_EQ(v->Files->pattern(), "*.wmf;*.jpg;*.bmp;*.tiff;*.gif");
    // The drive the lists start on is current at once; the other volumes follow without
    // moving it.
    const QString startDrive = v->Drv->drive();
    EXPECT_FALSE(startDrive.isEmpty());
    EXPECT_TRUE(QTest::qWaitFor([v] { return v->Drv->allVolumesKnown(); }, 5000));
    EXPECT_EQ(v->Drv->drive(), startDrive);
    for (int i = 0; i < v->Drv->count(); ++i)
        EXPECT_FALSE(v->Drv->itemText(i).startsWith("/proc")) << v->Drv->itemText(i).toStdString();
    // Both previews share the picture box, the browser on top.
    EXPECT_EQ(v->Image1->parentWidget(), v->Picture1);
    EXPECT_EQ(v->WebBrowser1->parentWidget(), v->Picture1);
    EXPECT_EQ(v->Picture1->children().indexOf(v->WebBrowser1), v->Picture1->children().size() - 1);
    EXPECT_EQ(v->Image1->pos(), QPoint(0, 0));
    EXPECT_EQ(v->WebBrowser1->pos(), QPoint(0, 0));

    // A second press tips again and brings the same viewer forward.
    v->Drctry->setPath(pictures.path());
    w->Button5->click();
    EXPECT_EQ(fake.messageBox.shown.size(), 2u);
    EXPECT_EQ(fake.messageBox.shown[1].text, Tip);
    EXPECT_EQ(w->findChildren<frmviewer *>().size(), 1);
    EXPECT_EQ(w->findChild<frmviewer *>(), v);
    EXPECT_EQ(v->Drctry->path(), pictures.path());
}

TEST_F(Viewer, SelectWithoutAPickedFileRefusesAndChangesNothing)
{
    my_picture = "/earlier/choice.jpg";
    w->setStatus("as it was");
    frmviewer *v = open();
    ASSERT_NE(v, nullptr);
    v->Command1->click();
    ASSERT_EQ(fake.messageBox.shown.size(), 2u);
    EXPECT_EQ(fake.messageBox.shown[1].text, NoPick);
    EXPECT_EQ(fake.messageBox.shown[1].title, "Parlivo");
    EXPECT_EQ(my_picture, "/earlier/choice.jpg");
    EXPECT_FALSE(wants_picture);
    EXPECT_EQ(w->status(), "as it was");
    flushDeletes();
    EXPECT_EQ(w->findChild<frmviewer *>(), v);
    EXPECT_TRUE(v->isVisible());
}

TEST_F(Viewer, PickingAFileShowsItInBothPreviewsAndSelectConfirmsIt)
{
    frmviewer *v = open();
    ASSERT_NE(v, nullptr);
    v->Drctry->setPath(pictures.path());
    EXPECT_EQ(v->Loc->text(), pictures.path());
    // Only pictures by the pattern, whatever the case of their extension.
    QStringList listed;
    for (int i = 0; i < v->Files->count(); ++i)
        listed << v->Files->item(i)->text();
    EXPECT_EQ(listed, QStringList({"Blue.BMP", "broken.bmp", "red.jpg"}));

    clickFile(v, "red.jpg");
    EXPECT_EQ(v->Loc->text(), red);
    EXPECT_TRUE(v->filePicked());
    ASSERT_FALSE(v->Image1->pixmap().isNull());
    EXPECT_EQ(v->Image1->size(), QSize(120, 80));
    EXPECT_GT(v->Image1->pixmap().toImage().pixelColor(5, 5).red(), 240);   // JPEG is lossy
    EXPECT_EQ(v->browserLocation(), red);
    EXPECT_TRUE(v->WebBrowser1->toHtml().contains("red.jpg"));

    clickFile(v, "Blue.BMP");
    EXPECT_EQ(v->Image1->size(), QSize(40, 30));
    EXPECT_EQ(v->browserLocation(), blue);

    QPointer<frmviewer> guard(v);
    v->Command1->click();
    EXPECT_EQ(my_picture, blue);
    EXPECT_TRUE(wants_picture);
    EXPECT_EQ(w->status(), "Selected image ready to upload...");
    flushDeletes();
    EXPECT_TRUE(guard.isNull());
    EXPECT_EQ(fake.messageBox.shown.size(), 1u);   // the tip only
}

TEST_F(Viewer, TheMouseAndTheKeyboardPickWhatTheyHighlight)
{
    frmviewer *v = open();
    ASSERT_NE(v, nullptr);
    // Folders open on a double click and on Enter.
    v->Drctry->setPath(pictures.path());
    const auto sub = v->Drctry->findItems("sub", Qt::MatchEndsWith);
    ASSERT_EQ(sub.size(), 1);
    parlivo::test::doubleClickRow(v->Drctry, v->Drctry->indexFromItem(sub.first()));
    ASSERT_EQ(v->Drctry->path(), pictures.filePath("sub"));
    v->Drctry->setFocus();
    QTest::keyClick(v->Drctry, Qt::Key_Up);
    QTest::keyClick(v->Drctry, Qt::Key_Return);
    ASSERT_EQ(v->Drctry->path(), pictures.path());
    ASSERT_EQ(v->Files->count(), 3);
    // Tab into the files and Down picks the first one (entering does not skip it).
    QApplication::setActiveWindow(v);
    QTest::keyClick(v->Drctry, Qt::Key_Tab);
    ASSERT_TRUE(v->Files->hasFocus());
    QTest::keyClick(v->Files, Qt::Key_Down);
    EXPECT_EQ(v->Loc->text(), blue);

    // Empty space below the files picks nothing.
    const QPoint below(10, v->Files->viewport()->height() - 4);
    ASSERT_FALSE(v->Files->indexAt(below).isValid());
    QTest::mouseClick(v->Files->viewport(), Qt::LeftButton, {}, below);
    EXPECT_FALSE(v->filePicked());

    clickFile(v, "red.jpg");
    EXPECT_EQ(v->Loc->text(), red);
    EXPECT_TRUE(v->filePicked());
    EXPECT_EQ(v->browserLocation(), red);

    // The arrow keys pick as they move.
    v->Files->setFocus();
    QTest::keyClick(v->Files, Qt::Key_Home);
    EXPECT_EQ(v->Loc->text(), blue);
    EXPECT_EQ(v->Image1->size(), QSize(40, 30));
    QTest::keyClick(v->Files, Qt::Key_End);
    EXPECT_EQ(v->Loc->text(), red);

    // A click on the highlighted file picks it again: a picture changed meanwhile is shown anew.
    writePicture("red.jpg", QSize(60, 50), Qt::red, "JPG");
    clickFile(v, "red.jpg");
    EXPECT_EQ(v->Image1->size(), QSize(60, 50));

    // Empty space after a pick takes the highlight, and with it the pick, away.
    QTest::mouseClick(v->Files->viewport(), Qt::LeftButton, {}, below);
    EXPECT_EQ(v->Files->fileName(), "");
    EXPECT_FALSE(v->filePicked());
    v->Command1->click();
    EXPECT_EQ(fake.messageBox.shown.back().text, NoPick);

    clickFile(v, "Blue.BMP");
    v->Command1->click();
    EXPECT_EQ(my_picture, blue);
    EXPECT_TRUE(wants_picture);
}

TEST_F(Viewer, AFolderOrDriveChangeUnpicksTheFile)
{
    frmviewer *v = open();
    ASSERT_NE(v, nullptr);
    v->Drctry->setPath(pictures.path());
    clickFile(v, "red.jpg");
    v->Drctry->setPath(pictures.filePath("sub"));
    EXPECT_EQ(v->Loc->text(), pictures.filePath("sub"));
    EXPECT_FALSE(v->filePicked());
    EXPECT_EQ(v->Files->count(), 0);
    v->Command1->click();
    EXPECT_EQ(fake.messageBox.shown.back().text, NoPick);
    EXPECT_FALSE(wants_picture);

    // Back up and click again: now it is accepted.
    v->Drctry->setPath(pictures.path());
    clickFile(v, "red.jpg");
    // A drive change: the folder list opens the drive, the location names the drive.
    chooseDrive(v, pictures.path());
    EXPECT_EQ(v->Loc->text(), pictures.path());
    EXPECT_EQ(v->Drctry->path(), pictures.path());
    EXPECT_FALSE(v->filePicked());
    EXPECT_EQ(v->Files->fileName(), "");
    v->Command1->click();
    EXPECT_EQ(fake.messageBox.shown.back().text, NoPick);

    clickFile(v, "red.jpg");
    v->Command1->click();
    EXPECT_EQ(my_picture, red);
    EXPECT_TRUE(wants_picture);
}

TEST_F(Viewer, BrowsingErrorsStopQuietly)
{
    frmviewer *v = open();
    ASSERT_NE(v, nullptr);
    v->Drctry->setPath(pictures.path());
    clickFile(v, "red.jpg");
    const size_t boxes = fake.messageBox.shown.size();

    // A drive that is not there: nothing after the failing step happens.
    chooseDrive(v, "/no/such/volume");
    EXPECT_EQ(v->Loc->text(), red);
    EXPECT_EQ(v->Drctry->path(), pictures.path());
    EXPECT_TRUE(v->filePicked());

    // A folder that vanished while shown in the list.
    ASSERT_TRUE(QDir(pictures.path()).mkdir("gone"));
    v->Drctry->setPath(pictures.path());
    ASSERT_TRUE(QDir(pictures.path()).rmdir("gone"));
    const auto found = v->Drctry->findItems("gone", Qt::MatchEndsWith);
    ASSERT_EQ(found.size(), 1);
    parlivo::test::doubleClickRow(v->Drctry, v->Drctry->indexFromItem(found.first()));
    EXPECT_EQ(v->Drctry->path(), pictures.path());
    EXPECT_EQ(fake.messageBox.shown.size(), boxes);
    EXPECT_TRUE(v->isVisible());
}

TEST_F(Viewer, UnreadablePictureKeepsThePreviewsButCanStillBeConfirmed)
{
    frmviewer *v = open();
    ASSERT_NE(v, nullptr);
    v->Drctry->setPath(pictures.path());
    clickFile(v, "red.jpg");
    clickFile(v, "broken.bmp");
    EXPECT_EQ(v->Loc->text(), broken);
    EXPECT_TRUE(v->filePicked());
    EXPECT_EQ(v->Image1->size(), QSize(120, 80));
    EXPECT_EQ(v->browserLocation(), red);

    // Full screen refuses it with a message and opens nothing.
    v->cmdFullScreen->click();
    EXPECT_EQ(fake.messageBox.shown.back().text, "ERROR: Invalid image.");
    EXPECT_EQ(v->fullScreen(), nullptr);
    EXPECT_TRUE(v->findChildren<frmFScreen *>().isEmpty());

    v->Command1->click();
    EXPECT_EQ(my_picture, broken);
    EXPECT_TRUE(wants_picture);
}

TEST_F(Viewer, FullScreenShowsThePictureOnBlackAndAClickClosesIt)
{
    frmviewer *v = open();
    ASSERT_NE(v, nullptr);
    const size_t boxes = fake.messageBox.shown.size();

    // Nothing picked: nothing happens, not even a message.
    v->cmdFullScreen->click();
    EXPECT_EQ(v->fullScreen(), nullptr);
    EXPECT_EQ(fake.messageBox.shown.size(), boxes);

    v->Drctry->setPath(pictures.path());
    clickFile(v, "red.jpg");
    v->cmdFullScreen->click();
    QPointer<frmFScreen> full = v->fullScreen();
    ASSERT_FALSE(full.isNull());
    EXPECT_EQ(full->objectName(), "frmFScreen");
    EXPECT_TRUE(full->isVisible());
    EXPECT_TRUE(full->windowFlags() & Qt::FramelessWindowHint);
    EXPECT_TRUE(full->windowState() & Qt::WindowMaximized);
    EXPECT_EQ(full->palette().color(QPalette::Window), QColor(Qt::black));
    EXPECT_EQ(full->imngFscreen->pos(), QPoint(0, 0));
    EXPECT_EQ(full->imngFscreen->size(), QSize(120, 80));
    EXPECT_EQ(fake.messageBox.shown.size(), boxes);

    // Again while open: the same window shows the new picture.
    clickFile(v, "Blue.BMP");
    v->cmdFullScreen->click();
    EXPECT_EQ(v->fullScreen(), full.data());
    EXPECT_EQ(full->imngFscreen->size(), QSize(40, 30));

    QTest::mouseClick(full->imngFscreen, Qt::LeftButton);
    flushDeletes();
    EXPECT_TRUE(full.isNull());
    // The viewer and the choice are untouched by the full-screen view.
    EXPECT_TRUE(v->isVisible());
    EXPECT_FALSE(wants_picture);

    v->cmdFullScreen->click();
    full = v->fullScreen();
    ASSERT_FALSE(full.isNull());
    QTest::mouseClick(full, Qt::LeftButton, {}, QPoint(300, 300));
    flushDeletes();
    EXPECT_TRUE(full.isNull());
}

TEST_F(Viewer, CancelAndCloseBox)
{
    // Confirm, reopen, Cancel: no picture wanted although the old path stays.
    frmviewer *v = open();
    ASSERT_NE(v, nullptr);
    v->Drctry->setPath(pictures.path());
    clickFile(v, "red.jpg");
    v->Command1->click();
    flushDeletes();

    v = open();
    ASSERT_NE(v, nullptr);
    EXPECT_EQ(v->Loc->text(), "");   // a fresh viewer each time
    EXPECT_FALSE(v->filePicked());
    v->Command2->click();
    EXPECT_FALSE(wants_picture);
    EXPECT_EQ(my_picture, red);
    EXPECT_EQ(w->status(), "Image selection cancelled.");
    flushDeletes();
    EXPECT_EQ(w->findChild<frmviewer *>(), nullptr);

    // The close box changes nothing at all.
    wants_picture = true;
    w->setStatus("left alone");
    v = open();
    ASSERT_NE(v, nullptr);
    v->Drctry->setPath(pictures.path());
    clickFile(v, "Blue.BMP");
    v->close();
    flushDeletes();
    EXPECT_EQ(w->findChild<frmviewer *>(), nullptr);
    EXPECT_TRUE(wants_picture);
    EXPECT_EQ(my_picture, red);
    EXPECT_EQ(w->status(), "left alone");
}

TEST_F(Viewer, ClosingTheMainWindowTakesTheViewerAlong)
{
    frmviewer *v = open();
    ASSERT_NE(v, nullptr);
    QPointer<frmviewer> guard(v);
    w->close();
    flushDeletes();
    EXPECT_TRUE(guard.isNull());
}

TEST(ViewerFiles, SamplePicturesAndTiffAreReadable)
{
    // The pictures shipped in the application folder.
    const QString images = QStringLiteral(PARLIVO_APP_DIR) + "/Images";
    FakePlatform fake;
    frmviewer v(&fake.messageBox, fake.appFolder(), {});
    v.Drctry->setPath(images);
    ASSERT_GE(v.Files->count(), 4);
    QStringList suffixes;
    for (int i = 0; i < v.Files->count(); ++i) {
        const QString name = v.Files->item(i)->text();
        suffixes << QFileInfo(name).suffix().toLower();
        const QImage image = LoadPicture(images + "/" + name);
        ASSERT_FALSE(image.isNull()) << name.toStdString();
        EXPECT_LE(image.width(), 700) << name.toStdString();
        EXPECT_GE(image.width(), 400) << name.toStdString();
    }
    EXPECT_TRUE(suffixes.contains("jpg"));
    EXPECT_TRUE(suffixes.contains("gif"));
    EXPECT_TRUE(suffixes.contains("bmp"));

    // TIFF comes through the image plugins when they are installed.
    if (!QImageWriter::supportedImageFormats().contains("tiff"))
        GTEST_SKIP() << "no TIFF plugin";
    QTemporaryDir dir;
    QImage tiff(64, 48, QImage::Format_RGB32);
    tiff.fill(Qt::green);
    ASSERT_TRUE(tiff.save(dir.filePath("scan.tiff"), "TIFF"));
    v.show();
    v.Drctry->setPath(dir.path());
    parlivo::test::clickItem(v.Files, "scan.tiff");
    EXPECT_EQ(v.Image1->size(), QSize(64, 48));
    EXPECT_EQ(LoadPicture(""), QImage());
}

TEST(FullScreenPicture, LargerThanTheScreenIsShrunkKeepingItsShapeAndEscapeCloses)
{
    frmFScreen full;
    full.setAttribute(Qt::WA_DeleteOnClose, false);
    full.resize(800, 600);
    QImage wide(2400, 900, QImage::Format_RGB32);
    wide.fill(Qt::red);
    full.setPicture(wide);
    full.show();
    EXPECT_EQ(full.imngFscreen->pos(), QPoint(0, 0));
    EXPECT_EQ(full.imngFscreen->size(), QSize(800, 300));
    QImage small(100, 50, QImage::Format_RGB32);
    full.setPicture(small);
    EXPECT_EQ(full.imngFscreen->size(), QSize(100, 50));
    QTest::keyClick(&full, Qt::Key_Escape);
    EXPECT_FALSE(full.isVisible());
}
