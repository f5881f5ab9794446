#pragma once
// Desktop services on Qt alone: dialogs, message boxes, clipboard, opening addresses,
// and the volume information of the application folder.
#include "platform/Desktop.h"

namespace parlivo {

// Turns "Description (*.ext)|*.ext|" into Qt's "Description (*.ext)" filter list.
QString toQtFilter(const QString &filter);

class QtFileDialog : public FileDialog
{
public:
    void showOpen(QWidget *parent, const QString &title, const QString &filter,
                  std::function<void(const QString &)> onDone) override;
};

class QtInputPrompt : public InputPrompt
{
public:
    void ask(QWidget *parent, const QString &prompt, const QString &title,
             std::function<void(const QString &)> onDone) override;
    void askSecret(QWidget *parent, const QString &prompt, const QString &title,
                   std::function<void(const QString &)> onDone) override;

private:
    void open(QWidget *parent, const QString &prompt, const QString &title, bool secret,
              std::function<void(const QString &)> onDone);
};

class QtMessageBox : public MessageBox
{
public:
    void inform(QWidget *parent, const QString &text, const QString &title, Icon icon,
                std::function<void()> onClosed) override;
    void askYesNo(QWidget *parent, const QString &text, const QString &title, Icon icon,
                  std::function<void(bool)> onAnswer) override;
};

class QtClipboard : public Clipboard
{
public:
    void clear() override;
    void setText(const QString &text) override;
};

class QtShellOpen : public ShellOpen
{
public:
    void open(const QString &address) override;
};

// The volume is the filesystem holding the path; its serial is the filesystem id.
class PosixDriveInfo : public DriveInfo
{
public:
    QString driveName(const QString &path) override;
    bool isReady(const QString &drive) override;
    qint32 serialNumber(const QString &drive) override;
};

} // namespace parlivo
