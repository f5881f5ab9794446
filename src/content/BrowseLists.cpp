#include "BrowseLists.h"

#include "PictureBrowsing.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QPointer>
#include <QSignalBlocker>

#include <stdexcept>
#include <thread>

namespace parlivo {

// ---------------------------------------------------------------- drives

DriveList::DriveList(QWidget *parent)
    : QComboBox(parent)
{
    connect(this, &QComboBox::activated, this, [this](int) { Q_EMIT driveChanged(); });
}

void DriveList::fill(const QString &path)
{
    // The volume the lists start on is there at once; the others follow from a worker,
    // because asking every mount about itself can hang on a network share that is gone.
    const QString current = volumeOf(path);
    m_volumesKnown = false;
    {
        const QSignalBlocker block(this);
        clear();
        addItem(current);
        setCurrentIndex(0);
    }
    QPointer<DriveList> self(this);
    std::thread([self, path] {
        const QStringList roots = browsableVolumes(path);
        QCoreApplication *app = QCoreApplication::instance();
        if (!app)
            return;
        QMetaObject::invokeMethod(app, [self, roots] {
            if (self)
                self->addVolumes(roots);
        }, Qt::QueuedConnection);
    }).detach();
}

void DriveList::addVolumes(const QStringList &roots)
{
    // The user may have picked meanwhile; keep whatever is current.
    const QSignalBlocker block(this);
    const QString current = currentText();
    for (const QString &root : roots) {
        if (findText(root) < 0)
            addItem(root);
    }
    QStringList all;
    for (int i = 0; i < count(); ++i)
        all << itemText(i);
    all.sort();
    clear();
    addItems(all);
    setCurrentIndex(findText(current));
    m_volumesKnown = true;
    Q_EMIT volumesKnown();
}

QString DriveList::drive() const
{
    return currentText();
}

// ---------------------------------------------------------------- folders

namespace {
constexpr int PathRole = Qt::UserRole + 1;
}

FolderList::FolderList(QWidget *parent)
    : QListWidget(parent)
{
    connect(this, &QListWidget::itemActivated, this, [this](QListWidgetItem *item) {
        if (!item)
            return;
        try {
            setPath(item->data(PathRole).toString());
        } catch (const std::exception &) {
            // A folder that vanished or cannot be opened: stay where we are.
        }
    });
}

void FolderList::setPath(const QString &folder)
{
    const QFileInfo info(folder);
    if (folder.isEmpty() || !info.isDir())
        throw std::runtime_error("folder not available");
    m_path = QDir::toNativeSeparators(QDir::cleanPath(info.absoluteFilePath()));
    refill();
    Q_EMIT pathChanged();
}

void FolderList::refill()
{
    const QSignalBlocker block(this);
    clear();
    const QStringList chain = folderChain(m_path);
    int depth = 0;
    for (const QString &folder : chain) {
        const QString name = QDir(folder).isRoot() ? QDir::toNativeSeparators(folder) : QFileInfo(folder).fileName();
        auto *item = new QListWidgetItem(QString(depth * 2, QLatin1Char(' ')) + name, this);
        item->setData(PathRole, QDir::toNativeSeparators(folder));
        item->setIcon(style()->standardIcon(QStyle::SP_DirOpenIcon));
        ++depth;
    }
    const int open = count() - 1;
    for (const QString &sub : subfolders(m_path)) {
        auto *item = new QListWidgetItem(QString(depth * 2, QLatin1Char(' ')) + sub, this);
        item->setData(PathRole, locationOf(m_path, sub));
        item->setIcon(style()->standardIcon(QStyle::SP_DirClosedIcon));
    }
    setCurrentRow(open);
}

// ---------------------------------------------------------------- files

FileList::FileList(QWidget *parent)
    : QListWidget(parent)
{
    setSelectionMode(QAbstractItemView::SingleSelection);
    // A mouse press moves the current row before it selects the item, so the current
    // row alone would report a click with no file selected yet. The selection is what
    // the user sees highlighted: report its changes, and a click that left it as it
    // was (on the file already highlighted) as well, but one press only once.
    connect(this, &QListWidget::itemSelectionChanged, this, [this] {
        m_selectionMovedSincePress = true;
        Q_EMIT fileClicked();
    });
    connect(this, &QAbstractItemView::clicked, this, [this](const QModelIndex &) {
        if (!m_selectionMovedSincePress)
            Q_EMIT fileClicked();
    });
}

void FileList::mousePressEvent(QMouseEvent *event)
{
    m_selectionMovedSincePress = false;
    QListWidget::mousePressEvent(event);
}

void FileList::focusInEvent(QFocusEvent *event)
{
    QListWidget::focusInEvent(event);
    // Entering the list makes its first file current without selecting it, so the first
    // Down would skip that file: with nothing selected, nothing is current, and Down
    // picks the first file.
    if (selectedItems().isEmpty() && currentItem())
        selectionModel()->setCurrentIndex(QModelIndex(), QItemSelectionModel::NoUpdate);
}

void FileList::setPath(const QString &folder)
{
    m_path = folder;
    refill();
}

void FileList::setPattern(const QString &pattern)
{
    m_pattern = pattern;
    refill();
}

QString FileList::fileName() const
{
    const QListWidgetItem *item = currentItem();
    return item && item->isSelected() ? item->text() : QString();
}

void FileList::refill()
{
    const QSignalBlocker block(this);
    clear();
    addItems(matchingFiles(m_path, splitPattern(m_pattern)));
    setCurrentRow(-1);
}

} // namespace parlivo
