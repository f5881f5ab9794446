#pragma once
// The bytes of the file-transfer protocol, for requests and answers alike: big-endian numbers,
// length-prefixed strings, and packets of length, type and request id.
#include <QByteArray>
#include <QtEndian>

namespace parlivo::wire {

inline void put32(QByteArray &b, quint32 v)
{
    char raw[4];
    qToBigEndian(v, raw);
    b.append(raw, 4);
}

inline void put64(QByteArray &b, quint64 v)
{
    char raw[8];
    qToBigEndian(v, raw);
    b.append(raw, 8);
}

inline void putString(QByteArray &b, const QByteArray &s)
{
    put32(b, quint32(s.size()));
    b.append(s);
}

// The greeting (type 1) carries no request id.
inline QByteArray packet(quint8 type, quint32 id, const QByteArray &body)
{
    QByteArray p;
    put32(p, quint32(body.size() + (type == 1 ? 1 : 5)));
    p.append(char(type));
    if (type != 1)
        put32(p, id);
    p.append(body);
    return p;
}

// Takes the first complete packet (its type, id and body, without the length) off the front of
// `in`; false while it is still incomplete.
inline bool takePacket(QByteArray &in, QByteArray *packet)
{
    if (in.size() < 4)
        return false;
    const quint32 n = qFromBigEndian<quint32>(in.constData());
    if (in.size() - 4 < qsizetype(n))
        return false;
    *packet = in.mid(4, n);
    in.remove(0, qsizetype(n) + 4);
    return true;
}

// Reads the fields of a packet; a field cut off reads as zero or empty and sets `bad`, never
// reading past the end.
struct Reader
{
    const QByteArray &b;
    qsizetype pos = 0;
    bool bad = false;
    quint32 u32()
    {
        if (bad || pos + 4 > b.size()) { bad = true; return 0; }
        const quint32 v = qFromBigEndian<quint32>(b.constData() + pos);
        pos += 4;
        return v;
    }
    quint64 u64()
    {
        if (bad || pos + 8 > b.size()) { bad = true; return 0; }
        const quint64 v = qFromBigEndian<quint64>(b.constData() + pos);
        pos += 8;
        return v;
    }
    void skip(qsizetype n)
    {
        bad = bad || n < 0 || n > b.size() - pos;
        pos += bad ? 0 : n;
    }
    QByteArray str()
    {
        const quint32 n = u32();
        if (bad || qsizetype(n) > b.size() - pos) { bad = true; return {}; }
        pos += n;
        return b.mid(pos - n, n);
    }
};

} // namespace parlivo::wire
