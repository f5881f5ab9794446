#pragma once
// Desktop services the forms use: file dialog, input prompt, message boxes,
// clipboard, opening addresses and drive information. Dialogs report through
// callbacks so the forms never run a nested event loop of their own.
#include <QObject>
#include <QString>
#include <functional>

class QWidget;

namespace parlivo {

class FileDialog
{
public:
    virtual ~FileDialog() = default;
    // filter in the "Description (*.ext)|*.ext|" form; onDone receives the chosen
    // full path, or "" after Cancel. The dialog always opens with an empty file name.
    virtual void showOpen(QWidget *parent, const QString &title, const QString &filter,
                          std::function<void(const QString &)> onDone) = 0;
};

class InputPrompt
{
public:
    virtual ~InputPrompt() = default;
    // onDone receives the typed text, or "" after Cancel.
    virtual void ask(QWidget *parent, const QString &prompt, const QString &title,
                     std::function<void(const QString &)> onDone) = 0;
    // The same for a passphrase: what is typed is not shown.
    virtual void askSecret(QWidget *parent, const QString &prompt, const QString &title,
                           std::function<void(const QString &)> onDone)
    {
        ask(parent, prompt, title, std::move(onDone));
    }
};

class MessageBox
{
public:
    virtual ~MessageBox() = default;
    enum class Icon { None, Information, Warning, Critical, Question };
    // OK only; onClosed (may be empty) runs once the box is dismissed.
    virtual void inform(QWidget *parent, const QString &text, const QString &title, Icon icon,
                        std::function<void()> onClosed = {}) = 0;
    // Yes and No; onAnswer receives true for Yes.
    virtual void askYesNo(QWidget *parent, const QString &text, const QString &title, Icon icon,
                          std::function<void(bool)> onAnswer) = 0;
};

class Clipboard
{
public:
    virtual ~Clipboard() = default;
    virtual void clear() = 0;
    virtual void setText(const QString &text) = 0;
};

class ShellOpen
{
public:
    virtual ~ShellOpen() = default;
    virtual void open(const QString &address) = 0;   // result ignored by callers
};

class DriveInfo
{
public:
    virtual ~DriveInfo() = default;
    virtual QString driveName(const QString &path) = 0;  // the volume holding path
    virtual bool isReady(const QString &drive) = 0;
    virtual qint32 serialNumber(const QString &drive) = 0;
};

} // namespace parlivo
