#include "SignalCloser.h"

#include <QCoreApplication>
#include <QSocketNotifier>

#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace parlivo {

namespace {
int g_pipe[2] = {-1, -1};

void onPosixSignal(int)
{
    // Only async-signal-safe work here: wake the event loop.
    const char c = 1;
    [[maybe_unused]] const ssize_t n = ::write(g_pipe[1], &c, 1);
}
} // namespace

SignalCloser::SignalCloser(QWidget *window) : QObject(window), m_window(window)
{
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, g_pipe) != 0)
        return;
    m_notifier = new QSocketNotifier(g_pipe[0], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &SignalCloser::onSignal);
    struct sigaction action {};
    action.sa_handler = onPosixSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int sig : {SIGTERM, SIGINT, SIGHUP})
        ::sigaction(sig, &action, nullptr);
}

SignalCloser::~SignalCloser()
{
    for (int sig : {SIGTERM, SIGINT, SIGHUP})
        ::signal(sig, SIG_DFL);
    if (g_pipe[0] >= 0) {
        ::close(g_pipe[0]);
        ::close(g_pipe[1]);
        g_pipe[0] = g_pipe[1] = -1;
    }
}

void SignalCloser::onSignal()
{
    char c;
    [[maybe_unused]] const ssize_t n = ::read(g_pipe[0], &c, 1);
    if (m_window)
        m_window->close();
    // Everything else (an about box left open) goes too: the session is ending.
    QCoreApplication::quit();
}

} // namespace parlivo
