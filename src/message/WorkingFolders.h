#pragma once
// The two working folders: Temp (the audio being made) and Quillbox (the files of a message
// being published). Emptied at every start and exit. They are made in the working base:
// the application folder itself, or a per-user folder when that cannot be written.
#include <QString>

namespace parlivo {

class WorkingFolders
{
public:
    explicit WorkingFolders(QString appFolder) : m_appFolder(appFolder), m_base(std::move(appFolder)) {}
    WorkingFolders(QString appFolder, QString base) : m_appFolder(std::move(appFolder)), m_base(std::move(base)) {}

    const QString &appFolder() const { return m_appFolder; }
    const QString &base() const { return m_base; }
    QString tempFolder() const { return m_base + QStringLiteral("/Temp/"); }
    QString quillboxFolder() const { return m_base + QStringLiteral("/Quillbox/"); }

    // Creating a folder that exists is not an error; failures are ignored.
    void createTemp() const;
    void createQuillbox() const;

    // Deletes every file directly in Temp, then in Quillbox; subfolders stay.
    // Missing folders and files in use are passed over silently.
    void ClearWorkingFolders() const;

private:
    static void makeFolder(const QString &path);
    static void deleteFiles(const QString &folder);

    QString m_appFolder;
    QString m_base;
};

} // namespace parlivo
