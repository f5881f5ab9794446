#include "platform/desktop/QtDesktop.h"
#include "platform/desktop/WindowPlacement.h"
#include "platform/desktop/WindowSheet.h"

#include <QClipboard>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QCoreApplication>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QUrl>

#include <sys/statvfs.h>

namespace parlivo {

namespace {
// Answers reach the caller after the dialog has finished closing: a caller that opens
// another dialog or changes the window from its answer never runs inside the old one.
void later(std::function<void()> call)
{
    QTimer::singleShot(0, qApp, std::move(call));
}
} // namespace

QString toQtFilter(const QString &filter)
{
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList filters;
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        const QString description = parts[i].trimmed();
        QString patterns = parts[i + 1].trimmed();
        patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
        if (description.isEmpty() && patterns.isEmpty())
            continue;
        // The description usually names the pattern already; Qt reads the last (...) as patterns.
        if (description.endsWith(QLatin1Char(')')) && description.contains(QLatin1Char('(')))
            filters << description.left(description.lastIndexOf(QLatin1Char('('))).trimmed()
                           + QStringLiteral(" (") + patterns + QLatin1Char(')');
        else
            filters << description + QStringLiteral(" (") + patterns + QLatin1Char(')');
    }
    return filters.join(QStringLiteral(";;"));
}

void QtFileDialog::showOpen(QWidget *parent, const QString &title, const QString &filter,
                            std::function<void(const QString &)> onDone)
{
    auto *dialog = new QFileDialog(parent, title, QString(), toQtFilter(filter));
    dialog->setObjectName(QStringLiteral("cdlg"));
    dialog->setAcceptMode(QFileDialog::AcceptOpen);
    dialog->setFileMode(QFileDialog::ExistingFile);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->selectFile(QString());   // never propose an earlier name
    QObject::connect(dialog, &QFileDialog::finished, dialog, [dialog, onDone](int result) {
        const QStringList files = dialog->selectedFiles();
        const QString chosen = (result == QDialog::Accepted && !files.isEmpty()) ? QDir::toNativeSeparators(files.first()) : QString();
        if (onDone)
            later([onDone, chosen] { onDone(chosen); });
    });
    if (!parent || topLevelPositionsHonoured()) {
        dialog->open();
        return;
    }
    // Qt's own dialog, which can live inside the window as a sheet; a desktop's dialog
    // would be a window of its own, placed in the screen's corner.
    dialog->setOption(QFileDialog::DontUseNativeDialog);
    openOverWindow(dialog);
    // Browsing starts by typing or picking a name, not on the Open button.
    if (auto *name = dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit")))
        name->setFocus(Qt::OtherFocusReason);
}

void QtInputPrompt::ask(QWidget *parent, const QString &prompt, const QString &title,
                        std::function<void(const QString &)> onDone)
{
    open(parent, prompt, title, false, std::move(onDone));
}

void QtInputPrompt::askSecret(QWidget *parent, const QString &prompt, const QString &title,
                              std::function<void(const QString &)> onDone)
{
    open(parent, prompt, title, true, std::move(onDone));
}

void QtInputPrompt::open(QWidget *parent, const QString &prompt, const QString &title, bool secret,
                         std::function<void(const QString &)> onDone)
{
    auto *dialog = new QInputDialog(parent);
    dialog->setObjectName(QStringLiteral("InputBox"));
    if (secret)
        dialog->setTextEchoMode(QLineEdit::Password);
    dialog->setWindowTitle(title);
    dialog->setLabelText(prompt);
    dialog->setTextValue(QString());
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    QObject::connect(dialog, &QInputDialog::finished, dialog, [dialog, onDone](int result) {
        const QString text = result == QDialog::Accepted ? dialog->textValue() : QString();
        if (onDone)
            later([onDone, text] { onDone(text); });
    });
    openOverWindow(dialog);
}

namespace {

QMessageBox::Icon toQtIcon(MessageBox::Icon icon)
{
    switch (icon) {
    case MessageBox::Icon::Information: return QMessageBox::Information;
    case MessageBox::Icon::Warning: return QMessageBox::Warning;
    case MessageBox::Icon::Critical: return QMessageBox::Critical;
    case MessageBox::Icon::Question: return QMessageBox::Question;
    case MessageBox::Icon::None: break;
    }
    return QMessageBox::NoIcon;
}

} // namespace

void QtMessageBox::inform(QWidget *parent, const QString &text, const QString &title, Icon icon,
                          std::function<void()> onClosed)
{
    auto *box = new QMessageBox(toQtIcon(icon), title, text, QMessageBox::Ok, parent);
    box->setAttribute(Qt::WA_DeleteOnClose);
    QObject::connect(box, &QMessageBox::finished, box, [onClosed](int) {
        if (onClosed)
            later(onClosed);
    });
    openOverWindow(box);
}

void QtMessageBox::askYesNo(QWidget *parent, const QString &text, const QString &title, Icon icon,
                            std::function<void(bool)> onAnswer)
{
    auto *box = new QMessageBox(toQtIcon(icon), title, text, QMessageBox::Yes | QMessageBox::No, parent);
    box->setAttribute(Qt::WA_DeleteOnClose);
    QObject::connect(box, &QMessageBox::finished, box, [onAnswer](int result) {
        const bool yes = result == QMessageBox::Yes;
        if (onAnswer)
            later([onAnswer, yes] { onAnswer(yes); });
    });
    openOverWindow(box);
}

void QtClipboard::clear()
{
    if (auto *cb = QGuiApplication::clipboard())
        cb->clear();
}

void QtClipboard::setText(const QString &text)
{
    if (auto *cb = QGuiApplication::clipboard())
        cb->setText(text);
}

void QtShellOpen::open(const QString &address)
{
    QDesktopServices::openUrl(QUrl::fromUserInput(address));
}

QString PosixDriveInfo::driveName(const QString &path)
{
    return path;
}

bool PosixDriveInfo::isReady(const QString &drive)
{
    struct statvfs info {};
    return ::statvfs(QFile::encodeName(drive).constData(), &info) == 0;
}

qint32 PosixDriveInfo::serialNumber(const QString &drive)
{
    struct statvfs info {};
    if (::statvfs(QFile::encodeName(drive).constData(), &info) != 0)
        return 0;
    // The low word of the filesystem id, read as a signed 32-bit value.
    return static_cast<qint32>(static_cast<quint32>(info.f_fsid & 0xffffffffu));
}

} // namespace parlivo
