#pragma once
// The three browsing lists of the picture viewer: drives, folders and files. Each
// keeps a current place and reports when the user (or the program) moves it.
#include <QComboBox>
#include <QListWidget>

namespace parlivo {

// Mounted volumes, shown by their root path.
class DriveList : public QComboBox
{
    Q_OBJECT
public:
    explicit DriveList(QWidget *parent = nullptr);
    // Refills the list and makes the volume holding path current, without reporting a
    // change. The other volumes arrive a moment later (see volumesKnown).
    void fill(const QString &path);
    bool allVolumesKnown() const { return m_volumesKnown; }
    QString drive() const;

Q_SIGNALS:
    void driveChanged();
    void volumesKnown();

private:
    void addVolumes(const QStringList &roots);
    bool m_volumesKnown = false;
};

// The open folder with the folders above it (indented, root first) and the folders
// inside it. Activating an entry (double click or Enter) opens it.
class FolderList : public QListWidget
{
    Q_OBJECT
public:
    explicit FolderList(QWidget *parent = nullptr);
    QString path() const { return m_path; }
    // Opens folder and reports the change. A folder that does not exist throws
    // std::runtime_error and leaves the list as it was.
    void setPath(const QString &folder);

Q_SIGNALS:
    void pathChanged();

private:
    void refill();
    QString m_path;
};

// Files of one folder that match a pattern such as "*.jpg;*.gif". A file is picked by a
// mouse click on it (also on the one already highlighted) or by moving the highlight
// with the keyboard; a click on empty space takes the highlight away.
class FileList : public QListWidget
{
    Q_OBJECT
public:
    explicit FileList(QWidget *parent = nullptr);
    QString path() const { return m_path; }
    // Shows folder's matching files; nothing is selected afterwards.
    void setPath(const QString &folder);
    QString pattern() const { return m_pattern; }
    void setPattern(const QString &pattern);
    // The selected file name, "" when none is selected.
    QString fileName() const;

Q_SIGNALS:
    // The user picked a row, with the mouse or the keyboard, or clicked empty space;
    // the selection is already in place when this is emitted.
    void fileClicked();

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;

private:
    void refill();
    QString m_path, m_pattern;
    bool m_selectionMovedSincePress = false;
};

} // namespace parlivo
