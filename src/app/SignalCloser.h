#pragma once
// Turns SIGTERM, SIGINT and SIGHUP (logout, a closed terminal, Ctrl+C) into an orderly
// close of a window, so its shutdown runs as if the user had closed it.
#include <QObject>
#include <QPointer>
#include <QWidget>

class QSocketNotifier;

namespace parlivo {

class SignalCloser : public QObject
{
    Q_OBJECT
public:
    explicit SignalCloser(QWidget *window);
    ~SignalCloser() override;

private:
    void onSignal();
    QPointer<QWidget> m_window;
    QSocketNotifier *m_notifier = nullptr;
};

} // namespace parlivo
