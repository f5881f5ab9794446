// The upload conversation against a server that follows a script: it answers honestly, refuses,
// lies with a wrong or damaged answer, holds answers back and sends them in another order, slips
// in stray packets, splits its bytes anywhere, and the person may cancel. Whatever it does:
// the job ends once the server behaves, "done" means every file is there whole, and after a
// failure nothing of the job is left behind (unless the server refused a removal).
#include "FuzzSupport.h"
#include "platform/sftp/SftpUpload.h"
#include "platform/sftp/SftpWire.h"

#include <QtEndian>
#include <deque>
#include <map>

using namespace parlivo;
using namespace parlivo::fuzz;

namespace {

using wire::packet;
using wire::put32;

QByteArray status(quint32 id, quint32 code)
{
    QByteArray b;
    put32(b, code);
    put32(b, 0);
    put32(b, 0);
    return packet(101, id, b);
}

using Fields = wire::Reader;

// Performs what it is asked for only when it answers honestly: a refusal or a lie changes
// nothing, so the job's view and the files can be compared at the end.
class ScriptedServer
{
public:
    std::map<QString, QByteArray> files;
    bool folderExists = true;
    bool removalRefused = false;
    Script *script = nullptr;
    std::deque<QByteArray> held;

    QByteArray serve(QByteArray &in)
    {
        QByteArray out, msg;
        while (wire::takePacket(in, &msg))
            answer(msg, out);
        return out;
    }

private:
    std::map<QByteArray, QString> m_handles;
    int m_nextHandle = 0;

    void answer(const QByteArray &msg, QByteArray &out)
    {
        const quint8 type = quint8(msg.at(0));
        Fields r{msg, 1};
        if (type == 1) {
            QByteArray v;
            put32(v, 5);
            v.append(char(2));
            put32(v, 3);
            out += v;
            return;
        }
        const quint32 id = r.u32();
        const uint8_t mode = script->byte();
        if (mode % 16 == 9) {   // a stray packet first, answering nothing asked
            const quint8 strayType = script->byte();
            out += packet(strayType, 0x80000000u | script->u32(), script->bytes(script->byte() % 64));
        }
        switch (mode % 16) {
        case 10:   // refused
            if (type == 13)
                removalRefused = true;
            out += status(id, 2 + script->byte() % 6);
            return;
        case 11: {   // a lie: a wrong or damaged answer with the request's id
            if (type == 13)
                removalRefused = true;
            quint8 lieType = 101 + script->byte() % 5;
            QByteArray body = script->bytes(script->byte() % 48);
            if (lieType == 101 && body.size() >= 4 && qFromBigEndian<quint32>(body.constData()) == 0)
                body[3] = 4;   // a status "OK" for work not done cannot be told from the truth
            if (lieType == 102 && (type == 3 || type == 11))
                body = QByteArray::fromHex("00000002") + "zz";   // a handle the server does not know
            out += packet(lieType, id, body);
            return;
        }
        case 12:   // held back, sent after later answers
            held.push_back(honest(type, id, r));
            return;
        default:
            out += honest(type, id, r);
        }
    }

    QByteArray honest(quint8 type, quint32 id, Fields &r)
    {
        switch (type) {
        case 17: case 7: {   // stat, lstat
            const QString path = QString::fromUtf8(r.str());
            QByteArray b;
            if (path == "/httpdocs" && folderExists) {
                put32(b, 0x4);
                put32(b, 040755);
            } else if (files.count(path)) {
                put32(b, 0x5);
                b += QByteArray(4, '\0');
                put32(b, quint32(files[path].size()));
                put32(b, 0100644);
            } else {
                return status(id, 2);
            }
            return packet(105, id, b);
        }
        case 3: {   // open, exclusive
            const QString path = QString::fromUtf8(r.str());
            if (!folderExists || files.count(path))
                return status(id, 4);
            files[path] = {};
            const QByteArray h = QByteArray::number(++m_nextHandle);
            m_handles[h] = path;
            QByteArray b;
            put32(b, quint32(h.size()));
            return packet(102, id, b + h);
        }
        case 6: {   // write
            const QByteArray h = r.str();
            const quint64 offset = r.u64();
            const QByteArray data = r.str();
            if (!m_handles.count(h) || offset > (1u << 24))
                return status(id, 4);
            QByteArray &f = files[m_handles[h]];
            if (f.size() < qsizetype(offset) + data.size())
                f.resize(qsizetype(offset) + data.size());
            std::copy(data.begin(), data.end(), f.begin() + offset);
            return status(id, 0);
        }
        case 4:   // close
            return status(id, m_handles.erase(r.str()) ? 0 : 4);
        case 10:   // fsetstat
            return status(id, 0);
        case 18: {   // rename, never over a name
            const QString from = QString::fromUtf8(r.str()), to = QString::fromUtf8(r.str());
            if (files.count(to) || !files.count(from))
                return status(id, 4);
            files[to] = files[from];
            files.erase(from);
            return status(id, 0);
        }
        case 13:   // remove
            return status(id, files.erase(QString::fromUtf8(r.str())) ? 0 : 2);
        case 11:   // opendir: refused, the sweep is a courtesy
        default:
            return status(id, 8);
        }
    }
};

struct LocalFiles
{
    QTemporaryDir dir;
    std::map<QString, QByteArray> content;
    LocalFiles()
    {
        for (const auto &[name, size] : {std::pair{"m.htm", 300}, std::pair{"m.mp3", 70000}, std::pair{"m.wav", 0}}) {
            QByteArray b(size, Qt::Uninitialized);
            for (int i = 0; i < size; ++i)
                b[i] = char(i * 7 + size);
            QFile f(dir.filePath(name));
            if (!f.open(QIODevice::WriteOnly))
                std::abort();
            f.write(b);
            content[QStringLiteral("/httpdocs/") + name] = b;
        }
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static LocalFiles local;
    Script s(data, size);
    ScriptedServer server;
    server.script = &s;
    const uint8_t setup = s.byte();
    server.folderExists = (setup & 1) == 0;
    const bool foreign = setup & 2;   // someone else's file already holds one of the names
    if (foreign)
        server.files["/httpdocs/m.wav"] = "theirs";
    const int cancelAt = (setup & 4) ? s.byte() % 16 : -1;

    QString error;
    UploadRecord record;
    SftpUploadJob job("/httpdocs/", listUploadFolder(local.dir.path(), &error), "srv", &record);
    QByteArray toServer;
    int quietRounds = 0;
    for (int round = 0; !job.finished(); ++round) {
        if (round == cancelAt) {
            job.abort(SftpCancelled, QStringLiteral("cancelled"));
        }
        job.produce(toServer, qsizetype(1 + s.byte()) * 4096);
        QByteArray answers = server.serve(toServer);
        // Held answers come after this round's, last held first.
        while (!server.held.empty() && (s.done() || s.byte() % 2)) {
            answers += server.held.back();
            server.held.pop_back();
        }
        for (qsizetype i = 0; i < answers.size();) {
            const qsizetype piece = s.done() ? answers.size() : 1 + s.byte() % 97;
            job.consume(answers.constData() + i, std::min(piece, answers.size() - i));
            i += piece;
        }
        if (s.done() && server.held.empty() && ++quietRounds > 50)
            broken("the job ends once the server behaves",
                   QStringLiteral("stage %1, error %2: %3").arg(int(job.stage())).arg(job.errorCode()).arg(job.errorText()));
    }
    for (const QByteArray &late : server.held)
        job.consume(late.constData(), late.size());   // after the end: ignored

    check(job.bytesAcknowledged() <= job.bytesToSend(), "no more is acknowledged than was sent");
    // The sweep's marker stays by design: it says when the folder was last looked through.
    const QString marker = QStringLiteral("/httpdocs/") + SftpUploadJob::sweepMarkerName();
    server.files.erase(marker);
    auto leftOfOurs = [&] {
        QStringList left;
        for (const auto &[path, bytes] : server.files)
            if (!(foreign && path == "/httpdocs/m.wav" && bytes == "theirs"))
                left << path;
        return left;
    };
    if (job.errorCode() == SftpOk) {
        // A cancel once every file is in place gives up only the sweep: the upload is done then.
        check(server.folderExists, "an upload to a missing folder is not done");
        check(!foreign, "a name held by someone else is not replaced");
        for (const auto &[path, bytes] : local.content)
            check(server.files.count(path) && server.files[path] == bytes, "done means every file is there whole", path);
        check(server.files.size() == local.content.size(), "done leaves no temporary file", leftOfOurs().join(' '));
    } else {
        if (foreign)
            check(server.files["/httpdocs/m.wav"] == "theirs", "someone else's file is left alone");
        // A name taken while sending may leave the page as it was created, empty: it may be the
        // other upload's. Nothing with any of this upload's bytes stays.
        QStringList left = leftOfOurs();
        if (job.errorCode() == SftpNameConflict && server.files.count("/httpdocs/m.htm")
            && server.files["/httpdocs/m.htm"].isEmpty())
            left.removeAll("/httpdocs/m.htm");
        if (!server.removalRefused)
            check(left.isEmpty(), "a failed upload leaves nothing behind", job.errorText() + ": " + left.join(' '));
    }
    return 0;
}
