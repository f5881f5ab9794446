#include "PictureBrowsing.h"

#include <QDir>
#include <QFileInfo>
#include <QSet>
#include <QStorageInfo>

#include <algorithm>

namespace parlivo {

QStringList splitPattern(const QString &pattern)
{
    QStringList out;
    for (const QString &part : pattern.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        const QString p = part.trimmed();
        if (!p.isEmpty())
            out << p;
    }
    return out;
}

QStringList matchingFiles(const QString &folder, const QStringList &patterns)
{
    if (folder.isEmpty())
        return {};
    QDir dir(folder);
    if (!dir.exists())
        return {};
    // Without QDir::CaseSensitive the name filters ignore case: "PHOTO.JPG" is a picture too.
    return dir.entryList(patterns, QDir::Files, QDir::Name | QDir::IgnoreCase);
}

QStringList subfolders(const QString &folder)
{
    if (folder.isEmpty())
        return {};
    QDir dir(folder);
    if (!dir.exists())
        return {};
    return dir.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name | QDir::IgnoreCase);
}

QStringList folderChain(const QString &folder)
{
    if (folder.isEmpty())
        return {};
    QString path = QDir::cleanPath(QDir(folder).absolutePath());
    QStringList chain;
    for (;;) {
        chain.prepend(path);
        QDir dir(path);
        if (dir.isRoot() || !dir.cdUp())
            break;
        const QString parent = QDir::cleanPath(dir.absolutePath());
        if (parent == path)
            break;
        path = parent;
    }
    return chain;
}

QString locationOf(const QString &folder, const QString &fileName)
{
    const QString sep = QDir::separator();
    QString path = folder;
    if (!path.endsWith(sep))
        path += sep;
    return path + fileName;
}

bool isBrowsableVolume(const QString &rootPath, const QString &fileSystemType)
{
    static const QSet<QString> pseudo = {
        QStringLiteral("proc"),       QStringLiteral("sysfs"),      QStringLiteral("devtmpfs"),
        QStringLiteral("devpts"),     QStringLiteral("cgroup"),     QStringLiteral("cgroup2"),
        QStringLiteral("securityfs"), QStringLiteral("debugfs"),    QStringLiteral("tracefs"),
        QStringLiteral("pstore"),     QStringLiteral("bpf"),        QStringLiteral("mqueue"),
        QStringLiteral("hugetlbfs"),  QStringLiteral("autofs"),     QStringLiteral("configfs"),
        QStringLiteral("fusectl"),    QStringLiteral("binfmt_misc"), QStringLiteral("efivarfs"),
        QStringLiteral("rpc_pipefs"), QStringLiteral("nsfs"),       QStringLiteral("ramfs"),
        QStringLiteral("selinuxfs"),  QStringLiteral("squashfs"),   QStringLiteral("fuse.gvfsd-fuse"),
        QStringLiteral("fuse.portal"), QStringLiteral("nfsd"),
    };
    if (rootPath.isEmpty() || pseudo.contains(fileSystemType.toLower()))
        return false;
    // System areas mounted into the tree, even when they use an ordinary filesystem type.
    // Removable media under /run/media stay: that is where desktops mount them.
    static const QStringList systemAreas = {
        QStringLiteral("/proc"), QStringLiteral("/sys"), QStringLiteral("/dev"),
        QStringLiteral("/run"), QStringLiteral("/snap"), QStringLiteral("/boot/efi"),
    };
    if (rootPath.startsWith(QLatin1String("/run/media/")))
        return true;
    for (const QString &area : systemAreas) {
        if (rootPath == area || rootPath.startsWith(area + QLatin1Char('/')))
            return false;
    }
    // Single files bind-mounted over others (containers do this for /etc/hosts and friends).
    if (!QFileInfo(rootPath).isDir())
        return false;
    return true;
}

QString volumeOf(const QString &path)
{
    const QStorageInfo info(path);
    if (info.isValid() && !info.rootPath().isEmpty())
        return info.rootPath();
    return QDir::rootPath();
}

QStringList browsableVolumes(const QString &alsoInclude)
{
    QStringList roots;
    for (const QStorageInfo &volume : QStorageInfo::mountedVolumes()) {
        if (!volume.isValid())
            continue;
        const QString root = volume.rootPath();
        if (isBrowsableVolume(root, QString::fromLatin1(volume.fileSystemType())) && !roots.contains(root))
            roots << root;
    }
    if (!alsoInclude.isEmpty()) {
        const QString own = volumeOf(alsoInclude);
        if (!roots.contains(own))
            roots << own;
    }
    std::sort(roots.begin(), roots.end());
    return roots;
}

} // namespace parlivo
