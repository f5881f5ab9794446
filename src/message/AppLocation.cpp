#include "AppLocation.h"

#include <QDir>
#include <QFileInfo>

#include <unistd.h>

namespace parlivo {

QString locateApplicationFolder(const QString &exeFolder)
{
    const QString installed = QDir::cleanPath(exeFolder + QStringLiteral("/../share/parlivo"));
    // The page template is the one file without which nothing can be published.
    if (QFileInfo::exists(installed + QStringLiteral("/MSTemp.dll")))
        return installed;
    return exeFolder;
}

UserFolders UserFolders::fromEnvironment()
{
    UserFolders u;
    u.runtimeDir = qEnvironmentVariable("XDG_RUNTIME_DIR");
    u.cacheHome = qEnvironmentVariable("XDG_CACHE_HOME");
    // Relative values are to be ignored, as the base directory rules say.
    if (!QDir::isAbsolutePath(u.runtimeDir))
        u.runtimeDir.clear();
    if (!QDir::isAbsolutePath(u.cacheHome))
        u.cacheHome = QDir::homePath() + QStringLiteral("/.cache");
    return u;
}

namespace {

bool writableFolder(const QString &path)
{
    const QByteArray native = QFile::encodeName(path);
    return ::access(native.constData(), W_OK | X_OK) == 0;
}

} // namespace

QString chooseWorkingBase(const QString &appFolder, const QString &exeFolder, const UserFolders &user)
{
    const bool portable = QDir::cleanPath(appFolder) == QDir::cleanPath(exeFolder);
    if (portable && writableFolder(appFolder))
        return appFolder;
    if (!user.runtimeDir.isEmpty() && QFileInfo(user.runtimeDir).isDir() && writableFolder(user.runtimeDir))
        return QDir::cleanPath(user.runtimeDir) + QStringLiteral("/parlivo");
    return QDir::cleanPath(user.cacheHome) + QStringLiteral("/parlivo");
}

} // namespace parlivo
