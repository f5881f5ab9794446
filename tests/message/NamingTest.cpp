#include "message/Naming.h"
#include "message/WorkingFolders.h"
#include "fakes/FakeDesktop.h"

#include <QDir>
#include <QFile>
#include <QSet>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <limits>

using namespace parlivo;

TEST(Naming, GetFileNameTakesTheLastComponentUpToItsFirstDot)
{
    EXPECT_EQ(GetFileName("/app/Quillbox/PVD82_1234567890_14_05_09.mp3"), "PVD82_1234567890_14_05_09");
    EXPECT_EQ(GetFileName("archive.tar.gz"), "archive");
    EXPECT_EQ(GetFileName(""), "");
    EXPECT_EQ(GetFileName("/some.dir/with.dots/name"), "name");
    EXPECT_EQ(GetFileName("/folder/noextension"), "noextension");
    EXPECT_EQ(GetFileName("/folder/"), "");
    // Only the platform's separator divides folders.
    EXPECT_EQ(GetFileName("/a/b\\c.d"), "b\\c");
}

TEST(Naming, TimeStampIsTwentyFourHourWithLeadingZeros)
{
    EXPECT_EQ(MessageTimeStamp(QTime(14, 5, 9)), "14_05_09");
    EXPECT_EQ(MessageTimeStamp(QTime(9, 5, 9)), "09_05_09");
    EXPECT_EQ(MessageTimeStamp(QTime(0, 0, 0)), "00_00_00");
    EXPECT_EQ(MessageTimeStamp(QTime(23, 59, 59)), "23_59_59");
}

TEST(Naming, DriveSerialIsAbsoluteOrMinusOne)
{
    test::FakeDriveInfo drives;
    drives.serial = 1234567890;
    EXPECT_EQ(GetDriveSerialNumber(drives, "/app"), 1234567890);
    drives.serial = -1234567890;
    EXPECT_EQ(GetDriveSerialNumber(drives, "/app"), 1234567890);
    // The one value whose absolute value does not fit 32 bits still gives a valid name.
    drives.serial = std::numeric_limits<qint32>::min();
    EXPECT_EQ(GetDriveSerialNumber(drives, "/app"), 2147483648LL);
    EXPECT_EQ(MessageBaseName(GetDriveSerialNumber(drives, "/app"), "01_02_03", "t"), "PVD82_2147483648_01_02_03_t");
    drives.ready = false;
    EXPECT_EQ(GetDriveSerialNumber(drives, "/app"), -1);
}

TEST(Naming, NamesFollowTheScheme)
{
    EXPECT_EQ(MessageBaseName(1234567890, "14_05_09", "abcdefgh23456777"), "PVD82_1234567890_14_05_09_abcdefgh23456777");
    EXPECT_EQ(MessageBaseName(-1, "14_05_09", "abcdefgh23456777"), "PVD82_-1_14_05_09_abcdefgh23456777");
    EXPECT_EQ(AudioWorkingFile("/opt/parlivo", 1234567890, "14_05_09"), "/opt/parlivo/Temp/1234567890_14_05_09.mp3");
}

// A link to one message must not lead to the sender's others: names issued in the same
// second share their prefix but not their token, and the token carries 80 bits.
TEST(Naming, TokensAreDistinctAndCarryEightyBits)
{
    qunsetenv("PARLIVO_FIXED_NAME_TOKEN");
    const QString first = MessageBaseName(1234567890, "14_05_09", MessageToken());
    const QString second = MessageBaseName(1234567890, "14_05_09", MessageToken());
    EXPECT_TRUE(first.startsWith("PVD82_1234567890_14_05_09_"));
    EXPECT_NE(first, second);
    EXPECT_EQ(GetFileName("/q/" + first + ".htm"), first);

    QSet<QString> seen;
    QSet<QChar> used;
    for (int i = 0; i < 1000; ++i) {
        const QString token = MessageToken();
        ASSERT_EQ(token.size(), 16) << qPrintable(token);
        for (QChar c : token) {
            ASSERT_TRUE((c >= 'a' && c <= 'z') || (c >= '2' && c <= '7')) << qPrintable(token);
            used.insert(c);
        }
        seen.insert(token);
    }
    EXPECT_EQ(seen.size(), 1000);
    // 16 characters of a 32-letter alphabet are 80 bits only when every letter can occur.
    EXPECT_EQ(used.size(), 32);

    qputenv("PARLIVO_FIXED_NAME_TOKEN", "fixedtoken");
    EXPECT_EQ(MessageToken(), "fixedtoken");
    qputenv("PARLIVO_FIXED_NAME_TOKEN", "../etc");
    EXPECT_EQ(MessageToken().size(), 16);
    qunsetenv("PARLIVO_FIXED_NAME_TOKEN");
}

TEST(WorkingFolders, ClearingDeletesFilesButKeepsFoldersAndSubfolders)
{
    QTemporaryDir dir;
    WorkingFolders folders(dir.path());
    folders.ClearWorkingFolders();   // neither folder exists yet: nothing happens
    EXPECT_FALSE(QDir(dir.path() + "/Temp").exists());

    folders.createTemp();
    folders.createQuillbox();
    folders.createTemp();            // creating again is harmless
    for (const QString &f : {QStringLiteral("/Temp/a.mp3"), QStringLiteral("/Temp/.hidden"),
                             QStringLiteral("/Quillbox/PVD82_1_00_00_00.htm"), QStringLiteral("/Quillbox/noext")}) {
        QFile file(dir.path() + f);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }
    QDir().mkpath(dir.path() + "/Quillbox/sub");
    QFile inner(dir.path() + "/Quillbox/sub/keep.txt");
    ASSERT_TRUE(inner.open(QIODevice::WriteOnly));
    inner.close();

    folders.ClearWorkingFolders();
    EXPECT_TRUE(QDir(dir.path() + "/Temp").isEmpty());
    EXPECT_EQ(QDir(dir.path() + "/Quillbox").entryList(QDir::Files), QStringList());
    EXPECT_TRUE(QFile::exists(dir.path() + "/Quillbox/sub/keep.txt"));
}
