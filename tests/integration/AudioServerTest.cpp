// Recording and playback through the real recorder, MP3 writer and player against the
// private audio server: whatever is played into its speaker is what its microphone hears.
#include "audio/Mp3TestSignals.h"
#include "cli/Commands.h"
#include "audio/AudioEdit.h"
#include "audio/Mp3Info.h"
#include "fakes/FakePlatform.h"
#include "fakes/UserInput.h"
#include "platform/audio/AudioDecoder.h"
#include "platform/Factories.h"
#include "platform/audio/Mp3Encoder.h"
#include "platform/speech/EspeakEngine.h"
#include "platform/speech/EspeakOutput.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QSlider>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

using namespace parlivo;
using namespace parlivo::test;

namespace {

class AudioServer : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (qEnvironmentVariableIsEmpty("PARLIVO_PULSE"))
            GTEST_SKIP() << "no private audio server (run through ./dev test)";
        sink = qEnvironmentVariable("PARLIVO_PULSE_SINK", QStringLiteral("parlivo_out"));
        source = qEnvironmentVariable("PARLIVO_PULSE_SOURCE", QStringLiteral("parlivo_mic"));
        fp = std::make_unique<FakePlatform>();
        fp->platform().createAudioRecorder = makeAudioRecorder;
        fp->platform().createAudioFileWriter = makeAudioFileWriter;
        fp->platform().createAudioPlayer = makeAudioPlayer;
        w = fp->makeWindow();
        ASSERT_TRUE(w->AudioRecord && w->AudioFile && w->SMAudioPlayAndRecordX1);
        QObject::connect(w->AudioRecord.get(), &AudioRecorder::EndArrayRecord, w.get(), [this](int) { ++blocks; });
    }

    void TearDown() override
    {
        // Everything that talks to the server goes before the next test, in order:
        // outside processes, then the window and its components, then their deferred deletes.
        if (!pluggedModule.isEmpty())
            pactl({QStringLiteral("unload-module"), pluggedModule});
        for (QProcess *p : {&player, &capture}) {
            if (p->state() != QProcess::NotRunning) {
                p->kill();
                p->waitForFinished(3000);
            }
        }
        w.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        fp.reset();
    }

    // Plays a tone into the server's speaker with the server's own tool, independent of ours.
    void playTone(double hz, double seconds)
    {
        const QString wav = dir.filePath(QStringLiteral("tone.wav"));
        ASSERT_TRUE(writeWav(wav, bytesOf(tone(hz, seconds)), 44100));
        player.start(QStringLiteral("paplay"), {QStringLiteral("-d"), sink, wav});
        ASSERT_TRUE(player.waitForStarted(3000));
    }

    // Records from Record to Stop, stopping right after the given number of 1-second blocks.
    void recordBlocks(int count)
    {
        blocks = 0;
        w->cmdRecRecord_Click();
        ASSERT_EQ(w->status(), QStringLiteral("Recording...")) << qPrintable(w->status());
        ASSERT_TRUE(QTest::qWaitFor([&] { return blocks >= count; }, 1000 * count + 5000));
        w->cmdRecStop_Click();
    }

    // Plays a WAV file into the server's speaker.
    void playFile(const QString &wav)
    {
        player.start(QStringLiteral("paplay"), {QStringLiteral("-d"), sink, wav});
        ASSERT_TRUE(player.waitForStarted(3000));
    }

    QString pactl(const QStringList &args)
    {
        QProcess p;
        p.start(QStringLiteral("pactl"), args);
        p.waitForFinished(5000);
        return QString::fromLocal8Bit(p.readAllStandardOutput());
    }

    // Chooses the record source labelled label with the mouse.
    void chooseSource(const QString &label)
    {
        const int row = w->cmbSrcInput->findText(label);
        ASSERT_GE(row, 0) << qPrintable(label);
        chooseInCombo(w->cmbSrcInput, row);
        ASSERT_EQ(w->cmbSrcInput->currentText(), label);
    }

    QString sink, source, pluggedModule;
    std::unique_ptr<FakePlatform> fp;
    std::unique_ptr<frmMAIN> w;
    QTemporaryDir dir;
    QProcess player, capture;
    int blocks = 0;
};

} // namespace

TEST_F(AudioServer, InputsSourceAndVolumeComeFromTheServer)
{
    // Every input, labelled as the server describes it, but not the speaker's monitor;
    // the default input is preselected although it is not listed last.
    QStringList labels;
    for (int i = 0; i < w->cmbSrcInput->count(); ++i)
        labels << w->cmbSrcInput->itemText(i);
    labels.sort();
    EXPECT_EQ(labels, QStringList({"Parlivo-Microphone", "Parlivo-Silence", "Parlivo-Tone"}));
    EXPECT_EQ(w->cmbSrcInput->currentText(), QStringLiteral("Parlivo-Microphone"));
    EXPECT_NE(w->cmbSrcInput->currentIndex(), w->cmbSrcInput->count() - 1);
    EXPECT_EQ(w->cmbDevInput->currentText(), QStringLiteral("Parlivo-Microphone"));
    EXPECT_EQ(w->cmbDevInput->count(), 3);
    EXPECT_EQ(w->sldrVolumeInp->maximum(), 100);
    EXPECT_EQ(w->sldrVolumeInp->value(), 100);

    // The slider and the server's mixer agree both ways, for the entry chosen.
    w->sldrVolumeInp->setValue(40);
    EXPECT_TRUE(pactl({QStringLiteral("get-source-volume"), source}).contains(QStringLiteral("40%")))
        << qPrintable(pactl({QStringLiteral("get-source-volume"), source}));
    pactl({QStringLiteral("set-source-volume"), QStringLiteral("parlivo_tone"), QStringLiteral("75%")});
    chooseSource(QStringLiteral("Parlivo-Tone"));
    EXPECT_EQ(w->sldrVolumeInp->value(), 75);
    w->sldrVolumeInp->setValue(100);
    EXPECT_TRUE(pactl({QStringLiteral("get-source-volume"), QStringLiteral("parlivo_tone")}).contains(QStringLiteral("100%")));
    chooseSource(QStringLiteral("Parlivo-Microphone"));
    EXPECT_EQ(w->sldrVolumeInp->value(), 40);
    w->sldrVolumeInp->setValue(100);
}

TEST_F(AudioServer, AChosenInputIsTheOneRecorded)
{
    playTone(440, 8);
    chooseSource(QStringLiteral("Parlivo-Tone"));
    recordBlocks(2);
    DecodedAudio audio = decodeAudioFile(w->draft.my_recording);
    ASSERT_TRUE(audio.ok()) << qPrintable(audio.error);
    EXPECT_NEAR(pitchOf(audio.pcm, 44100), 880.0, 3.0);
    EXPECT_NEAR(rmsOf(audio.pcm.mid(audio.pcm.size() / 4 & ~1, audio.pcm.size() / 2 & ~1)), 0.5 / std::sqrt(2.0), 0.05);

    chooseSource(QStringLiteral("Parlivo-Silence"));
    recordBlocks(1);
    audio = decodeAudioFile(w->draft.my_recording);
    ASSERT_TRUE(audio.ok()) << qPrintable(audio.error);
    EXPECT_LT(rmsOf(audio.pcm), 0.001);
}

TEST_F(AudioServer, AnInputPluggedInWhileTheWindowIsOpenIsListed)
{
    pluggedModule = pactl({QStringLiteral("load-module"), QStringLiteral("module-null-source"),
                           QStringLiteral("source_name=parlivo_plugged"), QStringLiteral("description=Parlivo-Plugged")})
                        .trimmed();
    ASSERT_FALSE(pluggedModule.isEmpty());
    EXPECT_TRUE(QTest::qWaitFor([&] { return w->cmbSrcInput->findText(QStringLiteral("Parlivo-Plugged")) >= 0; }, 5000));
    EXPECT_EQ(w->cmbSrcInput->currentText(), QStringLiteral("Parlivo-Microphone"));

    pactl({QStringLiteral("unload-module"), pluggedModule});
    pluggedModule.clear();
    EXPECT_TRUE(QTest::qWaitFor([&] { return w->cmbSrcInput->findText(QStringLiteral("Parlivo-Plugged")) < 0; }, 5000));
}

TEST_F(AudioServer, RecordedToneIsAnExactMp3AndASecondRecordingReplacesIt)
{
    playTone(440, 8);
    // The meter hears the tone before Record is pressed.
    float level = 0;
    QObject::connect(w->AudioRecord.get(), &AudioRecorder::levelChanged, w.get(), [&](float v) { level = std::max(level, v); });
    w->AudioRecord->setMonitoring(true);
    EXPECT_TRUE(QTest::qWaitFor([&] { return level > 0.3f; }, 3000)) << level;
    w->AudioRecord->setMonitoring(false);

    const QString path = w->txtRecFilename->text();
    recordBlocks(3);
    EXPECT_TRUE(w->draft.i_recorded);
    EXPECT_EQ(w->draft.my_recording, path);
    EXPECT_EQ(w->status(), QString());

    const Mp3Info info = readMp3InfoFile(path);
    ASSERT_TRUE(info.valid) << qPrintable(path);
    EXPECT_EQ(info.sampleRate, 44100);
    EXPECT_EQ(info.channels, 1);
    EXPECT_EQ(info.bitrateKbps, 128);
    EXPECT_TRUE(info.constantBitrate);
    EXPECT_TRUE(info.hasInfoFrame);
    const DecodedAudio audio = decodeAudioFile(path);
    ASSERT_TRUE(audio.ok()) << qPrintable(audio.error);
    EXPECT_EQ(audio.sampleRate, 44100);
    EXPECT_EQ(audio.channels, 1);
    EXPECT_NEAR(audio.seconds(), 3.0, 0.1);
    EXPECT_NEAR(pitchOf(audio.pcm, 44100), 440.0, 3.0);
    // The middle half, cut on whole samples.
    const qsizetype samples = audio.pcm.size() / 2;
    EXPECT_NEAR(rmsOf(audio.pcm.mid(2 * (samples / 4), 2 * (samples / 2))), 0.5 / std::sqrt(2.0), 0.05);

    // Recording again without a new path replaces the first file.
    recordBlocks(1);
    const DecodedAudio second = decodeAudioFile(path);
    ASSERT_TRUE(second.ok());
    EXPECT_NEAR(second.seconds(), 1.0, 0.1);
    EXPECT_FALSE(QFile::exists(path + QStringLiteral(".part")));
}

TEST_F(AudioServer, ChosenMp3StaysByteForByteIntact)
{
    const QString mine = dir.filePath(QStringLiteral("mine.mp3"));
    {
        Mp3Encoder enc;
        ASSERT_TRUE(enc.open(mine, 44100, 44100, 1, 128));
        const auto t = tone(660, 1.0);
        enc.encode(t.data(), int(t.size()));
        ASSERT_TRUE(enc.close());
    }
    QFile f(mine);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray before = f.readAll();
    f.close();

    fp->fileDialog.answers = {mine};
    w->Button6_Click();
    ASSERT_EQ(w->txtRecFilename->text(), mine);
    playTone(440, 4);
    recordBlocks(1);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), before);
    EXPECT_NE(w->draft.my_recording, mine);
    EXPECT_TRUE(decodeAudioFile(w->draft.my_recording).ok());
}

TEST_F(AudioServer, CounterLimitStopsARealRecording)
{
    w->cmdRecRecord_Click();
    ASSERT_TRUE(w->Timer2->isActive());
    w->Timer2->stop();   // ticks are driven by hand: 125 seconds are not waited for
    for (int i = 0; i < 125; ++i)
        w->Timer2_Timer();
    EXPECT_EQ(w->draft.my_time2, 0);
    EXPECT_TRUE(w->lblRecInfoMS->text().isEmpty());
    // The writer was closed: the file is a complete MP3 of what arrived meanwhile.
    EXPECT_TRUE(readMp3InfoFile(w->draft.my_recording).hasInfoFrame);
    // And the recorder is idle again: a new recording starts.
    recordBlocks(1);
    EXPECT_TRUE(decodeAudioFile(w->draft.my_recording).ok());
}

TEST_F(AudioServer, PlaybackReachesTheSpeaker)
{
    const QString path = w->txtRecFilename->text();
    {
        Mp3Encoder enc;
        ASSERT_TRUE(enc.open(path, 44100, 44100, 1, 128));
        const auto t = tone(550, 1.5);
        enc.encode(t.data(), int(t.size()));
        ASSERT_TRUE(enc.close());
    }
    capture.start(QStringLiteral("parec"), {QStringLiteral("--raw"), QStringLiteral("--format=s16le"),
                                            QStringLiteral("--rate=44100"), QStringLiteral("--channels=1"),
                                            QStringLiteral("--latency-msec=20"), QStringLiteral("-d"),
                                            sink + QStringLiteral(".monitor")});
    ASSERT_TRUE(capture.waitForStarted(3000));
    QTest::qWait(300);

    QStringList times;
    QObject::connect(w->SMAudioPlayAndRecordX1.get(), &AudioPlayer::timeNotification, w.get(),
                     [&] { times << w->lblRecInfoMS->text(); });
    w->Button4_Click();
    EXPECT_EQ(w->status(), QStringLiteral("Playing audio file..."));
    EXPECT_EQ(w->txtWaveFilename->text(), path);
    QElapsedTimer clock;
    clock.start();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !times.isEmpty() && times.last() == QStringLiteral("1.5"); }, 6000))
        << qPrintable(times.join(QLatin1Char(' ')));
    QTest::qWait(400);
    capture.terminate();
    capture.waitForFinished(3000);
    const QByteArray heard = capture.readAllStandardOutput();

    EXPECT_TRUE(fp->messageBox.shown.empty());
    EXPECT_GE(times.size(), 10);   // about every 100 ms
    // The whole clip reached the speaker: 1.5 s of the tone at its level and pitch.
    qsizetype loudFrames = 0;
    QByteArray loud;
    const auto *s = reinterpret_cast<const qint16 *>(heard.constData());
    for (qsizetype i = 0; i + 441 <= heard.size() / 2; i += 441) {
        const QByteArray slice(reinterpret_cast<const char *>(s + i), 882);
        if (rmsOf(slice) > 0.1) {
            loudFrames += 441;
            loud += slice;
        }
    }
    EXPECT_NEAR(double(loudFrames) / 44100, 1.5, 0.05);
    EXPECT_NEAR(pitchOf(loud, 44100), 550.0, 3.0);
}

TEST_F(AudioServer, PlayerErrorsReachTheMessageBox)
{
    w->txtRecFilename->setText(dir.filePath(QStringLiteral("never-recorded.mp3")));
    w->Button4_Click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !fp->messageBox.shown.empty(); }, 3000));
    EXPECT_EQ(fp->messageBox.shown[0].text, QStringLiteral("file not found"));

    const QString junk = dir.filePath(QStringLiteral("junk.mp3"));
    QFile f(junk);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(QByteArray("no sound in here\n").repeated(100));
    f.close();
    w->txtRecFilename->setText(junk);
    w->Button4_Click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return fp->messageBox.shown.size() >= 2; }, 3000));
    EXPECT_EQ(fp->messageBox.shown[1].text, QStringLiteral("not an audio file"));
    // The window carries on: the stop button still works.
    w->cmdAudioStop_Click();
    EXPECT_EQ(w->status(), QString());
}

TEST_F(AudioServer, RecordCommandWritesTheAskedLength)
{
    playTone(440, 4);
    const QString out = dir.filePath(QStringLiteral("cli.mp3"));
    EXPECT_EQ(runRecordCommand({QStringLiteral("--seconds"), QStringLiteral("1.5"), QStringLiteral("-o"), out,
                                QStringLiteral("--device"), QStringLiteral("parlivo-microphone")}),
              0);
    const DecodedAudio audio = decodeAudioFile(out);
    ASSERT_TRUE(audio.ok()) << qPrintable(audio.error);
    EXPECT_NEAR(audio.seconds(), 1.5, 0.03);
    EXPECT_NEAR(pitchOf(audio.pcm, 44100), 440.0, 3.0);
    EXPECT_EQ(readMp3InfoFile(out).bitrateKbps, 128);

    EXPECT_EQ(runRecordCommand({QStringLiteral("--list-devices")}), 0);
    // Wrong use and impossible requests fail without writing anything.
    const QString none = dir.filePath(QStringLiteral("none.mp3"));
    EXPECT_EQ(runRecordCommand({QStringLiteral("--seconds"), QStringLiteral("126"), QStringLiteral("-o"), none}), 2);
    EXPECT_EQ(runRecordCommand({QStringLiteral("--seconds"), QStringLiteral("abc"), QStringLiteral("-o"), none}), 2);
    EXPECT_EQ(runRecordCommand({QStringLiteral("--seconds"), QStringLiteral("1")}), 2);
    EXPECT_EQ(runRecordCommand({QStringLiteral("--seconds"), QStringLiteral("1"), QStringLiteral("-o"), none,
                                QStringLiteral("--device"), QStringLiteral("No Such Device")}),
              1);
    EXPECT_EQ(runRecordCommand({QStringLiteral("--seconds"), QStringLiteral("1"), QStringLiteral("-o"),
                                dir.filePath(QStringLiteral("missing/x.mp3"))}),
              1);
    EXPECT_FALSE(QFile::exists(none));
}

namespace {

// Integrated loudness and true peak as ffmpeg's own meter reads the file.
bool ffmpegLoudness(const QString &path, double *lufs, double *peak)
{
    QProcess p;
    p.start(QStringLiteral("ffmpeg"), {QStringLiteral("-hide_banner"), QStringLiteral("-nostats"), QStringLiteral("-i"), path,
                                       QStringLiteral("-af"), QStringLiteral("ebur128=peak=true"), QStringLiteral("-f"),
                                       QStringLiteral("null"), QStringLiteral("-")});
    if (!p.waitForFinished(30000))
        return false;
    const QString out = QString::fromLocal8Bit(p.readAllStandardError());
    const QString summary = out.mid(out.lastIndexOf(QStringLiteral("Summary:")));
    const auto i = QRegularExpression(QStringLiteral("I:\\s+(-?[0-9.]+) LUFS")).match(summary);
    const auto tp = QRegularExpression(QStringLiteral("Peak:\\s+(-?[0-9.]+|-inf) dBFS")).match(summary);
    if (!i.hasMatch() || !tp.hasMatch())
        return false;
    *lufs = i.captured(1).toDouble();
    *peak = tp.captured(1) == QLatin1String("-inf") ? -200 : tp.captured(1).toDouble();
    return true;
}

// Mono 44.1 kHz samples of the synthesiser speaking text, without its own leading and trailing quiet.
std::vector<qint16> spoken(const QString &text, const QString &dir)
{
    EspeakEngine e;
    bool done = false;
    QObject::connect(&e, &SpeechEngine::speakToFileFinished, [&](bool, const QString &) { done = true; });
    e.setOutputFormat(SpeechFormat::WAV);
    const QString wav = dir + QStringLiteral("/speech.wav");
    e.speakToFile(text, wav, 1);
    QTest::qWaitFor([&] { return done; }, 15000);
    const DecodedAudio a = decodeAudioFile(wav);
    std::vector<qint16> s;
    if (!a.ok())
        return s;
    const auto *p = reinterpret_cast<const qint16 *>(a.pcm.constData());
    // Resampled by repeating samples: the test needs a voice, not fidelity.
    for (qint64 i = 0; i < qint64(a.frames) * 44100 / a.sampleRate; ++i)
        s.push_back(p[(i * a.sampleRate / 44100) * a.channels]);
    auto loud = [](qint16 v) { return std::abs(int(v)) > 300; };
    const auto first = std::find_if(s.begin(), s.end(), loud);
    const auto last = std::find_if(s.rbegin(), s.rend(), loud).base();
    return first < last ? std::vector<qint16>(first, last) : std::vector<qint16>{};
}

} // namespace

TEST_F(AudioServer, ARecordingLosesItsSilenceAndIsLevelledAndUndoGivesItBack)
{
    if (!EspeakEngine::available())
        GTEST_SKIP() << "the speech synthesiser's data files are not installed";
    fp->platform().createLoudnessMeter = makeLoudnessMeter;
    std::vector<qint16> voice = spoken(QStringLiteral("We will meet at the station at seven tonight."), dir.path());
    ASSERT_GT(voice.size(), size_t(44100 * 2));
    voice.resize(std::min(voice.size(), size_t(3 * 44100)));   // 3 s of speech
    for (auto &v : voice)
        v = qint16(v / 4);   // a quiet microphone
    std::vector<qint16> played(size_t(2 * 44100), 0);
    played.insert(played.end(), voice.begin(), voice.end());
    played.insert(played.end(), size_t(2 * 44100), 0);
    const QString wav = dir.filePath(QStringLiteral("played.wav"));
    ASSERT_TRUE(writeWav(wav, bytesOf(played), 44100));

    QSignalSpy edited(w.get(), &frmMAIN::audioEditFinished);
    playFile(wav);
    recordBlocks(8);
    const QString recorded = w->draft.my_recording;
    const DecodedAudio raw = decodeAudioFile(recorded);
    ASSERT_TRUE(edited.wait(10000));
    ASSERT_NE(w->draft.my_recording, recorded) << qPrintable(w->status());
    EXPECT_EQ(w->txtRecFilename->text(), w->draft.my_recording);
    EXPECT_TRUE(w->status().startsWith(QStringLiteral("Trimmed "))) << qPrintable(w->status());
    const DecodedAudio trimmed = decodeAudioFile(w->draft.my_recording);
    EXPECT_NEAR(trimmed.seconds(), voice.size() / 44100.0 + 2 * SilencePadMs / 1000.0, 0.1);
    double lufs = 0, peak = 0;
    ASSERT_TRUE(ffmpegLoudness(w->draft.my_recording, &lufs, &peak));
    EXPECT_NEAR(lufs, -16, 1);
    EXPECT_LT(peak, -1);

    ASSERT_TRUE(w->undoAudioEdit());
    EXPECT_EQ(w->draft.my_recording, recorded);
    EXPECT_EQ(decodeAudioFile(recorded).pcm, raw.pcm);
}

TEST_F(AudioServer, BackgroundNoiseAloneIsNotAmplified)
{
    fp->platform().createLoudnessMeter = makeLoudnessMeter;
    std::vector<qint16> noise(size_t(4 * 44100));
    quint32 state = 7;
    for (auto &v : noise) {
        state = state * 1664525u + 1013904223u;
        v = qint16(int(state >> 16) % 200 - 100);   // about -55 dBFS
    }
    const QString wav = dir.filePath(QStringLiteral("noise.wav"));
    ASSERT_TRUE(writeWav(wav, bytesOf(noise), 44100));
    QSignalSpy edited(w.get(), &frmMAIN::audioEditFinished);
    playFile(wav);
    recordBlocks(2);
    const QString recorded = w->draft.my_recording;
    const QByteArray before = decodeAudioFile(recorded).pcm;
    ASSERT_TRUE(edited.wait(10000));
    EXPECT_EQ(w->status(), QStringLiteral("The recording is almost silent: check the microphone")) << qPrintable(w->status());
    EXPECT_EQ(w->draft.my_recording, recorded);
    EXPECT_EQ(decodeAudioFile(recorded).pcm, before);
}
