// The picture and page-element commands driven through the real desktop dialogs,
// answered the way a user would answer them.
#include "content/frmviewer.h"
#include "fakes/FakePlatform.h"
#include "platform/desktop/QtDesktop.h"

#include <QAbstractButton>
#include <QDialogButtonBox>
#include <QEventLoop>
#include <QFile>
#include <QFileDialog>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

using namespace parlivo;
using parlivo::test::FakePlatform;

namespace {

void flushDeletes()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
}

// Answers a dialog from inside the event loop, as a user's click arrives, so that
// everything its answer sets off runs at the depth it runs at in the program.
template<typename F>
void asUser(F answer)
{
    QEventLoop loop;
    QTimer::singleShot(0, &loop, [&] {
        answer();
        loop.quit();
    });
    QTimer::singleShot(5000, &loop, &QEventLoop::quit);
    loop.exec();
    flushDeletes();
}

struct RealDialogs : ::testing::Test
{
    FakePlatform fake;
    QtFileDialog fileDialog;
    QtInputPrompt inputPrompt;
    QtMessageBox messageBox;
    std::unique_ptr<frmMAIN> w;
    QTemporaryDir media;

    void SetUp() override
    {
        fake.platform().fileDialog = &fileDialog;
        fake.platform().inputPrompt = &inputPrompt;
        fake.platform().messageBox = &messageBox;
        w = fake.makeWindow();
        w->show();
        ASSERT_TRUE(media.isValid());
    }

    QString makeFile(const QString &name)
    {
        const QString path = media.filePath(name);
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("data");
        return path;
    }

    QFileDialog *openDialog()
    {
        auto *dialog = w->findChild<QFileDialog *>("cdlg");
        EXPECT_NE(dialog, nullptr);
        return dialog;
    }

    // Picks path in the open dialog and presses Open.
    static void choose(QFileDialog *dialog, const QString &path)
    {
        dialog->setDirectory(QFileInfo(path).absolutePath());
        dialog->selectFile(QFileInfo(path).fileName());
        asUser([dialog] { static_cast<QDialog *>(dialog)->accept(); });   // the Open button
    }
};

} // namespace

TEST_F(RealDialogs, VideoDialogsOfferOnlyTheirPatternAndNeverProposeAnEarlierName)
{
    const QString clip = makeFile("trip.mpeg");
    makeFile("other.mpg");

    w->mnuMPEG_video_Click();
    QFileDialog *dialog = openDialog();
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(dialog->windowTitle(), "Select mpeg video to add to your page...");
    EXPECT_EQ(dialog->nameFilters(), QStringList({"MPG video files (*.mpeg)"}));
    EXPECT_EQ(dialog->fileMode(), QFileDialog::ExistingFile);
    choose(dialog, clip);
    EXPECT_EQ(w->draft.my_video, clip);
    EXPECT_EQ(w->draft.what_format, "MPEG");
    EXPECT_TRUE(w->draft.wants_video);

    // Same kind again: the name box starts empty; Cancel keeps the earlier choice.
    w->mnuMPEG_video_Click();
    dialog = openDialog();
    ASSERT_NE(dialog, nullptr);
    if (auto *name = dialog->findChild<QLineEdit *>("fileNameEdit"))
        EXPECT_EQ(name->text(), "");
    asUser([dialog] { dialog->reject(); });
    EXPECT_EQ(w->draft.my_video, clip);
    EXPECT_EQ(w->draft.what_format, "MPEG");

    w->mnuMPG_VIDEO_Click();
    dialog = openDialog();
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(dialog->nameFilters(), QStringList({"MPG video files (*.mpg)"}));
    asUser([dialog] { dialog->reject(); });
    EXPECT_EQ(w->draft.what_format, "MPEG");
}

TEST_F(RealDialogs, BackgroundSoundThroughTheOpenDialog)
{
    const QString wav = makeFile("birds.wav");
    w->mnu_Add_backsound_Click();
    QFileDialog *dialog = openDialog();
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(dialog->windowTitle(), "Select wav background sound - will not be set to loop!");
    EXPECT_EQ(dialog->nameFilters(), QStringList({"Wav files (*.wav)"}));
    choose(dialog, wav);
    EXPECT_EQ(w->draft.my_background_wav, wav);
    EXPECT_TRUE(w->draft.wants_backsound);
}

TEST_F(RealDialogs, TextAndLinkThroughTheInputBox)
{
    w->setStatus("before");
    w->Button12->click();
    auto *box = w->findChild<QInputDialog *>("InputBox");
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->windowTitle(), "Parlivo");
    EXPECT_EQ(box->labelText(),
              "Add any SHORT {as this feature is limited} text message you want added to your web page here...");
    EXPECT_EQ(box->textValue(), "");
    box->setTextValue("Fish & <chips> tonight");
    asUser([box] { box->accept(); });
    EXPECT_EQ(w->draft.my_text_message, "Fish & <chips> tonight");
    EXPECT_EQ(w->status(), "Text message accepted and will be added...");

    w->mnuADD_link_Click();
    box = w->findChild<QInputDialog *>("InputBox");
    ASSERT_NE(box, nullptr);
    EXPECT_TRUE(box->labelText().startsWith("Please enter in the web link you want to add.\r\nAn example might be - "));
    box->setTextValue("www.example.net");
    asUser([box] { box->accept(); });
    EXPECT_EQ(w->draft.my_link, "www.example.net");
    EXPECT_TRUE(w->draft.wants_link);

    // Cancel on the text prompt empties the text and leaves the status line.
    w->setStatus("kept");
    w->Button12->click();
    box = w->findChild<QInputDialog *>("InputBox");
    ASSERT_NE(box, nullptr);
    box->setTextValue("typed but cancelled");
    asUser([box] { box->reject(); });
    EXPECT_EQ(w->draft.my_text_message, "");
    EXPECT_EQ(w->status(), "kept");
}

TEST_F(RealDialogs, TheViewerOpensOnlyAfterTheTipIsDismissed)
{
    w->Button5->click();
    auto *tip = w->findChild<QMessageBox *>();
    ASSERT_NE(tip, nullptr);
    EXPECT_EQ(tip->text(), "TIP: for best results your picture/ image should not be over 700 pixcels in width.");
    EXPECT_EQ(tip->windowTitle(), "Parlivo");
    EXPECT_EQ(tip->standardButtons(), QMessageBox::Ok);
    EXPECT_EQ(w->findChild<frmviewer *>(), nullptr);
    asUser([tip] { tip->button(QMessageBox::Ok)->click(); });
    auto *viewer = w->findChild<frmviewer *>();
    ASSERT_NE(viewer, nullptr);
    EXPECT_TRUE(viewer->isVisible());

    // The refusal message comes from the viewer and leaves it open.
    viewer->Command1->click();
    auto *refusal = viewer->findChild<QMessageBox *>();
    ASSERT_NE(refusal, nullptr);
    EXPECT_EQ(refusal->text(), "ERROR: you must either select an image or elect to Cancel!");
    asUser([refusal] { refusal->button(QMessageBox::Ok)->click(); });
    EXPECT_TRUE(viewer->isVisible());
    EXPECT_FALSE(wants_picture);
}
