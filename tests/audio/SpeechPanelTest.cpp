// The text-to-speech panel of the main window against a fake speech component: the
// lists it fills, the calls it makes in which order, and what reaches the draft.
#include "fakes/FakePlatform.h"
#include "fakes/UserInput.h"
#include "audio/SpeechText.h"

#include <QComboBox>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QScrollBar>
#include <QTextCursor>

#include <gtest/gtest.h>

namespace parlivo::test {
namespace {

const QString InitialText = QStringLiteral("Input what text you want to use as your message \r\n"
                                           "then click to Play (for testing) or select to Convert...\r\n");

QStringList items(QComboBox *box)
{
    QStringList out;
    for (int i = 0; i < box->count(); ++i)
        out << box->itemText(i);
    return out;
}

class SpeechPanelTest : public ::testing::Test
{
protected:
    FakePlatform fake;
};

TEST_F(SpeechPanelTest, StartUpFillsTheListsAndLeavesMp3Showing)
{
    auto w = fake.makeWindow();
    EXPECT_EQ(items(w->Combo3), (QStringList{"WAV", "MP3", "WMA", "OGG", "VOX", "AU", "AIFF", "MP4", "FLAC"}));
    EXPECT_EQ(w->Combo3->currentIndex(), 1);
    EXPECT_EQ(items(w->Combo2), fake.lastSpeech->voices);
    EXPECT_EQ(w->Combo2->currentIndex(), 0);
    EXPECT_EQ(items(w->Combo1), (QStringList{"option 0", "option 1"}));
    EXPECT_EQ(w->Combo1->currentIndex(), 0);
    ASSERT_EQ(fake.speechEnginesMade, 1);
    EXPECT_EQ(w->tts.get(), fake.lastSpeech);
    // The format applied is the one showing at that moment (WAV); showing MP3 afterwards
    // does not reach the component, which keeps the last option selected.
    EXPECT_EQ(fake.lastSpeech->calls, (QStringList{"setOutputFormat 0", "selectOption 0", "selectOption 1", "selectVoice 0"}));
    EXPECT_EQ(fake.lastSpeech->option, 1);
    EXPECT_EQ(w->Text4->toPlainText(), QString(InitialText).replace("\r\n", "\n"));
    EXPECT_EQ(w->HScroll1->value(), 0);
    EXPECT_EQ(w->HScroll3->value(), 100);
    EXPECT_EQ(w->HScroll2->value(), 0);
}

TEST_F(SpeechPanelTest, WithoutASpeechComponentNothingEndsTheProgram)
{
    fake.speechAvailable = false;
    auto w = fake.makeWindow();
    EXPECT_EQ(w->tts, nullptr);
    EXPECT_EQ(w->Combo2->count(), 0);
    EXPECT_EQ(w->Combo2->currentIndex(), -1);
    EXPECT_EQ(w->Combo3->currentIndex(), 1);

    w->Button19_Click();   // stop with no component
    EXPECT_EQ(w->Combo1->currentIndex(), -1);
    w->Combo1_Click();
    w->Button16_Click();
    EXPECT_TRUE(w->status().contains("could not play")) << qPrintable(w->status());
    w->Button15_Click();
    EXPECT_TRUE(w->status().startsWith("Text 2 Speech conversion failed")) << qPrintable(w->status());
    EXPECT_FALSE(w->draft.i_recorded);
}

TEST_F(SpeechPanelTest, ConvertHandsTheTextToTheWorkingFileAndMarksAudioOnlyWhenWritten)
{
    auto w = fake.makeWindow();
    w->HScroll1->setValue(-4);
    w->HScroll3->setValue(60);
    w->HScroll2->setValue(7);
    w->draft.i_recorded = true;   // an earlier recording
    w->Button15_Click();

    ASSERT_EQ(fake.speechEnginesMade, 2);
    FakeSpeechEngine *e = fake.lastSpeech;
    EXPECT_EQ(w->tts.get(), e);
    EXPECT_EQ(e->calls, (QStringList{"setOutputFormat 1", "selectOption 0", "selectOption 1", "selectOption 0",
                                     "selectVoice 0", "setSetting 1 -4", "setSetting 2 60", "setSetting 3 7",
                                     "speakToFile 1 " + w->txtRecFilename->text()}));
    EXPECT_EQ(e->lastText, InitialText);   // unchanged, CR LF line breaks included
    EXPECT_EQ(w->draft.my_recording, w->txtRecFilename->text());
    EXPECT_EQ(w->Combo1->currentIndex(), 0);
    // Not an audio message until the component says the file is complete.
    EXPECT_FALSE(w->draft.i_recorded);
    Q_EMIT e->OnTTSStart();
    EXPECT_EQ(w->status(), "Text 2 Speech engine working...");
    Q_EMIT e->OnTTSEnd();
    EXPECT_EQ(w->status(), "Text 2 Speech engine work done!");
    Q_EMIT e->speakToFileFinished(true, {});
    EXPECT_TRUE(w->draft.i_recorded);
}

TEST_F(SpeechPanelTest, AFailedConversionSaysSoAndLeavesNoAudio)
{
    auto w = fake.makeWindow();
    w->Button15_Click();
    Q_EMIT fake.lastSpeech->OnTTSEnd();
    Q_EMIT fake.lastSpeech->speakToFileFinished(false, "The disk is full.");
    EXPECT_FALSE(w->draft.i_recorded);
    EXPECT_EQ(w->status(), "Text 2 Speech conversion failed: The disk is full.");
}

TEST_F(SpeechPanelTest, ASecondConversionReleasesTheFirstAndDeletesItsFile)
{
    auto w = fake.makeWindow();
    w->Button15_Click();
    QPointer<FakeSpeechEngine> first = fake.lastSpeech;
    const QString out = w->draft.my_recording;
    ASSERT_TRUE(isAudioWorkingFile(out, w->folders().tempFolder()));
    { QFile f(out); ASSERT_TRUE(f.open(QIODevice::WriteOnly)); f.write("old audio"); }
    Q_EMIT first->speakToFileFinished(true, {});
    ASSERT_TRUE(w->draft.i_recorded);

    w->Button15_Click();
    EXPECT_TRUE(first.isNull());   // released, so its notifications stop
    EXPECT_FALSE(QFileInfo::exists(out));
    EXPECT_FALSE(w->draft.i_recorded);
    EXPECT_EQ(fake.lastSpeech->lastPath, out);   // the same path is written again
    // A component already at the right format is not set again; it keeps its own option
    // list and is given the option showing.
    fake.speechInitialFormat = 1;
    w->Button15_Click();
    EXPECT_EQ(fake.lastSpeech->calls.first(), "selectOption 0");
    EXPECT_FALSE(fake.lastSpeech->calls.contains("setOutputFormat 1"));
}

TEST_F(SpeechPanelTest, AChosenMp3IsNeitherDeletedNorOverwritten)
{
    auto w = fake.makeWindow();
    const QString mine = fake.plant("Music/my message.mp3", "the user's own audio");
    w->txtRecFilename->setText(mine);
    w->draft.my_recording = mine;
    w->draft.i_recorded = true;

    w->Button15_Click();
    EXPECT_TRUE(QFileInfo::exists(mine));
    const QString target = fake.lastSpeech->lastPath;
    EXPECT_NE(target, mine);
    EXPECT_TRUE(isAudioWorkingFile(target, w->folders().tempFolder())) << qPrintable(target);
    EXPECT_EQ(w->txtRecFilename->text(), target);
    EXPECT_EQ(w->draft.my_recording, target);
    QFile f(mine);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), "the user's own audio");
}

TEST_F(SpeechPanelTest, ConvertedTextHasCaptionsUntilARecordingOrAChosenMp3ReplacesIt)
{
    auto w = fake.makeWindow();
    w->Text4->setPlainText("Hello there.\nGood bye.");
    const auto convert = [&] {
        w->Button15_Click();
        const QString spoken = fake.lastSpeech->lastText;
        EXPECT_TRUE(w->draft.my_captions.isEmpty());
        Q_EMIT fake.lastSpeech->fileWordTimes({{int(spoken.indexOf("Hello")), 5, 100}, {int(spoken.indexOf("Good")), 4, 900}},
                                              1500);
        Q_EMIT fake.lastSpeech->speakToFileFinished(true, {});
    };
    convert();
    EXPECT_EQ(w->draft.my_captions.transcript, "Hello there.\nGood bye.");
    EXPECT_EQ(w->draft.my_captions.webVtt, "WEBVTT\n\n1\n00:00:00.100 --> 00:00:00.900\nHello there.\n\n"
                                           "2\n00:00:00.900 --> 00:00:01.500\nGood bye.\n");
    // A recording that cannot start keeps the converted audio, and its captions with it.
    fake.lastWriter->status = -1;
    w->cmdRecRecord_Click();
    EXPECT_FALSE(w->draft.my_captions.isEmpty());
    fake.lastWriter->status = 0;
    w->cmdRecRecord_Click();
    w->cmdRecStop_Click();
    EXPECT_TRUE(w->draft.i_recorded);
    EXPECT_TRUE(w->draft.my_captions.isEmpty());

    convert();
    ASSERT_FALSE(w->draft.my_captions.isEmpty());
    fake.fileDialog.answers = {fake.plant("music/mine.mp3", "my own audio")};
    w->Button6_Click();
    EXPECT_TRUE(w->draft.my_captions.isEmpty());

    // A conversion that fails leaves none either.
    w->Button15_Click();
    Q_EMIT fake.lastSpeech->speakToFileFinished(false, "The disk is full.");
    EXPECT_TRUE(w->draft.my_captions.isEmpty());
}

TEST_F(SpeechPanelTest, PlayToTestSpeaksWithANewComponentAndLeavesTheDraftAlone)
{
    auto w = fake.makeWindow();
    w->draft.i_recorded = true;
    w->draft.my_recording = "/somewhere/else.mp3";
    w->Text4->setPlainText("line one\nline two");
    w->Button16_Click();
    QPointer<FakeSpeechEngine> first = fake.lastSpeech;
    EXPECT_EQ(first->calls, (QStringList{"selectVoice 0", "setSetting 1 0", "setSetting 2 100", "setSetting 3 0",
                                         "speak 3 line one\r\nline two"}));
    EXPECT_TRUE(w->draft.i_recorded);
    EXPECT_EQ(w->draft.my_recording, "/somewhere/else.mp3");

    // Pressed again while speaking: the speaking component goes, a new one starts over.
    w->Button16_Click();
    EXPECT_TRUE(first.isNull());
    EXPECT_EQ(fake.speechEnginesMade, 3);
    EXPECT_TRUE(fake.lastSpeech->calls.last().startsWith("speak 3 line one"));

    // Stop reaches the speaking component and the option list returns to its first entry.
    w->Combo1->setCurrentIndex(1);
    w->Button19_Click();
    EXPECT_EQ(fake.lastSpeech->calls.last(), "stop");
    EXPECT_EQ(w->Combo1->currentIndex(), 0);
}

TEST_F(SpeechPanelTest, AVoiceChangeWaitsForTheNextPlayOrConvert)
{
    auto w = fake.makeWindow();
    FakeSpeechEngine *atStart = fake.lastSpeech;
    const QStringList before = atStart->calls;
    parlivo::test::chooseInCombo(w->Combo2, 1);
    ASSERT_EQ(w->Combo2->currentIndex(), 1);
    EXPECT_EQ(atStart->calls, before);
    EXPECT_EQ(atStart->voice, 0);
    w->Button16_Click();
    EXPECT_EQ(fake.lastSpeech->voice, 1);
    w->Button15_Click();
    EXPECT_TRUE(fake.lastSpeech->calls.contains("selectVoice 1"));
}

TEST_F(SpeechPanelTest, TheSpokenWordIsMarkedAndUnmarkedAtTheEnd)
{
    auto w = fake.makeWindow();
    w->Text4->setPlainText(QStringLiteral("first line\nsecond 😀 word\n"));
    w->Button16_Click();
    const QString spoken = fake.lastSpeech->calls.last().mid(8);
    FakeSpeechEngine *e = fake.lastSpeech;
    for (const QString word : {QStringLiteral("first"), QStringLiteral("second"), QStringLiteral("😀"), QStringLiteral("word")}) {
        Q_EMIT e->OnTTSWord(int(spoken.indexOf(word)), int(word.size()));
        EXPECT_EQ(w->Text4->textCursor().selectedText(), word);
    }
    Q_EMIT e->OnTTSEnd();
    EXPECT_FALSE(w->Text4->textCursor().hasSelection());
    EXPECT_EQ(w->Text4->textCursor().position(), w->Text4->toPlainText().indexOf("word"));

    // Positions past an edited, shorter text stay inside it.
    w->Text4->setPlainText("ab");
    Q_EMIT e->OnTTSWord(40, 5);
    EXPECT_LE(w->Text4->textCursor().selectionEnd(), 2);
    Q_EMIT e->OnTTSWord(-3, -1);
    EXPECT_FALSE(w->Text4->textCursor().hasSelection());
}

} // namespace
} // namespace parlivo::test
