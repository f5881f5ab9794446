#pragma once
// A TCP relay between the client and the local server that misbehaves on request: it cuts the
// connection, or goes silent, once the client has sent a given number of bytes, or passes the
// client's bytes at a limited rate (an upload slow enough to be interrupted).
#include <QString>
#include <arpa/inet.h>
#include <atomic>
#include <chrono>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace parlivo::test {

class FaultProxy
{
public:
    FaultProxy(const QString &host, int port) : m_host(host.toStdString()), m_port(port)
    {
        m_listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(m_listener, reinterpret_cast<sockaddr *>(&a), sizeof a);
        ::listen(m_listener, 8);
        socklen_t len = sizeof a;
        ::getsockname(m_listener, reinterpret_cast<sockaddr *>(&a), &len);
        m_listenPort = ntohs(a.sin_port);
        m_acceptor = std::thread([this] { acceptLoop(); });
    }
    ~FaultProxy()
    {
        m_stop = true;
        ::shutdown(m_listener, SHUT_RDWR);
        ::close(m_listener);
        m_acceptor.join();
        for (std::thread &t : m_relays)
            t.join();
    }

    int port() const { return m_listenPort; }
    // Counted over the client's bytes of each connection; -1 switches the fault off.
    // `connections`: how many connections in a row are cut (-1: every one).
    void cutAfter(qint64 bytes, int connections = -1)
    {
        m_cutAfter = bytes;
        m_cutsLeft = connections;
    }
    // Cuts the latest connection once the client has sent `bytes` more on it (and no other).
    void cutOnceAfterMore(qint64 bytes)
    {
        m_cutsLeft = 1;
        m_cutAfter = m_lastUp + bytes;
    }
    int connections() const { return m_connections; }
    void freezeAfter(qint64 bytes) { m_freezeAfter = bytes; }
    void limitRate(qint64 bytesPerSecond) { m_rate = bytesPerSecond; }

private:
    void acceptLoop()
    {
        while (!m_stop) {
            const int client = ::accept4(m_listener, nullptr, nullptr, SOCK_CLOEXEC);
            if (client < 0)
                continue;
            const int server = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
            sockaddr_in a{};
            a.sin_family = AF_INET;
            a.sin_port = htons(quint16(m_port));
            ::inet_pton(AF_INET, m_host.c_str(), &a.sin_addr);
            if (::connect(server, reinterpret_cast<sockaddr *>(&a), sizeof a) != 0) {
                ::close(client);
                ::close(server);
                continue;
            }
            ++m_connections;
            m_lastUp = 0;
            m_relays.emplace_back([this, client, server] { relay(client, server); });
        }
    }

    void relay(int client, int server)
    {
        using Clock = std::chrono::steady_clock;
        const auto start = Clock::now();
        qint64 up = 0;
        bool frozen = false;
        char buf[16384];
        while (!m_stop) {
            pollfd p[2] = {{client, POLLIN, 0}, {server, POLLIN, 0}};
            if (frozen) {
                ::poll(nullptr, 0, 50);
                continue;
            }
            if (::poll(p, 2, 50) <= 0)
                continue;
            if (p[1].revents) {
                const ssize_t n = ::recv(server, buf, sizeof buf, 0);
                if (n <= 0 || ::send(client, buf, size_t(n), MSG_NOSIGNAL) != n)
                    break;
            }
            if (p[0].revents) {
                qint64 want = sizeof buf;
                if (m_rate > 0) {
                    const double secs = std::chrono::duration<double>(Clock::now() - start).count();
                    want = std::min<qint64>(want, qint64(secs * double(m_rate)) - up);
                    if (want <= 0) {
                        ::poll(nullptr, 0, 5);
                        continue;
                    }
                }
                const ssize_t n = ::recv(client, buf, size_t(want), 0);
                if (n <= 0 || ::send(server, buf, size_t(n), MSG_NOSIGNAL) != n)
                    break;
                up += n;
                m_lastUp = up;
                if (m_cutAfter >= 0 && up >= m_cutAfter && m_cutsLeft != 0) {
                    if (m_cutsLeft > 0)
                        --m_cutsLeft;
                    break;
                }
                if (m_freezeAfter >= 0 && up >= m_freezeAfter)
                    frozen = true;
            }
        }
        ::close(client);
        ::close(server);
    }

    std::string m_host;
    int m_port = 0;
    int m_listener = -1;
    int m_listenPort = 0;
    std::atomic<bool> m_stop{false};
    std::atomic<qint64> m_cutAfter{-1}, m_freezeAfter{-1}, m_rate{0};
    std::atomic<int> m_cutsLeft{-1};
    std::atomic<qint64> m_lastUp{0};
    std::atomic<int> m_connections{0};
    std::thread m_acceptor;
    std::vector<std::thread> m_relays;
};

} // namespace parlivo::test
