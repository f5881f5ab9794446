// parlivo speak: the window's conversion from the command line.
#include "platform/speech/EspeakAudioProbe.h"

#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace parlivo::test {
namespace {

struct Result
{
    int code = -1;
    QString out, err;
};

Result speak(const QStringList &args)
{
    QProcess p;
    p.start(QStringLiteral(PARLIVO_APP_DIR "/parlivo"), QStringList{"speak"} + args);
    p.waitForFinished(60000);
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1,
            QString::fromLocal8Bit(p.readAllStandardOutput()), QString::fromLocal8Bit(p.readAllStandardError())};
}

TEST(SpeechCommand, ListsVoicesAndWritesTheFormatTheNameAsksFor)
{
    const Result voices = speak({"--list-voices"});
    if (voices.code == 1)
        GTEST_SKIP() << "the speech synthesiser's data files are not installed";
    ASSERT_EQ(voices.code, 0) << qPrintable(voices.err);
    const QStringList lines = voices.out.split('\n', Qt::SkipEmptyParts);
    ASSERT_GT(lines.size(), 20);
    EXPECT_TRUE(lines.first().startsWith("gmw/en\t")) << qPrintable(lines.first());
    EXPECT_TRUE(voices.out.contains("roa/fr\t"));

    QTemporaryDir dir;
    const QString mp3 = dir.path() + "/message";   // no extension: MP3
    const Result a = speak({"--text", "Hello from the command line.", "-o", mp3, "--rate", "3", "--volume", "80"});
    ASSERT_EQ(a.code, 0) << qPrintable(a.err);
    EXPECT_EQ(a.out.trimmed(), mp3);
    const Mp3Probe p = probeMp3(mp3);
    EXPECT_TRUE(p.valid);
    EXPECT_EQ(p.sampleRate, 44100);

    QFile text(dir.path() + "/in.txt");
    ASSERT_TRUE(text.open(QIODevice::WriteOnly));
    text.write("Bonjour à tous.\n");
    text.close();
    const Result b = speak({"--file", text.fileName(), "-o", dir.path() + "/fr.wav", "--voice", "roa/fr", "--pitch", "-4"});
    ASSERT_EQ(b.code, 0) << qPrintable(b.err);
    EXPECT_EQ(probeWav(dir.path() + "/fr.wav").sampleRate, 22050);
    EXPECT_GT(QFileInfo(dir.path() + "/fr.wav").size(), 10000);
}

TEST(SpeechCommand, RefusesWhatItCannotDo)
{
    QTemporaryDir dir;
    const QString out = dir.path() + "/x.mp3";
    EXPECT_EQ(speak({"--text", "hi"}).code, 2);                                   // no output
    EXPECT_EQ(speak({"-o", out}).code, 2);                                        // no text
    EXPECT_EQ(speak({"--text", "a", "--file", "b", "-o", out}).code, 2);          // both
    EXPECT_EQ(speak({"--text", "hi", "-o", out, "--rate", "11"}).code, 2);
    EXPECT_EQ(speak({"--text", "hi", "-o", out, "--volume", "loud"}).code, 2);
    EXPECT_EQ(speak({"--text", "hi", "-o", out, "--bogus"}).code, 2);
    EXPECT_EQ(speak({"--file", dir.path() + "/missing.txt", "-o", out}).code, 1);
    const Result voice = speak({"--text", "hi", "-o", out, "--voice", "xx/none"});
    if (voice.code == 1)
        GTEST_SKIP() << "the speech synthesiser's data files are not installed";
    EXPECT_EQ(voice.code, 2);
    const Result wma = speak({"--text", "hi", "-o", dir.path() + "/x.wma"});
    EXPECT_EQ(wma.code, 1);
    EXPECT_TRUE(wma.err.contains("WMA")) << qPrintable(wma.err);
    EXPECT_FALSE(QFileInfo::exists(out));
    EXPECT_FALSE(QFileInfo::exists(dir.path() + "/x.wma"));
}

} // namespace
} // namespace parlivo::test
