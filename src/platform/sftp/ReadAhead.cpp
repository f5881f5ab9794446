#include "platform/sftp/ReadAhead.h"

#include <QFile>
#include <algorithm>

namespace parlivo {

ReadAhead::ReadAhead(const QString &path, qint64 from, qint64 size, qint64 piece,
                     std::function<void(const char *, qsizetype)> hash)
    : m_hash(std::move(hash))
{
    m_thread = std::thread([this, path, from, size, piece] { run(path, from, size, piece); });
}

ReadAhead::~ReadAhead()
{
    {
        std::lock_guard<std::mutex> hold(m_lock);
        m_stop = true;
    }
    m_changed.notify_all();
    m_thread.join();
}

void ReadAhead::run(QString path, qint64 from, qint64 size, qint64 piece)
{
    QFile f(path);
    const auto fail = [this] {
        std::lock_guard<std::mutex> hold(m_lock);
        m_failed = true;
        m_changed.notify_all();
    };
    if (!f.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        return fail();
    // The part the server already holds counts towards the file's digest all the same.
    QByteArray buffer(std::max<qint64>(piece, 1), Qt::Uninitialized);
    for (qint64 left = from; left > 0;) {
        const qint64 n = f.read(buffer.data(), std::min<qint64>(left, buffer.size()));
        if (n <= 0)
            return fail();
        m_hash(buffer.constData(), n);
        left -= n;
    }
    for (qint64 at = from; at < size;) {
        const qint64 want = std::min(piece, size - at);
        QByteArray b(want, Qt::Uninitialized);
        if (f.read(b.data(), want) != want)
            return fail();   // shorter than when the upload began: never send a patched-up file
        m_hash(b.constData(), want);
        at += want;
        std::unique_lock<std::mutex> hold(m_lock);
        // A full queue is refilled from half: one wake-up per many pieces, not one per piece.
        if (m_ready.size() >= MaxReady)
            m_changed.wait(hold, [this] { return m_stop || m_ready.size() <= MaxReady / 2; });
        if (m_stop)
            return;
        m_ready.push_back(std::move(b));
        if (m_ready.size() == 1)
            m_changed.notify_all();   // the sender may be waiting for it
    }
}

ReadAhead::Result ReadAhead::next(QByteArray *piece, std::chrono::milliseconds wait)
{
    std::unique_lock<std::mutex> hold(m_lock);
    if (!m_changed.wait_for(hold, wait, [this] { return !m_ready.empty() || m_failed; }))
        return Result::NotYet;
    if (!m_ready.empty()) {
        *piece = std::move(m_ready.front());
        m_ready.pop_front();
        if (m_ready.size() == MaxReady / 2)
            m_changed.notify_all();
        return Result::Piece;
    }
    return Result::Failed;
}

} // namespace parlivo
