// The file-system rules behind the picture viewer's lists.
#include "content/PictureBrowsing.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace parlivo;

namespace {

void touch(const QString &path)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly)) << path.toStdString();
    f.write("x");
}

} // namespace

TEST(PictureBrowsing, LocationHasExactlyOneSeparatorBetweenFolderAndFile)
{
    EXPECT_EQ(locationOf("/", "photo.jpg"), "/photo.jpg");
    EXPECT_EQ(locationOf("/home/ann/Pictures", "photo.jpg"), "/home/ann/Pictures/photo.jpg");
    EXPECT_EQ(locationOf("/home/ann/Pictures/", "photo.jpg"), "/home/ann/Pictures/photo.jpg");
    // No file name: the location is the folder itself with its separator.
    EXPECT_EQ(locationOf("/home/ann", ""), "/home/ann/");
}

TEST(PictureBrowsing, FileListShowsOnlyThePatternsRegardlessOfCase)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    for (const char *name : {"a.jpg", "B.JPG", "c.Gif", "d.bmp", "e.tiff", "f.wmf", "g.jpeg", "h.tif", "i.png",
                             "j.jpg.txt", "k", ".hidden.jpg"})
        touch(dir.filePath(QLatin1String(name)));
    ASSERT_TRUE(QDir(dir.path()).mkdir("folder.jpg"));

    const QStringList patterns = splitPattern(PictureFilePattern);
    EXPECT_EQ(patterns, QStringList({"*.wmf", "*.jpg", "*.bmp", "*.tiff", "*.gif"}));
    EXPECT_EQ(matchingFiles(dir.path(), patterns), QStringList({"a.jpg", "B.JPG", "c.Gif", "d.bmp", "e.tiff", "f.wmf"}));

    EXPECT_TRUE(matchingFiles(dir.filePath("missing"), patterns).isEmpty());
    EXPECT_TRUE(matchingFiles(QString(), patterns).isEmpty());
    EXPECT_EQ(splitPattern(" *.a ;;*.b;"), QStringList({"*.a", "*.b"}));
}

TEST(PictureBrowsing, FolderListKnowsTheWayUpAndTheWayDown)
{
    EXPECT_EQ(folderChain("/"), QStringList({"/"}));
    EXPECT_EQ(folderChain("/usr/share/"), QStringList({"/", "/usr", "/usr/share"}));
    EXPECT_TRUE(folderChain(QString()).isEmpty());

    QTemporaryDir dir;
    ASSERT_TRUE(QDir(dir.path()).mkpath("zeta"));
    ASSERT_TRUE(QDir(dir.path()).mkpath("Alpha/inner"));
    ASSERT_TRUE(QDir(dir.path()).mkpath(".secret"));
    touch(dir.filePath("file.jpg"));
    EXPECT_EQ(subfolders(dir.path()), QStringList({"Alpha", "zeta"}));
    EXPECT_TRUE(subfolders(dir.filePath("missing")).isEmpty());
}

TEST(PictureBrowsing, DriveListOffersPlacesForFilesNotSystemPseudoFilesystems)
{
    EXPECT_TRUE(isBrowsableVolume("/", "ext4"));
    EXPECT_TRUE(isBrowsableVolume("/", "overlay"));
    EXPECT_TRUE(isBrowsableVolume("/home", "btrfs"));
    EXPECT_TRUE(isBrowsableVolume("/tmp", "tmpfs"));
    EXPECT_TRUE(isBrowsableVolume("/run/media/ann/USBSTICK", "vfat"));

    EXPECT_FALSE(isBrowsableVolume("/proc", "proc"));
    EXPECT_FALSE(isBrowsableVolume("/sys", "sysfs"));
    EXPECT_FALSE(isBrowsableVolume("/sys/fs/cgroup", "cgroup2"));
    EXPECT_FALSE(isBrowsableVolume("/dev", "devtmpfs"));
    EXPECT_FALSE(isBrowsableVolume("/dev/shm", "tmpfs"));
    EXPECT_FALSE(isBrowsableVolume("/run/user/1000", "tmpfs"));
    EXPECT_FALSE(isBrowsableVolume("/snap/core/123", "squashfs"));
    EXPECT_FALSE(isBrowsableVolume("/mnt/odd", "PROC"));
    EXPECT_FALSE(isBrowsableVolume("", "ext4"));

    // Whatever the filter says, the volume the lists start on is always offered.
    const QString here = QDir::currentPath();
    const QStringList volumes = browsableVolumes(here);
    EXPECT_TRUE(volumes.contains(volumeOf(here)));
    for (const QString &v : volumes)
        EXPECT_FALSE(v.startsWith("/proc") || v.startsWith("/sys")) << v.toStdString();
}
