// The recording panel's handlers against fake components: start-up lists, the record and
// stop sequences, the seconds counter, playback, choosing an MP3, and failures.
#include "fakes/FakePlatform.h"
#include "fakes/UserInput.h"
#include "app/widgets/LevelMeter.h"
#include "audio/RecordingText.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QSlider>
#include <QTimer>
#include <gtest/gtest.h>

using namespace parlivo;
using namespace parlivo::test;

namespace {

FakeDevice device(const QString &name, QStringList sources = {QStringLiteral("Microphone")}, int active = 0,
                  bool input = true)
{
    return FakeDevice{name, input, std::move(sources), active};
}

QStringList callsFrom(const QStringList &calls, const QString &first)
{
    const qsizetype at = calls.indexOf(first);
    return at < 0 ? QStringList() : calls.mid(at);
}

} // namespace

TEST(RecordingStartup, DeviceAndSourceListsFollowTheLoadRules)
{
    {
        // Default 0, three input devices: the default records, not the last listed.
        FakePlatform fp;
        fp.devices = {device("A"), device("B"), device("C")};
        auto w = fp.makeWindow();
        ASSERT_EQ(w->cmbDevInput->count(), 3);
        EXPECT_EQ(w->cmbDevInput->currentIndex(), 0);
        EXPECT_EQ(fp.lastRecorder->selectedDevice, 0);
        // n + 1 device numbers are asked.
        EXPECT_TRUE(fp.lastRecorder->calls.contains(QStringLiteral("selectDevice 3")));
    }
    {
        // Devices that do not record are left out; item data keeps the device number,
        // and the default is shown by its number, not by its list position.
        FakePlatform fp;
        fp.devices = {device("Out", {}, 0, false), device("Mic"), device("Line")};
        auto made = fp.platform().createAudioRecorder;
        fp.platform().createAudioRecorder = [made] {
            auto r = made();
            static_cast<FakeRecorder *>(r.get())->defaultDev = 1;
            return r;
        };
        auto w = fp.makeWindow();
        ASSERT_EQ(w->cmbDevInput->count(), 2);
        EXPECT_EQ(w->cmbDevInput->itemText(0), QStringLiteral("Mic"));
        EXPECT_EQ(w->cmbDevInput->itemData(0).toInt(), 1);
        EXPECT_EQ(w->cmbDevInput->currentText(), QStringLiteral("Mic"));
        EXPECT_EQ(fp.lastRecorder->selectedDevice, 1);
    }
}

TEST(RecordingStartup, SourcesVolumeAndEmptyDevices)
{
    {
        FakePlatform fp;
        fp.devices = {device("Card", {"Front mic", "Rear mic", "Line in"}, 1)};
        auto w = fp.makeWindow();
        ASSERT_EQ(w->cmbSrcInput->count(), 3);
        EXPECT_EQ(w->cmbSrcInput->itemText(2), QStringLiteral("Line in"));
        EXPECT_EQ(w->cmbSrcInput->currentIndex(), 1);
        EXPECT_EQ(fp.lastRecorder->selectedSource, 1);
        EXPECT_EQ(w->sldrVolumeInp->maximum(), fp.lastRecorder->volumeMaximum());
        EXPECT_EQ(w->sldrVolumeInp->value(), fp.lastRecorder->vol);
        // Showing the server's volume is not a change by the user.
        EXPECT_FALSE(fp.lastRecorder->calls.filter(QStringLiteral("setVolume")).size() > 0);
    }
    {
        // No sources: the list stays empty and position -1 is passed on.
        FakePlatform fp;
        fp.devices = {device("Bare", {})};
        auto w = fp.makeWindow();
        EXPECT_EQ(w->cmbSrcInput->count(), 0);
        EXPECT_EQ(fp.lastRecorder->calls.last(), QStringLiteral("selectSource -1"));
    }
    {
        // No device at all: nothing is listed and Record explains itself instead of counting.
        FakePlatform fp;
        fp.devices = {};
        auto w = fp.makeWindow();
        EXPECT_EQ(w->cmbDevInput->count(), 0);
        EXPECT_EQ(w->cmbSrcInput->count(), 0);
    }
}

TEST(RecordingSession, RecordWritesEveryBlockAndStopClosesInOrder)
{
    FakePlatform fp;
    auto w = fp.makeWindow();
    FakeRecorder &rec = *fp.lastRecorder;
    FakeFileWriter &file = *fp.lastWriter;
    const QString path = w->txtRecFilename->text();
    rec.calls.clear();

    w->cmdRecRecord_Click();
    EXPECT_EQ(fp.lastPlayer->calls, (QStringList{"stop", "release"}));
    EXPECT_EQ(file.calls, (QStringList{"setMp3Output 44100 128 1", "createFile " + path + " 0"}));
    EXPECT_EQ(rec.calls, (QStringList{"setFormat 44100 1", "setFormat 44100 1", "setBlockSize 88200", "start"}));
    EXPECT_TRUE(w->draft.i_recorded);
    EXPECT_EQ(w->draft.my_recording, path);
    EXPECT_EQ(w->status(), QStringLiteral("Recording..."));
    EXPECT_TRUE(w->Timer2->isActive());
    EXPECT_FALSE(w->lblRecInfoMS->isHidden());

    rec.deliverBlock(QByteArray(88200, 'a'));
    rec.deliverBlock(QByteArray(88200, 'b'));
    EXPECT_EQ(file.written, QByteArray(88200, 'a') + QByteArray(88200, 'b'));

    rec.calls.clear();
    file.calls.clear();
    w->cmdRecStop_Click();
    EXPECT_EQ(rec.calls, (QStringList{"stop"}));
    EXPECT_EQ(file.calls, (QStringList{"close"}));
    EXPECT_FALSE(w->Timer2->isActive());
    EXPECT_EQ(w->draft.my_time2, 0);
    EXPECT_TRUE(w->lblRecInfoMS->isHidden());
    EXPECT_TRUE(w->lblLabRecInfoMS->isHidden());
    EXPECT_EQ(w->lblRecInfoMS->text(), QString());
    EXPECT_EQ(w->status(), QString());

    // A block arriving after the stop is not written to the closed file.
    file.calls.clear();
    rec.deliverBlock(QByteArray(10, 'z'));
    EXPECT_FALSE(file.calls.contains(QStringLiteral("write")));
}

TEST(RecordingSession, CounterShowsSecondsAndStopsOnThe125thTick)
{
    FakePlatform fp;
    auto w = fp.makeWindow();
    w->cmdRecRecord_Click();
    w->Timer2_Timer();
    w->Timer2_Timer();
    EXPECT_EQ(w->lblRecInfoMS->text(), QStringLiteral("2 secs..."));
    EXPECT_FALSE(w->lblLabRecInfoMS->isHidden());

    QString lastShown;
    for (int i = 3; i <= 125; ++i) {
        if (!w->lblRecInfoMS->text().isEmpty())
            lastShown = w->lblRecInfoMS->text();
        w->Timer2_Timer();
    }
    EXPECT_EQ(lastShown, QStringLiteral("124 secs..."));
    EXPECT_FALSE(fp.lastRecorder->running);
    EXPECT_EQ(fp.lastWriter->calls.last(), QStringLiteral("close"));
    EXPECT_FALSE(w->Timer2->isActive());
    EXPECT_EQ(w->draft.my_time2, 0);
    EXPECT_EQ(w->lblRecInfoMS->text(), QString());
    EXPECT_TRUE(w->lblRecInfoMS->isHidden());
    EXPECT_TRUE(w->lblLabRecInfoMS->isHidden());

    // Stopping by hand resets the count: the next recording counts from 1.
    w->cmdRecRecord_Click();
    for (int i = 0; i < 7; ++i)
        w->Timer2_Timer();
    w->cmdRecStop_Click();
    w->cmdRecRecord_Click();
    w->Timer2_Timer();
    EXPECT_EQ(w->lblRecInfoMS->text(), QStringLiteral("1 secs..."));
}

TEST(RecordingSession, RecordWhileRecordingAndStopWhileIdleChangeNothing)
{
    FakePlatform fp;
    auto w = fp.makeWindow();
    w->setStatus(QStringLiteral("Ready"));
    fp.lastRecorder->calls.clear();
    w->cmdRecStop_Click();
    EXPECT_TRUE(fp.lastRecorder->calls.isEmpty());
    EXPECT_TRUE(fp.lastWriter->calls.isEmpty());
    EXPECT_EQ(w->status(), QStringLiteral("Ready"));

    w->cmdRecRecord_Click();
    w->Timer2_Timer();
    w->Timer2_Timer();
    w->cmdRecRecord_Click();
    EXPECT_EQ(fp.lastWriter->calls.filter(QStringLiteral("createFile")).size(), 1);
    EXPECT_EQ(fp.lastRecorder->calls.filter(QStringLiteral("start")).size(), 1);
    EXPECT_EQ(w->draft.my_time2, 2);
}

TEST(RecordingFaults, FailedStartsSayWhyAndKeepTheDraft)
{
    {
        // The file cannot be created.
        FakePlatform fp;
        auto w = fp.makeWindow();
        fp.lastWriter->status = -1;
        w->cmdRecRecord_Click();
        EXPECT_FALSE(w->draft.i_recorded);
        EXPECT_FALSE(w->Timer2->isActive());
        EXPECT_FALSE(fp.lastRecorder->calls.contains(QStringLiteral("start")));
        EXPECT_EQ(w->status(), QStringLiteral("Recording could not start: permission denied."));
        EXPECT_TRUE(w->lblRecInfoMS->text().isEmpty());
        EXPECT_TRUE(w->lblLabRecInfoMS->isHidden());
    }
    {
        // The recorder does not start: the file is given up, the earlier audio stays the message's.
        FakePlatform fp;
        auto w = fp.makeWindow();
        w->draft.i_recorded = true;
        w->draft.my_recording = QStringLiteral("/earlier.mp3");
        fp.lastRecorder->status = -1;
        w->cmdRecRecord_Click();
        EXPECT_EQ(fp.lastWriter->calls.last(), QStringLiteral("close"));
        EXPECT_FALSE(fp.lastWriter->open);
        EXPECT_TRUE(w->draft.i_recorded);
        EXPECT_EQ(w->draft.my_recording, QStringLiteral("/earlier.mp3"));
        EXPECT_FALSE(w->Timer2->isActive());
        EXPECT_EQ(w->status(), QStringLiteral("Recording could not start: the device is busy."));
        // And Stop afterwards has nothing to stop.
        fp.lastRecorder->calls.clear();
        w->cmdRecStop_Click();
        EXPECT_TRUE(fp.lastRecorder->calls.isEmpty());
    }
}

TEST(RecordingFaults, FailedSaveAtStopFallsBackToTheEarlierAudio)
{
    FakePlatform fp;
    auto w = fp.makeWindow();
    const QString mine = fp.plant(QStringLiteral("music/mine.mp3"), "my own audio");
    fp.fileDialog.answers = {mine};
    w->Button6_Click();
    w->cmdRecRecord_Click();
    ASSERT_NE(w->txtRecFilename->text(), mine);
    fp.lastRecorder->deliverBlock(QByteArray(88200, 'a'));
    fp.lastWriter->status = -1;   // the disk fills up: closing reports it
    w->cmdRecStop_Click();
    EXPECT_EQ(w->status(), QStringLiteral("The recording could not be saved: permission denied."));
    EXPECT_TRUE(w->draft.i_recorded);
    EXPECT_EQ(w->draft.my_recording, mine);
    EXPECT_EQ(w->txtRecFilename->text(), mine);
    EXPECT_FALSE(w->Timer2->isActive());
}

TEST(RecordingChoice, ChosenMp3IsKeptAndNeverRecordedOver)
{
    FakePlatform fp;
    auto w = fp.makeWindow();
    const QString working = w->txtRecFilename->text();

    fp.fileDialog.answers = {QString()};
    w->Button6_Click();
    ASSERT_EQ(fp.fileDialog.calls.size(), 1u);
    EXPECT_EQ(fp.fileDialog.calls[0].title, QStringLiteral("Select pre-recorded mp3 file..."));
    EXPECT_EQ(fp.fileDialog.calls[0].filter, QStringLiteral("MP3 files (*.mp3)|*.mp3|"));
    EXPECT_EQ(w->txtRecFilename->text(), working);
    EXPECT_FALSE(w->draft.i_recorded);
    EXPECT_EQ(w->draft.my_recording, QString());

    const QString mine = fp.plant(QStringLiteral("music/mine.mp3"), "my own audio");
    fp.fileDialog.answers = {mine};
    w->Button6_Click();
    EXPECT_EQ(w->txtRecFilename->text(), mine);
    EXPECT_EQ(w->draft.my_recording, mine);
    EXPECT_TRUE(w->draft.i_recorded);

    w->cmdRecRecord_Click();
    const QString target = w->draft.my_recording;
    EXPECT_NE(target, mine);
    EXPECT_EQ(w->txtRecFilename->text(), target);
    EXPECT_TRUE(target.startsWith(fp.appFolder() + QStringLiteral("/Temp/"))) << qPrintable(target);
    EXPECT_FALSE(fp.lastWriter->calls.filter(mine).size() > 0);
    w->cmdRecStop_Click();

    // A failed start after a choice leaves the choice as it was.
    fp.fileDialog.answers = {mine};
    w->Button6_Click();
    fp.lastWriter->status = -1;
    w->cmdRecRecord_Click();
    EXPECT_EQ(w->txtRecFilename->text(), mine);
    EXPECT_EQ(w->draft.my_recording, mine);
    EXPECT_TRUE(w->draft.i_recorded);
}

TEST(RecordingPlayback, PlayStopTimeAndErrors)
{
    FakePlatform fp;
    auto w = fp.makeWindow();
    FakePlayer &player = *fp.lastPlayer;
    player.calls.clear();
    const QString path = w->txtRecFilename->text();

    w->Button4_Click();
    EXPECT_EQ(w->txtWaveFilename->text(), path);
    EXPECT_EQ(player.calls, (QStringList{"setFileName " + path, "prepare", "play"}));
    EXPECT_EQ(w->status(), QStringLiteral("Playing audio file..."));

    player.tick(2500);
    EXPECT_EQ(w->lblRecInfoMS->text(), playerTimeText(2500));
    player.tick(3000);
    EXPECT_EQ(w->lblRecInfoMS->text(), QStringLiteral("3"));

    player.calls.clear();
    w->cmdAudioStop_Click();
    EXPECT_EQ(player.calls, (QStringList{"stop", "release"}));
    EXPECT_EQ(w->status(), QString());

    player.fail(QStringLiteral("file not found"));
    ASSERT_EQ(fp.messageBox.shown.size(), 1u);
    EXPECT_EQ(fp.messageBox.shown[0].text, QStringLiteral("file not found"));
    EXPECT_FALSE(fp.messageBox.shown[0].yesNo);
}

TEST(RecordingControls, SourceChoiceAndVolumeReachTheRecorder)
{
    FakePlatform fp;
    fp.devices = {device("Card", {"Front mic", "Line in"}, 0)};
    auto w = fp.makeWindow();
    FakeRecorder &rec = *fp.lastRecorder;
    rec.vol = 37;
    rec.calls.clear();
    chooseInCombo(w->cmbSrcInput, 1);
    EXPECT_EQ(rec.calls.mid(0, 2), (QStringList{"selectSource 1", "makeSourceActive 1"}));
    EXPECT_EQ(rec.devices[0].activeSource, 1);
    EXPECT_EQ(w->sldrVolumeInp->value(), 37);

    rec.calls.clear();
    w->sldrVolumeInp->setValue(80);
    EXPECT_EQ(rec.calls, (QStringList{"setVolume 80"}));
    EXPECT_EQ(rec.vol, 80);
}

TEST(RecordingControls, AnnouncedInputsAreListedAndAChoiceStays)
{
    FakePlatform fp;
    fp.devices = {device("Card", {"Front mic"}), device("Webcam", {"Webcam mic"})};
    auto w = fp.makeWindow();
    FakeRecorder &rec = *fp.lastRecorder;

    // Before any choice the default input goes on recording, wherever it moves.
    rec.devices.push_back(device("Headset", {"Headset mic"}));
    rec.defaultDev = 2;
    Q_EMIT rec.sourcesChanged();
    ASSERT_EQ(w->cmbDevInput->count(), 3);
    EXPECT_EQ(w->cmbDevInput->currentText(), QStringLiteral("Headset"));
    EXPECT_EQ(rec.selectedDevice, 2);
    EXPECT_EQ(w->cmbSrcInput->currentText(), QStringLiteral("Headset mic"));

    // A choice is kept when the server announces something else.
    rec.devices[2].sources << QStringLiteral("Headset line");
    Q_EMIT rec.sourcesChanged();
    chooseInCombo(w->cmbSrcInput, 1);
    rec.defaultDev = 0;
    rec.vol = 64;
    Q_EMIT rec.sourcesChanged();
    EXPECT_EQ(rec.selectedDevice, 2);
    EXPECT_EQ(w->cmbSrcInput->count(), 2);
    EXPECT_EQ(w->cmbSrcInput->currentText(), QStringLiteral("Headset line"));
    EXPECT_EQ(w->sldrVolumeInp->value(), 64);
}

TEST(RecordingControls, MeterRunsWhileThePanelIsShown)
{
    FakePlatform fp;
    auto w = fp.makeWindow();
    w->show();
    FakeRecorder &rec = *fp.lastRecorder;
    w->Button13_Click();   // the microphone panel
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
    EXPECT_TRUE(rec.monitoring);
    Q_EMIT rec.levelChanged(0.5f);
    EXPECT_GT(w->levelMeter->level(), 0.4f);
    w->Button17_Click();   // back to the choice
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
    EXPECT_FALSE(rec.monitoring);
}

TEST(RecordingText, CounterAndPlayerTime)
{
    EXPECT_EQ(recordingCounterText(2), QStringLiteral("2 secs..."));
    EXPECT_EQ(recordingCounterText(124), QStringLiteral("124 secs..."));
    const QLocale c(QLocale::C);
    EXPECT_EQ(playerTimeText(2500, c), QStringLiteral("2.5"));
    EXPECT_EQ(playerTimeText(3000, c), QStringLiteral("3"));
    EXPECT_EQ(playerTimeText(0, c), QStringLiteral("0"));
    EXPECT_EQ(playerTimeText(1234567, c), QStringLiteral("1234.567"));
    EXPECT_EQ(playerTimeText(100, c), QStringLiteral("0.1"));
    EXPECT_EQ(playerTimeText(2500, QLocale(QLocale::German, QLocale::Germany)), QStringLiteral("2,5"));
    EXPECT_EQ(playerTimeText(1234500, QLocale(QLocale::German, QLocale::Germany)), QStringLiteral("1234,5"));
    EXPECT_EQ(recordingNotStartedText(QStringLiteral("busy.")), QStringLiteral("Recording could not start: busy."));
}
