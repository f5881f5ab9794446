// The upload conversation against an in-memory server that speaks just enough of the file
// transfer protocol, with faults switched on at will: the rules about what ends up on the
// server are checked here without a network.
#include "platform/sftp/SftpUpload.h"
#include "platform/sftp/SftpWire.h"

#include <QDateTime>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtEndian>
#include <gtest/gtest.h>
#include <functional>
#include <map>

using namespace parlivo;
using wire::put32;
using wire::put64;

namespace {

class MemoryServer
{
public:
    struct File
    {
        QByteArray data;
        quint32 mode = 0;
        qint64 mtime = QDateTime::currentSecsSinceEpoch();
    };
    std::map<QString, File> files;
    QStringList folders{"/httpdocs"};
    qint64 diskLeft = -1;          // bytes that still fit; -1 = unlimited
    bool refuseRename = false;
    quint32 renameExistsCode = 4;  // what a rename onto an existing name answers ...
    bool renameOverwrites = false; // ... unless the server simply replaces it
    bool exclusiveIgnored = false; // an exclusive create opens an existing file all the same
    int listed = 0;                // folder listings read
    QStringList takenAtRename;     // another upload puts these names in place just before ours
    QStringList log;               // request names in arrival order
    // Answers a request (type, id) in its own way when it returns true: a server that misbehaves.
    std::function<bool(quint8, quint32, QByteArray &)> intercept;
    qint64 written = 0;            // data bytes received

    // Answers every complete request in `in`; returns the answers.
    QByteArray serve(QByteArray &in)
    {
        QByteArray out, msg;
        while (wire::takePacket(in, &msg))
            answer(msg, out);
        return out;
    }

private:
    std::map<QByteArray, QString> m_handles;
    QStringList m_listing;
    int m_nextHandle = 0;

    // Fields a request leaves out (an OPEN without a mode) read as 0, never past its end.
    using Rd = wire::Reader;
    static void packet(QByteArray &out, quint8 type, quint32 id, const QByteArray &body)
    {
        out += wire::packet(type, id, body);
    }
public:
    static void status(QByteArray &out, quint32 id, quint32 code)
    {
        QByteArray b;
        put32(b, code);
        put32(b, 7);
        b.append("Failure");
        put32(b, 0);
        packet(out, 101, id, b);
    }
    static QByteArray attrBytes(qint64 size, quint32 mode, qint64 mtime)
    {
        QByteArray b;
        put32(b, 0x1 | 0x4 | 0x8);
        put64(b, quint64(size));
        put32(b, mode);
        put32(b, quint32(mtime));
        put32(b, quint32(mtime));
        return b;
    }
    static void attrs(QByteArray &out, quint32 id, qint64 size, quint32 mode, qint64 mtime = 0)
    {
        packet(out, 105, id, attrBytes(size, mode, mtime));
    }

private:
    void answer(const QByteArray &msg, QByteArray &out)
    {
        const quint8 type = quint8(msg.at(0));
        Rd r{msg, 1};
        if (type == 1) {   // greeting
            log << "INIT";
            QByteArray b;
            put32(b, 5);
            b.prepend(char(2));
            put32(out, 5);
            out.append(char(2));
            put32(out, 3);
            return;
        }
        const quint32 id = r.u32();
        if (intercept && intercept(type, id, out))
            return;
        switch (type) {
        case 17: case 7: {   // stat, lstat
            const QString path = QString::fromUtf8(r.str());
            log << "STAT " + path;
            if (folders.contains(path))
                attrs(out, id, 4096, 040755);
            else if (files.count(path))
                attrs(out, id, files[path].data.size(), 0100000 | files[path].mode, files[path].mtime);
            else
                status(out, id, 2);
            break;
        }
        case 3: {   // open
            const QString path = QString::fromUtf8(r.str());
            const quint32 flags = r.u32();
            r.u32();
            const quint32 mode = r.u32();
            log << "OPEN " + path;
            const QString folder = path.left(path.lastIndexOf('/'));
            if (!folders.contains(folder) || ((flags & 0x20) && !exclusiveIgnored && files.count(path))) {
                status(out, id, 4);
                break;
            }
            if (!files.count(path) || (flags & 0x10))
                files[path] = {{}, mode & 0777};
            const QByteArray h = QByteArray::number(++m_nextHandle);
            m_handles[h] = path;
            QByteArray b;
            put32(b, quint32(h.size()));
            b.append(h);
            packet(out, 102, id, b);
            break;
        }
        case 6: {   // write
            const QByteArray h = r.str();
            const quint64 offset = r.u64();
            const QByteArray data = r.str();
            if (!m_handles.count(h)) {
                status(out, id, 4);
                break;
            }
            if (diskLeft >= 0 && data.size() > diskLeft) {
                diskLeft = 0;
                status(out, id, 4);
                break;
            }
            if (diskLeft >= 0)
                diskLeft -= data.size();
            written += data.size();
            QByteArray &f = files[m_handles[h]].data;
            if (f.size() < qsizetype(offset + data.size()))
                f.resize(offset + data.size());
            std::copy(data.begin(), data.end(), f.begin() + offset);
            status(out, id, 0);
            break;
        }
        case 10: {   // fsetstat
            const QByteArray h = r.str();
            r.u32();
            files[m_handles[h]].mode = r.u32() & 0777;
            status(out, id, 0);
            break;
        }
        case 11: {   // opendir: the listing is taken when it is opened, one name per answer
            const QString path = QString::fromUtf8(r.str());
            log << "OPENDIR " + path;
            m_listing.clear();
            for (const auto &[name, f] : files)
                if (name.startsWith(path + "/"))
                    m_listing << name.mid(path.size() + 1);
            QByteArray b;
            put32(b, 1);
            b.append('D');
            packet(out, 102, id, b);
            break;
        }
        case 12: {   // readdir
            ++listed;
            if (m_listing.isEmpty()) {
                status(out, id, 1);
                break;
            }
            const QString name = m_listing.takeFirst();
            const File &f = files["/httpdocs/" + name];
            QByteArray b;
            put32(b, 1);
            put32(b, quint32(name.toUtf8().size()));
            b.append(name.toUtf8());
            put32(b, 0);
            b.append(attrBytes(f.data.size(), 0100000 | f.mode, f.mtime));
            packet(out, 104, id, b);
            break;
        }
        case 4: {   // close
            const QByteArray h = r.str();
            if (h == "D") {
                status(out, id, 0);
                break;
            }
            log << "CLOSE " + m_handles[h];
            status(out, id, m_handles.erase(h) ? 0 : 4);
            break;
        }
        case 18: {   // rename: never over an existing name
            const QString from = QString::fromUtf8(r.str()), to = QString::fromUtf8(r.str());
            log << "RENAME " + from + " " + to;
            if (takenAtRename.removeAll(to))
                files[to] = {"someone else's", 0644};
            if (refuseRename || (files.count(to) && !renameOverwrites) || !files.count(from)) {
                status(out, id, files.count(to) ? renameExistsCode : 4);
                break;
            }
            files[to] = files[from];
            files.erase(from);
            status(out, id, 0);
            break;
        }
        case 13: {   // remove
            const QString path = QString::fromUtf8(r.str());
            log << "REMOVE " + path;
            status(out, id, files.erase(path) ? 0 : 2);
            break;
        }
        default:
            status(out, id, 8);
        }
    }
};

QByteArray bytes(qint64 n, int seed)
{
    QByteArray b(n, Qt::Uninitialized);
    for (qint64 i = 0; i < n; ++i)
        b[i] = char((i * 131 + seed * 7) & 0xff);
    return b;
}

class UploadJob : public ::testing::Test
{
protected:
    void add(const QString &name, const QByteArray &data)
    {
        QFile f(dir.path() + "/" + name);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(data);
    }
    std::vector<UploadFile> files()
    {
        QString error;
        auto list = listUploadFolder(dir.path(), &error);
        EXPECT_TRUE(error.isEmpty());
        return list;
    }
    // Runs the job to its end; `split` feeds the answers in pieces of that size, and with
    // `produceBetween` the job's next requests are taken after every piece, as a client does.
    int run(SftpUploadJob &job, qsizetype split = 1 << 20, int maxRounds = 100000, bool produceBetween = false)
    {
        QByteArray toServer;
        for (int round = 0; round < maxRounds && !job.finished(); ++round) {
            job.produce(toServer, 256 * 1024);
            QByteArray answers = server.serve(toServer);
            for (qsizetype i = 0; i < answers.size(); i += split) {
                job.consume(answers.constData() + i, std::min(split, answers.size() - i));
                if (produceBetween)
                    job.produce(toServer, 256 * 1024);
            }
        }
        EXPECT_TRUE(job.finished());
        return job.errorCode();
    }
    // What is on the server but the sweep's marker.
    int messageFileCount() const
    {
        return int(server.files.size() - server.files.count("/httpdocs/" + SftpUploadJob::sweepMarkerName()));
    }
    QStringList hiddenNames() const
    {
        QStringList out;
        for (const auto &[path, f] : server.files)
            if (path.section('/', -1).startsWith('.') && !path.endsWith(SftpUploadJob::sweepMarkerName()))
                out << path;
        return out;
    }

    QTemporaryDir dir;
    MemoryServer server;
};

TEST_F(UploadJob, SendsEveryFileWhole_WithMode0644_AndInFewRoundTrips)
{
    add("a.htm", bytes(10, 1));
    add("b.mp3", bytes(3 * SftpUploadJob::WriteChunk + 5, 2));
    add("empty.wav", {});
    SftpUploadJob job("/httpdocs/", files());
    // Feeding the answers a byte at a time must not matter.
    int rounds = 0;
    QByteArray toServer;
    QList<SftpUploadJob::Stage> stages;
    while (!job.finished() && rounds < 50) {
        ++rounds;
        if (stages.isEmpty() || stages.last() != job.stage())
            stages << job.stage();
        job.produce(toServer, 1 << 24);
        const QByteArray answers = server.serve(toServer);
        for (char c : answers)
            job.consume(&c, 1);
    }
    ASSERT_TRUE(job.finished());
    EXPECT_EQ(job.errorCode(), SftpOk) << job.errorText().toStdString();
    EXPECT_EQ(server.files["/httpdocs/a.htm"].data, bytes(10, 1));
    EXPECT_EQ(server.files["/httpdocs/b.mp3"].data, bytes(3 * SftpUploadJob::WriteChunk + 5, 2));
    EXPECT_TRUE(server.files.count("/httpdocs/empty.wav"));
    for (const auto &[path, f] : server.files)
        EXPECT_EQ(f.mode, 0644u) << path.toStdString();
    EXPECT_EQ(hiddenNames(), QStringList());
    // Greeting, look-ups, opens with data, the page's rename, the others': a handful of
    // exchanges, not three per file.
    EXPECT_LE(rounds, 7);
    EXPECT_EQ(job.bytesAcknowledged(), job.bytesToSend());
    using S = SftpUploadJob::Stage;
    EXPECT_EQ(stages, (QList<S>{S::Preparing, S::Sending, S::Finishing}));
}

TEST_F(UploadJob, EmptyFolderStillNeedsTheRemoteFolder)
{
    SftpUploadJob ok("/httpdocs/", {});
    EXPECT_EQ(run(ok), SftpOk);
    SftpUploadJob missing("/gone/", {});
    EXPECT_EQ(run(missing), SftpRemoteFolderMissing);
}

TEST_F(UploadJob, NameRules_OnlyItsOwnIdenticalFileIsSkipped_AnythingElseIsAConflict)
{
    add("same.htm", bytes(100, 1));
    add("new.gif", bytes(50, 2));
    UploadRecord record;
    {   // sent once by this process: the same bytes under the same name are already there
        SftpUploadJob first("/httpdocs", files(), "srv", &record);
        EXPECT_EQ(run(first), SftpOk);
        server.files.erase("/httpdocs/new.gif");
        SftpUploadJob again("/httpdocs", files(), "srv", &record);
        EXPECT_EQ(run(again), SftpOk);
        EXPECT_EQ(again.skippedFiles(), 1);
        EXPECT_EQ(server.files["/httpdocs/new.gif"].data, bytes(50, 2));
    }
    // A file of the same size this process never sent, or the same bytes sent to another server.
    struct Case { const char *what; QByteArray remote; QString server; };
    for (const Case &k : {Case{"zeros", QByteArray(100, '\0'), "never"}, Case{"other server", bytes(100, 1), "other"}}) {
        SCOPED_TRACE(k.what);
        server.files.erase("/httpdocs/new.gif");
        server.files["/httpdocs/same.htm"] = {k.remote, 0644};
        server.log.clear();
        SftpUploadJob job("/httpdocs/", files(), k.server, &record);
        EXPECT_EQ(run(job), SftpNameConflict);
        EXPECT_TRUE(job.errorText().contains("same.htm"));
        EXPECT_EQ(server.files["/httpdocs/same.htm"].data, k.remote);
        EXPECT_FALSE(server.files.count("/httpdocs/new.gif")) << "a conflict stops the whole upload before sending";
        EXPECT_TRUE(server.log.filter(".part").isEmpty()) << server.log.join(", ").toStdString();
    }
}

TEST_F(UploadJob, TwoUploadsOfOneNameAtOnce_OneWinsWhole_TheOtherLeavesNothing)
{
    add("m.htm", bytes(300, 1));
    add("m.mp3", bytes(3 * SftpUploadJob::WriteChunk, 2));
    QTemporaryDir other;
    for (const auto &[name, seed] : {std::pair{"m.htm", 3}, std::pair{"m.mp3", 4}}) {
        QFile f(other.path() + "/" + name);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes(name == QLatin1String("m.htm") ? 300 : 3 * SftpUploadJob::WriteChunk, seed));
    }
    // Servers differ in what a rename onto an existing name does: refuse it with "failure" or
    // with "file already exists", or replace the file; and some open an existing file when
    // asked to create it exclusively.
    struct Kind { const char *what; quint32 code; bool overwrites, exclusiveIgnored = false; };
    for (const Kind &k : {Kind{"failure", 4, false}, Kind{"exists", 11, false}, Kind{"replaces", 4, true},
                          Kind{"no exclusive create", 4, false, true}}) {
        SCOPED_TRACE(k.what);
        server.files.clear();
        server.renameExistsCode = k.code;
        server.renameOverwrites = k.overwrites;
        server.exclusiveIgnored = k.exclusiveIgnored;
        QString error;
        SftpUploadJob a("/httpdocs/", files()), b("/httpdocs/", listUploadFolder(other.path(), &error));
        // Both look the names up before either has put anything in place, then take turns.
        QByteArray toA, toB;
        for (int round = 0; round < 200 && !(a.finished() && b.finished()); ++round) {
            for (auto [job, out] : {std::pair{&a, &toA}, std::pair{&b, &toB}}) {
                job->produce(*out, 64 * 1024);
                const QByteArray answers = server.serve(*out);
                job->consume(answers.constData(), answers.size());
            }
        }
        ASSERT_TRUE(a.finished() && b.finished());
        EXPECT_NE(a.errorCode() == SftpOk, b.errorCode() == SftpOk) << "exactly one wins";
        EXPECT_TRUE(a.errorCode() == SftpNameConflict || b.errorCode() == SftpNameConflict);
        const int seed = a.errorCode() == SftpOk ? 1 : 3;
        EXPECT_EQ(server.files["/httpdocs/m.htm"].data, bytes(300, seed));
        EXPECT_EQ(server.files["/httpdocs/m.mp3"].data, bytes(3 * SftpUploadJob::WriteChunk, seed + 1))
            << "the page and its sound belong to one message";
        EXPECT_EQ(hiddenNames(), QStringList());
    }

    // A sound name taken after the page was claimed: the page stays as empty as it was made,
    // since it may be the other upload's (it writes its words in once its files are in place).
    server.exclusiveIgnored = false;
    server.renameExistsCode = 11;
    server.renameOverwrites = false;
    server.files.clear();
    server.takenAtRename << "/httpdocs/m.mp3";
    SftpUploadJob c("/httpdocs/", files());
    EXPECT_EQ(run(c), SftpNameConflict);
    EXPECT_EQ(server.files["/httpdocs/m.htm"].data, QByteArray()) << "no page without its files";
    EXPECT_EQ(hiddenNames(), QStringList());
}

TEST_F(UploadJob, FailuresLeaveNoPartialOrTemporaryFile)
{
    add("a.htm", bytes(1000, 1));
    add("b.mp4", bytes(10 * SftpUploadJob::WriteChunk, 2));
    add("c.wav", bytes(5000, 3));

    {   // the disk fills up during the big file
        server.diskLeft = 4 * SftpUploadJob::WriteChunk;
        SftpUploadJob job("/httpdocs/", files());
        EXPECT_EQ(run(job), SftpWriteFailed);
        EXPECT_TRUE(job.errorText().contains("b.mp4")) << job.errorText().toStdString();
        EXPECT_TRUE(job.errorText().contains("full")) << job.errorText().toStdString();
        EXPECT_EQ(messageFileCount(), 0) << "temporary files are removed, none is put in place";
        server.diskLeft = -1;
    }
    {   // the folder is missing
        SftpUploadJob job("/nowhere/", files());
        EXPECT_EQ(run(job), SftpRemoteFolderMissing);
        EXPECT_TRUE(job.errorText().contains("/nowhere/"));
        EXPECT_EQ(messageFileCount(), 0);
    }
    {   // the final name is taken between the look-up and the rename
        server.refuseRename = true;
        SftpUploadJob job("/httpdocs/", files());
        EXPECT_EQ(run(job), SftpNameConflict);
        EXPECT_EQ(hiddenNames(), QStringList());
        server.refuseRename = false;
        for (auto it = server.files.begin(); it != server.files.end();)
            it = server.files.erase(it);
    }
    {   // cancelled in the middle of the data
        SftpUploadJob job("/httpdocs/", files());
        QByteArray toServer;
        for (int i = 0; i < 3; ++i) {
            job.produce(toServer, 2 * SftpUploadJob::WriteChunk);
            const QByteArray a = server.serve(toServer);
            job.consume(a.constData(), a.size());
        }
        ASSERT_FALSE(job.finished());
        job.abort(SftpCancelled, "cancelled");
        EXPECT_EQ(run(job), SftpCancelled);
        EXPECT_EQ(messageFileCount(), 0);
    }
    {   // a temporary file left by a lost connection does not block the next run
        server.files["/httpdocs/.b.mp4.part"] = {bytes(77, 7), 0600};
        SftpUploadJob job("/httpdocs/", files());
        EXPECT_EQ(run(job), SftpOk) << job.errorText().toStdString();
        EXPECT_EQ(server.files["/httpdocs/b.mp4"].data.size(), 10 * SftpUploadJob::WriteChunk);
        EXPECT_EQ(hiddenNames(), QStringList{"/httpdocs/.b.mp4.part"}) << "not this run's to remove";
    }
}

TEST_F(UploadJob, RenamesAnsweredAfterTheCleanupBeganAreTakenBackToo)
{
    add("a.htm", bytes(10, 1));
    add("b.gif", bytes(20, 2));
    add("c.mp3", bytes(30, 3));
    add("d.wav", bytes(40, 4));
    {   // three renames in flight, the middle one finds its name taken: the later success goes too
        server.takenAtRename << "/httpdocs/c.mp3";
        SftpUploadJob job("/httpdocs/", files());
        EXPECT_EQ(run(job, 1, 100000, true), SftpNameConflict);
        EXPECT_EQ(messageFileCount(), 2) << "the other's sound, and the empty page the other may share";
        EXPECT_EQ(server.files["/httpdocs/c.mp3"].data, "someone else's");
        EXPECT_EQ(server.files["/httpdocs/a.htm"].data, QByteArray());
        server.files.clear();
        server.log.clear();
    }
    {   // cancelled while the page's rename is on its way
        SftpUploadJob job("/httpdocs/", files());
        QByteArray toServer;
        while (!job.finished()) {
            job.produce(toServer, 1 << 20);
            const QByteArray answers = server.serve(toServer);
            const bool renaming = !server.log.filter("RENAME").isEmpty();
            if (renaming) {   // the clean-up's requests go out before the rename's answer comes in
                job.abort(SftpCancelled, "cancelled");
                job.produce(toServer, 1 << 20);
            }
            job.consume(answers.constData(), answers.size());
            if (renaming)
                break;
        }
        const QByteArray answers = server.serve(toServer);
        job.consume(answers.constData(), answers.size());
        EXPECT_EQ(run(job), SftpCancelled);
        EXPECT_EQ(messageFileCount(), 0);
    }
}

TEST_F(UploadJob, AnswersInAnyOrderStillCompleteTheUpload)
{
    add("a.htm", bytes(10, 1));
    add("b.mp3", bytes(3 * SftpUploadJob::WriteChunk + 5, 2));
    SftpUploadJob job("/httpdocs/", files());
    QByteArray toServer;
    for (int round = 0; round < 50 && !job.finished(); ++round) {
        job.produce(toServer, 1 << 24);
        const QByteArray answers = server.serve(toServer);
        // Last answered first: the close's answer comes before those of the writes.
        QList<QByteArray> packets;
        for (qsizetype i = 0; i + 4 <= answers.size(); i += 4 + qFromBigEndian<quint32>(answers.constData() + i))
            packets.prepend(answers.mid(i, 4 + qFromBigEndian<quint32>(answers.constData() + i)));
        for (const QByteArray &p : packets)
            job.consume(p.constData(), p.size());
    }
    ASSERT_TRUE(job.finished());
    EXPECT_EQ(job.errorCode(), SftpOk) << job.errorText().toStdString();
    EXPECT_EQ(server.files["/httpdocs/b.mp3"].data, bytes(3 * SftpUploadJob::WriteChunk + 5, 2));
}

TEST_F(UploadJob, AnswersThatFitNoQuestionFailAtOnce)
{
    add("a.htm", bytes(10, 1));
    const QByteArray emptyNames("\x00\x00\x00\x00", 4);
    auto packet = [](QByteArray &out, quint8 type, quint32 id, const QByteArray &body) {
        char raw[4];
        qToBigEndian(quint32(body.size() + 5), raw);
        out.append(raw, 4).append(char(type));
        qToBigEndian(id, raw);
        out.append(raw, 4).append(body);
    };
    struct Case { const char *what; quint8 request; std::function<void(QByteArray &, quint32)> answer; };
    const Case cases[] = {
        {"look-up answered OK", 7, [](QByteArray &out, quint32 id) { MemoryServer::status(out, id, 0); }},
        {"look-up answered with names", 7, [&](QByteArray &out, quint32 id) { packet(out, 104, id, emptyNames); }},
        {"folder answered with names", 17, [&](QByteArray &out, quint32 id) { packet(out, 104, id, emptyNames); }},
        {"write answered with a handle", 6, [&](QByteArray &out, quint32 id) { packet(out, 102, id, emptyNames); }},
        {"write status cut off after its id", 6, [&](QByteArray &out, quint32 id) { packet(out, 101, id, {}); }},
    };
    for (const Case &k : cases) {
        SCOPED_TRACE(k.what);
        server.files.clear();
        server.intercept = [&](quint8 type, quint32 id, QByteArray &out) {
            if (type != k.request)
                return false;
            k.answer(out, id);
            return true;
        };
        SftpUploadJob job("/httpdocs/", files());
        EXPECT_EQ(run(job, 1 << 20, 20), SftpProtocolError);
        EXPECT_EQ(messageFileCount(), 0);
    }
}

TEST_F(UploadJob, SweepIsBoundedDueOncePerMarkerAndNobodyWaitsForIt)
{
    add("m.htm", bytes(10, 1));
    const qint64 hourAgo = QDateTime::currentSecsSinceEpoch() - 3600;
    server.files["/httpdocs/.old.mp3.0123456789ab.part"] = {bytes(5, 1), 0600, hourAgo};
    server.files["/httpdocs/.new.mp3.0123456789ab.part"] = {bytes(5, 1), 0600};
    for (int i = 0; i < 2 * SftpUploadJob::MaxSweepListings; ++i)
        server.files[QString("/httpdocs/x%1.gif").arg(i, 4, 10, QChar('0'))] = {bytes(5, 1), 0644};
    SftpUploadJob first("/httpdocs/", files());
    bool placedBeforeTheEnd = false;
    QByteArray toServer;
    for (int round = 0; round < 1000 && !first.finished(); ++round) {
        first.produce(toServer, 1 << 20);
        const QByteArray answers = server.serve(toServer);
        first.consume(answers.constData(), answers.size());
        placedBeforeTheEnd = placedBeforeTheEnd || (first.placed() && !first.finished());
    }
    EXPECT_EQ(first.errorCode(), SftpOk);
    EXPECT_TRUE(placedBeforeTheEnd) << "the link need not wait for the sweep";
    EXPECT_EQ(first.staleRemoved(), 1);
    EXPECT_EQ(hiddenNames(), QStringList{"/httpdocs/.new.mp3.0123456789ab.part"}) << "a live upload's is kept";
    EXPECT_LE(server.listed, SftpUploadJob::MaxSweepListings);
    EXPECT_TRUE(server.files.count("/httpdocs/" + SftpUploadJob::sweepMarkerName()));

    // The marker is fresh: the next upload, on the same file-transfer session, lists nothing.
    server.files.erase("/httpdocs/m.htm");
    server.log.clear();
    SftpUploadJob second("/httpdocs/", files());
    second.continueOnOpenChannel();
    EXPECT_EQ(run(second), SftpOk);
    EXPECT_TRUE(second.placed());
    EXPECT_TRUE(server.log.filter(QRegularExpression("^(INIT|OPENDIR)")).isEmpty()) << server.log.join(", ").toStdString();
}

TEST_F(UploadJob, LostConnectionGoesOnFromWhatTheServerConfirmed_OrRemovesWhatItMade)
{
    const qint64 big = 40 * SftpUploadJob::WriteChunk;
    add("m.htm", bytes(300, 1));
    add("m.mp4", bytes(big, 2));
    // Runs `rounds` exchanges; the requests of the last one are lost with the line.
    const auto cutAfter = [&](SftpUploadJob &job, int rounds) {
        QByteArray toServer;
        for (int i = 0; i < rounds; ++i) {
            job.produce(toServer, 4 * SftpUploadJob::WriteChunk);
            const QByteArray answers = server.serve(toServer);
            if (i + 1 < rounds)
                job.consume(answers.constData(), answers.size());
        }
    };
    for (int cuts : {1, 2}) {
        SCOPED_TRACE(cuts);
        server.files.clear();
        server.written = 0;
        SftpUploadJob job("/httpdocs/", files());
        for (int c = 0; c < cuts; ++c) {
            cutAfter(job, 8);
            ASSERT_TRUE(job.canResume());
            job.resumeOnNewChannel();
        }
        EXPECT_EQ(run(job), SftpOk) << job.errorText().toStdString();
        EXPECT_EQ(server.files["/httpdocs/m.mp4"].data, bytes(big, 2));
        EXPECT_EQ(server.files["/httpdocs/m.htm"].data, bytes(300, 1));
        EXPECT_LE(server.written, big + 300 + cuts * 8 * SftpUploadJob::WriteChunk) << "only the rest is sent again";
        EXPECT_EQ(hiddenNames(), QStringList());
    }
    // Lost before the files were opened: with only the greeting lost it starts again; with the
    // page's claim asked for and never answered, a page under the name may be another upload's,
    // so the name counts as taken and nothing else of the job stays.
    for (int rounds : {1, 2}) {
        SCOPED_TRACE(rounds);
        server.files.clear();
        SftpUploadJob job("/httpdocs/", files());
        cutAfter(job, rounds);
        ASSERT_TRUE(job.canResume());
        job.resumeOnNewChannel();
        EXPECT_EQ(run(job), rounds == 1 ? SftpOk : SftpNameConflict) << job.errorText().toStdString();
        EXPECT_EQ(messageFileCount(), rounds == 1 ? 2 : 1);
        EXPECT_EQ(hiddenNames(), QStringList());
    }
    server.files.clear();
    SftpUploadJob given("/httpdocs/", files());
    cutAfter(given, 8);
    given.cleanUpOnNewChannel();
    EXPECT_EQ(run(given), SftpConnectionLost);
    EXPECT_EQ(messageFileCount(), 0) << "neither the page nor a partial file stays";
}

TEST_F(UploadJob, GarbageFromTheServerEndsTheJobAsAFailure)
{
    add("a.htm", bytes(10, 1));
    {
        SftpUploadJob job("/httpdocs/", files());
        QByteArray out;
        job.produce(out, 1024);
        const char huge[] = {'\x7f', '\x00', '\x00', '\x00', '\x02'};
        job.consume(huge, sizeof huge);
        EXPECT_TRUE(job.finished());
        EXPECT_EQ(job.errorCode(), SftpProtocolError);
    }
    {   // an answer to a request never made
        SftpUploadJob job("/httpdocs/", files());
        QByteArray out;
        job.produce(out, 1024);
        QByteArray version = server.serve(out);
        job.consume(version.constData(), version.size());
        QByteArray bogus;
        bogus.append("\x00\x00\x00\x11\x65\x00\x00\x99\x99\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00", 21);
        job.consume(bogus.constData(), bogus.size());
        EXPECT_EQ(run(job), SftpProtocolError);
    }
}

TEST(UploadFolder, ListsOnlyTheFolderOwnRegularFiles)
{
    QTemporaryDir d;
    QFile(d.path() + "/b.htm").open(QIODevice::WriteOnly);
    QFile f(d.path() + "/a.mp3");
    f.open(QIODevice::WriteOnly);
    f.write("12345");
    f.close();
    QDir(d.path()).mkdir("sub");
    QFile(d.path() + "/sub/c.gif").open(QIODevice::WriteOnly);
    QFile::link(d.path() + "/a.mp3", d.path() + "/link.mp3");
    QString error;
    const auto list = listUploadFolder(d.path(), &error);
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[0].name, "a.mp3");
    EXPECT_EQ(list[0].size, 5);
    EXPECT_EQ(list[1].name, "b.htm");
    EXPECT_TRUE(error.isEmpty());

    listUploadFolder(d.path() + "/missing", &error);
    EXPECT_FALSE(error.isEmpty());
}

} // namespace
