#pragma once
// The two working folders under the application folder: Temp (the audio being made)
// and Quillbox (the files of a message being published). Emptied at every start and exit.
#include <QString>

namespace parlivo {

class WorkingFolders
{
public:
    explicit WorkingFolders(QString appFolder) : m_appFolder(std::move(appFolder)) {}

    const QString &appFolder() const { return m_appFolder; }
    QString tempFolder() const { return m_appFolder + QStringLiteral("/Temp/"); }
    QString quillboxFolder() const { return m_appFolder + QStringLiteral("/Quillbox/"); }

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
};

} // namespace parlivo
