// The chosen video is staged for the upload by a link or a kernel copy where the file systems
// allow, and by reading and writing where they do not: either way the staged file holds the
// same bytes, and replacing it (as the step that strips its metadata does) leaves the person's
// own file as it was.
#include "publish/MessageFiles.h"

#include "fakes/MediaSamples.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <QTemporaryDir>

namespace parlivo {
namespace {

QByteArray bytesOf(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

TEST(MessageFiles, TheStagedVideoIsWholeAndReplacingItLeavesThePersonsFileAlone)
{
    QTemporaryDir dir;
    // The same file system as the outgoing folder, and another one where there is (tmpfs).
    QTemporaryDir elsewhere(QStringLiteral("/dev/shm/parlivo-test-XXXXXX"));
    QStringList folders{dir.path()};
    if (elsewhere.isValid())
        folders << elsewhere.path();
    const QByteArray video = test::sampleVideo(QStringLiteral("MOV"), 3 << 20);
    for (const QString &folder : folders) {
        SCOPED_TRACE(folder.toStdString());
        const QString mine = folder + "/clip.mov";
        QFile f(mine);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly) && f.write(video) == video.size());
        f.close();
        MessageInputs in;
        in.wants_video = true;
        in.my_video = mine;
        in.what_format = QStringLiteral("MOV");
        PrepareOptions o;
        o.appFolder = QStringLiteral(PARLIVO_SOURCE_DIR "/assets");
        o.outFolder = dir.path() + "/out";
        o.baseName = QStringLiteral("PVD82_1_2");
        QDir(o.outFolder).removeRecursively();
        const PreparedMessage prepared = prepareMessage(in, o);
        ASSERT_TRUE(prepared.ok) << prepared.error.toStdString();
        EXPECT_TRUE(bytesOf(prepared.videoCopy) == video);
        QSaveFile clean(prepared.videoCopy);
        ASSERT_TRUE(clean.open(QIODevice::WriteOnly));
        clean.write("without metadata");
        ASSERT_TRUE(clean.commit());
        EXPECT_TRUE(bytesOf(mine) == video);
    }
}

} // namespace
} // namespace parlivo
