#pragma once
// Where the program finds its own files and where it keeps its working folders.
//
// Run from a build tree or a portable copy, the application folder is the executable's
// folder and Temp/ and Quillbox/ are made in it. Installed, the executable lives in
// <prefix>/bin and its files in <prefix>/share/parlivo, a folder the user cannot (and, as
// root, should not) write: the working folders then go to a per-user folder.
#include <QString>

namespace parlivo {

// The folder holding the page templates, pictures and the other files the program ships:
// exeFolder/../share/parlivo when that holds them, else exeFolder itself.
QString locateApplicationFolder(const QString &exeFolder);

// The per-user places a working folder may go, as the environment names them.
struct UserFolders
{
    QString runtimeDir;  // $XDG_RUNTIME_DIR: emptied at logout, the right home for files emptied at exit
    QString cacheHome;   // $XDG_CACHE_HOME, or ~/.cache
    static UserFolders fromEnvironment();
};

// The folder that holds Temp/ and Quillbox/ (and the lock that keeps it to one window):
// the application folder when it is the executable's own folder and writable, else
// <runtime dir>/parlivo when the runtime dir exists, else <cache home>/parlivo.
QString chooseWorkingBase(const QString &appFolder, const QString &exeFolder, const UserFolders &user);

} // namespace parlivo
