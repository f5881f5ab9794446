// The panel's window-free rules: line breaks handed to the component, word positions
// brought back into the text field, and which files a conversion may touch.
#include "audio/SpeechText.h"

#include <gtest/gtest.h>

namespace parlivo {
namespace {

TEST(SpeechText, LineBreaksGoOutAsCrLfAndPositionsComeBack)
{
    EXPECT_EQ(speechTextOf(QStringLiteral("a\nb\n")), QStringLiteral("a\r\nb\r\n"));
    EXPECT_EQ(speechTextOf(QStringLiteral("a\r\nb")), QStringLiteral("a\r\nb"));
    EXPECT_EQ(speechTextOf(QStringLiteral("\n\n")), QStringLiteral("\r\n\r\n"));
    EXPECT_EQ(speechTextOf(QString()), QString());

    const QString field = QStringLiteral("one\ntwo 😀\n\nthree");
    const QString spoken = speechTextOf(field);
    for (const QString word : {QStringLiteral("one"), QStringLiteral("two"), QStringLiteral("😀"), QStringLiteral("three")}) {
        const int inSpoken = int(spoken.indexOf(word));
        EXPECT_EQ(fieldPosition(spoken, inSpoken), field.indexOf(word)) << qPrintable(word);
        EXPECT_EQ(fieldPosition(spoken, inSpoken + int(word.size())), field.indexOf(word) + word.size());
    }
    EXPECT_EQ(fieldPosition(spoken, 0), 0);
    EXPECT_EQ(fieldPosition(spoken, -4), 0);
    EXPECT_EQ(fieldPosition(QString(), 7), 7);   // nothing to correct for
}

TEST(SpeechText, OnlyIssuedWorkingFilesCountAsTheProgramsOwn)
{
    const QString temp = QStringLiteral("/opt/parlivo/Temp/");
    EXPECT_TRUE(isAudioWorkingFile("/opt/parlivo/Temp/1234567890_14_05_09.mp3", temp));
    EXPECT_TRUE(isAudioWorkingFile("/opt/parlivo/Temp/-1_00_00_00.mp3", temp));
    EXPECT_TRUE(isAudioWorkingFile("/opt/parlivo/Temp/../Temp/77_23_59_59.mp3", temp));
    EXPECT_TRUE(isAudioWorkingFile("/opt/parlivo/Temp/77_23_59_59.mp3", "/opt/parlivo/Temp"));

    EXPECT_FALSE(isAudioWorkingFile("", temp));
    EXPECT_FALSE(isAudioWorkingFile("/home/me/Music/1234567890_14_05_09.mp3", temp));
    EXPECT_FALSE(isAudioWorkingFile("/opt/parlivo/Temp/sub/1234567890_14_05_09.mp3", temp));
    EXPECT_FALSE(isAudioWorkingFile("/opt/parlivo/Temp/my song.mp3", temp));
    EXPECT_FALSE(isAudioWorkingFile("/opt/parlivo/Temp/1234567890_14_05_09.wav", temp));
    EXPECT_FALSE(isAudioWorkingFile("/opt/parlivo/Temp/1234567890_14_05.mp3", temp));
    EXPECT_FALSE(isAudioWorkingFile("/opt/parlivo/Quillbox/1234567890_14_05_09.mp3", temp));
}

} // namespace
} // namespace parlivo
