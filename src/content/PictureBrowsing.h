#pragma once
// The file-system side of the picture viewer: which volumes are offered as drives,
// which files count as pictures, how the folder list lays out a path, and how a
// picked file's location is formed. Kept free of widgets so it can be checked alone.
#include <QString>
#include <QStringList>

namespace parlivo {

// The file list's pattern, as the viewer shows it to the user.
inline constexpr const char *PictureFilePattern = "*.wmf;*.jpg;*.bmp;*.tiff;*.gif";

// "*.a;*.b" -> {"*.a", "*.b"}; empty parts are dropped.
QStringList splitPattern(const QString &pattern);

// Files of folder whose names match one of the patterns, regardless of case, sorted
// by name. Folders and hidden files are left out. A missing or unreadable folder
// yields an empty list.
QStringList matchingFiles(const QString &folder, const QStringList &patterns);

// The visible sub-folders of folder, sorted by name.
QStringList subfolders(const QString &folder);

// The folder path and every folder above it, root first: "/a/b" -> {"/", "/a", "/a/b"}.
QStringList folderChain(const QString &folder);

// The location of a file picked in the list showing folder: one separator between
// the two, even when folder is a root that already ends in one.
QString locationOf(const QString &folder, const QString &fileName);

// Whether a mounted volume is a place a user keeps files, rather than a kernel or
// system pseudo filesystem (proc, sysfs, cgroups, device nodes, runtime state, ...).
bool isBrowsableVolume(const QString &rootPath, const QString &fileSystemType);

// Root paths of the browsable mounted volumes, sorted, with the volume holding
// alsoInclude (when given) added even if it would have been left out.
QStringList browsableVolumes(const QString &alsoInclude = {});

// Root path of the volume holding path ("/" when it cannot be told).
QString volumeOf(const QString &path);

} // namespace parlivo
