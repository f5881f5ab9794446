// The trim window driven as a person drives it: handles dragged with the mouse and moved
// with the arrow keys, Trim and Undo clicked, on an MP3 the person chose.
#include "app/TrimWaveform.h"
#include "app/frmTrim.h"
#include "audio/AudioEdit.h"
#include "fakes/FakePlatform.h"
#include "platform/audio/AudioDecoder.h"
#include "platform/audio/Mp3Encoder.h"

#include <QCryptographicHash>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include <cmath>

using namespace parlivo;
using namespace parlivo::test;

namespace {

QByteArray hashOf(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256) : QByteArray();
}

void dragTo(QWidget *widget, QPoint from, QPoint to)
{
    QTest::mousePress(widget, Qt::LeftButton, {}, from);
    QTest::mouseMove(widget, (from + to) / 2);
    QTest::mouseMove(widget, to);
    QTest::mouseRelease(widget, Qt::LeftButton, {}, to);
}

TEST(TrimWindow, AHandTrimOfAChosenMp3LeavesItAloneAndUndoGoesBackToIt)
{
    FakePlatform fp;
    const QString mine = fp.appFolder() + QStringLiteral("/mine.mp3");
    {
        std::vector<qint16> s(size_t(3 * 44100));
        for (size_t i = 0; i < s.size(); ++i)
            s[i] = qint16(8000 * std::sin(2 * M_PI * 330 * double(i) / 44100));
        Mp3Encoder enc;
        ASSERT_TRUE(enc.open(mine, 44100, 44100, 1, 128) && enc.encode(s.data(), int(s.size())) && enc.close());
    }
    const QByteArray before = hashOf(mine);
    std::unique_ptr<frmMAIN> w = fp.makeWindow();
    w->show();
    fp.fileDialog.answers = {mine};
    w->Button6_Click();
    ASSERT_EQ(w->txtRecFilename->text(), mine);

    QTest::mouseClick(w->cmdAudioTrim, Qt::LeftButton);
    ASSERT_TRUE(w->trimWindow);
    frmTrim *trim = w->trimWindow;
    TrimWaveform *wave = trim->waveform;
    ASSERT_TRUE(QTest::qWaitFor([&] { return !trim->isLoading(); }, 5000));
    ASSERT_NEAR(wave->durationMs(), 3000, 30);
    EXPECT_FALSE(trim->cmdTrim->isEnabled());   // nothing would be cut yet

    // The start handle dragged by its grip to one second; the end handle is not touched.
    const QPoint grip = wave->handleRect(TrimWaveform::Handle::Start).center();
    dragTo(wave, grip, QPoint(wave->xOf(1000), grip.y() + 40));
    const qint64 perPixel = wave->durationMs() / qMax(1, wave->width() - 20) + 1;
    EXPECT_NEAR(wave->startMs(), 1000, perPixel);
    EXPECT_EQ(wave->endMs(), wave->durationMs());

    // Tab reaches the end handle; Shift+Left moves it a big step, Left a small one.
    wave->setFocus(Qt::OtherFocusReason);
    QTest::keyClick(wave, Qt::Key_Tab);
    EXPECT_EQ(wave->activeHandle(), TrimWaveform::Handle::End);
    const qint64 end = wave->durationMs() - TrimWaveform::BigStepMs - TrimWaveform::StepMs;
    QTest::keyClick(wave, Qt::Key_Left, Qt::ShiftModifier);
    QTest::keyClick(wave, Qt::Key_Left);
    EXPECT_EQ(wave->endMs(), end);
    const qint64 start = wave->startMs();

    QSignalSpy edited(w.get(), &frmMAIN::audioEditFinished);
    QTest::mouseClick(trim->cmdTrim, Qt::LeftButton);
    w->Button2_Click();   // publishing waits for the trimmed copy
    EXPECT_EQ(w->status(), QStringLiteral("The audio is still being trimmed: publish again in a moment"));
    EXPECT_TRUE(fp.messageBox.shown.empty());   // not even the confirmation
    ASSERT_TRUE(edited.wait(10000));
    const QString copy = w->txtRecFilename->text();
    EXPECT_NE(copy, mine);
    EXPECT_EQ(w->draft.my_recording, copy);   // what publishing copies
    EXPECT_TRUE(copy.startsWith(w->folders().tempFolder()));
    EXPECT_EQ(hashOf(mine), before);
    EXPECT_NEAR(decodeAudioFile(copy).seconds() * 1000, double(end - start), 30);
    // The window now shows the trimmed audio.
    ASSERT_TRUE(QTest::qWaitFor([&] { return !trim->isLoading(); }, 5000));
    EXPECT_NEAR(wave->durationMs(), end - start, 30);

    ASSERT_TRUE(trim->cmdUndo->isEnabled());
    QTest::mouseClick(trim->cmdUndo, Qt::LeftButton);
    EXPECT_EQ(w->txtRecFilename->text(), mine);
    EXPECT_EQ(w->draft.my_recording, mine);
    EXPECT_FALSE(QFile::exists(copy));
    EXPECT_FALSE(trim->cmdUndo->isEnabled());
    EXPECT_EQ(hashOf(mine), before);
}

// The files of edits go as soon as nothing can come back to them; what Undo needs stays, and
// the person's own files are never touched.
TEST(TrimWindow, EditFilesGoWhenNothingCanComeBackToThem)
{
    FakePlatform fp;
    auto makeMp3 = [&](const QString &name) {
        const QString path = fp.appFolder() + QLatin1Char('/') + name;
        std::vector<qint16> s(size_t(2 * 44100));
        for (size_t i = 0; i < s.size(); ++i)
            s[i] = qint16(6000 * std::sin(2 * M_PI * 220 * double(i) / 44100));
        Mp3Encoder enc;
        EXPECT_TRUE(enc.open(path, 44100, 44100, 1, 128) && enc.encode(s.data(), int(s.size())) && enc.close());
        return path;
    };
    const QString mine = makeMp3(QStringLiteral("mine.mp3")), other = makeMp3(QStringLiteral("other.mp3"));
    std::unique_ptr<frmMAIN> w = fp.makeWindow();
    w->show();
    fp.fileDialog.answers = {mine};
    w->Button6_Click();
    QTest::mouseClick(w->cmdAudioTrim, Qt::LeftButton);
    ASSERT_TRUE(w->trimWindow);
    frmTrim *trim = w->trimWindow;
    const QDir temp(w->folders().tempFolder());
    auto tempFiles = [&] { return temp.entryList({QStringLiteral("*_e*.mp3"), QStringLiteral("selection_*.wav")}, QDir::Files); };
    QStringList edits;
    for (int i = 0; i < 2; ++i) {   // two cuts of 0.5 s from the start, one on the other
        ASSERT_TRUE(QTest::qWaitFor([&] { return !trim->isLoading(); }, 5000));
        trim->waveform->setFocus(Qt::OtherFocusReason);
        QTest::keyClick(trim->waveform, Qt::Key_Right, Qt::ShiftModifier);
        QSignalSpy edited(w.get(), &frmMAIN::audioEditFinished);
        QTest::mouseClick(trim->cmdTrim, Qt::LeftButton);
        ASSERT_TRUE(edited.wait(10000));
        edits << w->draft.my_recording;
    }
    ASSERT_TRUE(QTest::qWaitFor([&] { return !trim->isLoading(); }, 5000));
    QTest::mouseClick(trim->cmdPlaySelection, Qt::LeftButton);
    QTest::mouseClick(trim->cmdPlaySelection, Qt::LeftButton);
    EXPECT_EQ(tempFiles().size(), 3) << qPrintable(tempFiles().join(' '));   // both edits, one selection

    QTest::mouseClick(trim->cmdUndo, Qt::LeftButton);   // back to the first edit: the second goes
    EXPECT_EQ(w->draft.my_recording, edits[0]);
    EXPECT_FALSE(QFile::exists(edits[1]));
    EXPECT_TRUE(QFile::exists(edits[0]));

    fp.fileDialog.answers = {other};   // other audio: no edit can be undone to any more
    w->Button6_Click();
    EXPECT_TRUE(QTest::qWaitFor([&] { return tempFiles().isEmpty(); }, 1000)) << qPrintable(tempFiles().join(' '));
    EXPECT_TRUE(QFile::exists(mine));
    EXPECT_TRUE(QFile::exists(other));
}

TEST(TrimWindow, WithoutAudioThereIsNothingToTrim)
{
    FakePlatform fp;
    std::unique_ptr<frmMAIN> w = fp.makeWindow();
    QTest::mouseClick(w->cmdAudioTrim, Qt::LeftButton);
    EXPECT_FALSE(w->trimWindow);
    EXPECT_TRUE(w->status().startsWith(QStringLiteral("There is no audio to trim yet")));
    EXPECT_FALSE(w->undoAudioEdit());
}

} // namespace
