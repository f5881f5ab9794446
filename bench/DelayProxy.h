#pragma once
// A TCP relay that holds every byte for a fixed time in each direction: a distant server
// simulated on loopback (this kernel has no traffic shaping). Bandwidth is not limited.
#include <arpa/inet.h>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <memory>
#include <mutex>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <string>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace parlivo::bench {

class DelayProxy
{
public:
    using Clock = std::chrono::steady_clock;

    // Listens on 127.0.0.1 (a free port) and relays to target:port.
    DelayProxy(std::string targetHost, int targetPort, std::chrono::milliseconds oneWay)
        : m_host(std::move(targetHost)), m_port(targetPort), m_delay(oneWay)
    {
        m_listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        const int one = 1;
        ::setsockopt(m_listener, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(m_listener, reinterpret_cast<sockaddr *>(&a), sizeof a);
        ::listen(m_listener, 16);
        socklen_t len = sizeof a;
        ::getsockname(m_listener, reinterpret_cast<sockaddr *>(&a), &len);
        m_listenPort = ntohs(a.sin_port);
        m_acceptor = std::thread([this] { acceptLoop(); });
    }

    ~DelayProxy()
    {
        m_stop = true;
        ::shutdown(m_listener, SHUT_RDWR);
        ::close(m_listener);
        m_acceptor.join();
        for (auto &t : m_threads)
            t.join();
    }

    int port() const { return m_listenPort; }

private:
    struct Chunk
    {
        Clock::time_point due;
        std::vector<char> data;   // empty: the sender closed
    };
    struct Pipe
    {
        std::mutex m;
        std::condition_variable cv;
        std::deque<Chunk> q;
    };

    void acceptLoop()
    {
        while (!m_stop) {
            pollfd p{m_listener, POLLIN, 0};
            if (::poll(&p, 1, 100) <= 0)
                continue;
            const int client = ::accept4(m_listener, nullptr, nullptr, SOCK_CLOEXEC);
            if (client < 0)
                continue;
            const int server = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
            sockaddr_in a{};
            a.sin_family = AF_INET;
            a.sin_port = htons(uint16_t(m_port));
            ::inet_pton(AF_INET, m_host.c_str(), &a.sin_addr);
            if (::connect(server, reinterpret_cast<sockaddr *>(&a), sizeof a) != 0) {
                ::close(client);
                ::close(server);
                continue;
            }
            const int one = 1;
            ::setsockopt(client, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
            ::setsockopt(server, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
            auto up = std::make_shared<Pipe>(), down = std::make_shared<Pipe>();
            auto fds = std::make_shared<std::pair<int, int>>(client, server);
            auto closer = std::shared_ptr<void>(nullptr, [fds](void *) {
                ::close(fds->first);
                ::close(fds->second);
            });
            m_threads.emplace_back([this, client, up, closer] { readInto(client, *up); });
            m_threads.emplace_back([this, server, up, closer] { writeFrom(*up, server); });
            m_threads.emplace_back([this, server, down, closer] { readInto(server, *down); });
            m_threads.emplace_back([this, client, down, closer] { writeFrom(*down, client); });
        }
    }

    void readInto(int fd, Pipe &pipe)
    {
        std::vector<char> buf(256 * 1024);
        for (;;) {
            pollfd p{fd, POLLIN, 0};
            if (::poll(&p, 1, 100) == 0) {
                if (m_stop)
                    break;
                continue;
            }
            const ssize_t n = ::read(fd, buf.data(), buf.size());
            std::lock_guard lock(pipe.m);
            pipe.q.push_back({Clock::now() + m_delay, n > 0 ? std::vector<char>(buf.begin(), buf.begin() + n) : std::vector<char>()});
            pipe.cv.notify_one();
            if (n <= 0)
                return;
        }
        std::lock_guard lock(pipe.m);
        pipe.q.push_back({Clock::now(), {}});
        pipe.cv.notify_one();
    }

    void writeFrom(Pipe &pipe, int fd)
    {
        for (;;) {
            Chunk c;
            {
                std::unique_lock lock(pipe.m);
                pipe.cv.wait(lock, [&] { return !pipe.q.empty(); });
                c = std::move(pipe.q.front());
                pipe.q.pop_front();
            }
            std::this_thread::sleep_until(c.due);
            if (c.data.empty()) {
                ::shutdown(fd, SHUT_WR);
                return;
            }
            size_t off = 0;
            while (off < c.data.size()) {
                const ssize_t n = ::write(fd, c.data.data() + off, c.data.size() - off);
                if (n <= 0) {
                    // The far side went away; keep draining so the reader never blocks.
                    break;
                }
                off += size_t(n);
            }
        }
    }

    std::string m_host;
    int m_port;
    std::chrono::milliseconds m_delay;
    int m_listener = -1;
    int m_listenPort = 0;
    std::atomic<bool> m_stop{false};
    std::thread m_acceptor;
    std::vector<std::thread> m_threads;
};

} // namespace parlivo::bench
