#pragma once
// Scriptable desktop services: each records what it was asked and answers from a queue.
#include "platform/BalloonTip.h"
#include "platform/Desktop.h"

#include <QColor>
#include <QPointer>
#include <QStringList>
#include <QWidget>
#include <deque>

namespace parlivo::test {

struct DialogCall
{
    QString title, filter;
};

class FakeFileDialog : public FileDialog
{
public:
    void showOpen(QWidget *, const QString &title, const QString &filter,
                  std::function<void(const QString &)> onDone) override
    {
        calls.push_back({title, filter});
        const QString answer = answers.empty() ? QString() : answers.front();
        if (!answers.empty())
            answers.pop_front();
        if (onDone)
            onDone(answer);
    }
    std::deque<QString> answers;   // "" answers Cancel
    std::vector<DialogCall> calls;
};

class FakeInputPrompt : public InputPrompt
{
public:
    void ask(QWidget *, const QString &prompt, const QString &title,
             std::function<void(const QString &)> onDone) override
    {
        prompts << prompt;
        titles << title;
        const QString answer = answers.empty() ? QString() : answers.front();
        if (!answers.empty())
            answers.pop_front();
        if (onDone)
            onDone(answer);
    }
    std::deque<QString> answers;
    QStringList prompts, titles;
};

class FakeMessageBox : public MessageBox
{
public:
    struct Shown
    {
        QString text, title;
        Icon icon;
        bool yesNo;
    };
    void inform(QWidget *, const QString &text, const QString &title, Icon icon,
                std::function<void()> onClosed) override
    {
        shown.push_back({text, title, icon, false});
        if (onClosed)
            onClosed();
    }
    void askYesNo(QWidget *, const QString &text, const QString &title, Icon icon,
                  std::function<void(bool)> onAnswer) override
    {
        shown.push_back({text, title, icon, true});
        const bool yes = answers.empty() ? false : answers.front();
        if (!answers.empty())
            answers.pop_front();
        if (onAnswer)
            onAnswer(yes);
    }
    std::deque<bool> answers;   // Yes = true; No when empty
    std::vector<Shown> shown;
};

class FakeClipboard : public Clipboard
{
public:
    void clear() override { text.clear(); ++clears; }
    void setText(const QString &t) override { text = t; ++sets; }
    QString text;
    int clears = 0, sets = 0;
};

class FakeShellOpen : public ShellOpen
{
public:
    void open(const QString &address) override { opened << address; }
    QStringList opened;
};

class FakeDriveInfo : public DriveInfo
{
public:
    QString driveName(const QString &path) override { return path; }
    bool isReady(const QString &) override { return ready; }
    qint32 serialNumber(const QString &) override { return serial; }
    bool ready = true;
    qint32 serial = 1234567890;
};

class FakeBalloonTip : public BalloonTip
{
public:
    using BalloonTip::BalloonTip;
    void setActivateOnHover(bool on) override { activate = on; }
    void setMaxWidthFactor(int f) override { factor = f; }
    void setToolTip(QWidget *c, const QString &t, const QString &ti, int s, int i, int, const QColor &tc,
                    const QColor &bg, int, int d, int) override
    {
        m_control = c;
        m_text = t;
        m_title = ti;
        style = s;
        m_icon = i;
        textColor = tc;
        background = bg;
        duration = d;
    }
    QWidget *control() const override { return m_control; }
    QString text() const override { return m_text; }
    QString title() const override { return m_title; }
    int icon() const override { return m_icon; }

    bool activate = false;
    int factor = 0, style = 0, duration = 0;
    QColor textColor, background;

private:
    QPointer<QWidget> m_control;
    QString m_text, m_title;
    int m_icon = 0;
};

class FakeBalloonTipFactory : public BalloonTipFactory
{
public:
    BalloonTip *create(QObject *parent) override
    {
        auto *tip = new FakeBalloonTip(parent);
        created.push_back(tip);
        return tip;
    }
    std::vector<QPointer<FakeBalloonTip>> created;
};

} // namespace parlivo::test
