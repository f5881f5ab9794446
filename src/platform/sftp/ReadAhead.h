#pragma once
// Reads one file ahead of its upload on a thread of its own, hashing what it reads, so that the
// thread that frames, encrypts and sends does neither. On a busy machine the scheduler also
// gives two threads two shares of the processors, as the stock tools get with two processes.
#include <QByteArray>
#include <QString>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

namespace parlivo {

class ReadAhead
{
public:
    // Reads the file's bytes from `from` to `size` in pieces of `piece` bytes; `hash` sees every
    // byte from the start of the file, in order (the part before `from` too), on the reading thread.
    ReadAhead(const QString &path, qint64 from, qint64 size, qint64 piece, std::function<void(const char *, qsizetype)> hash);
    ~ReadAhead();
    ReadAhead(const ReadAhead &) = delete;
    ReadAhead &operator=(const ReadAhead &) = delete;

    enum class Result { Piece, NotYet, Failed };
    // The next piece, waiting at most `wait` for it. Once the last piece is taken, every byte has
    // been hashed.
    Result next(QByteArray *piece, std::chrono::milliseconds wait);

private:
    void run(QString path, qint64 from, qint64 size, qint64 piece);

    std::function<void(const char *, qsizetype)> m_hash;
    std::mutex m_lock;
    std::condition_variable m_changed;
    std::deque<QByteArray> m_ready;
    bool m_stop = false, m_failed = false;
    // Enough to cover a scheduling hiccup of the reader, little enough to stay light.
    static constexpr size_t MaxReady = 32;
    std::thread m_thread;
};

} // namespace parlivo
