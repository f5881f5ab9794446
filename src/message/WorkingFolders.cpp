#include "WorkingFolders.h"

#include <QDir>
#include <QFile>

namespace parlivo {

void WorkingFolders::makeFolder(const QString &path)
{
    QDir().mkpath(path);
}

void WorkingFolders::createTemp() const
{
    makeFolder(tempFolder());
}

void WorkingFolders::createQuillbox() const
{
    makeFolder(quillboxFolder());
}

void WorkingFolders::deleteFiles(const QString &folder)
{
    const QDir dir(folder);
    if (!dir.exists())
        return;
    const auto names = dir.entryList(QDir::Files | QDir::Hidden | QDir::System);
    for (const QString &name : names)
        QFile::remove(dir.filePath(name));
}

void WorkingFolders::ClearWorkingFolders() const
{
    deleteFiles(tempFolder());
    deleteFiles(quillboxFolder());
}

} // namespace parlivo
