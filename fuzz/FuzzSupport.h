#pragma once
// What the fuzz targets share: taking typed values off the input, files for readers that take a
// path, and a property check that stops the run with the input kept.
#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>
#include <QTemporaryDir>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace parlivo::fuzz {

// Reads the fuzzer's bytes as a script; past the end every value is 0.
class Script
{
public:
    Script(const uint8_t *data, size_t size) : m_data(data), m_size(size) {}
    bool done() const { return m_pos >= m_size; }
    uint8_t byte() { return m_pos < m_size ? m_data[m_pos++] : 0; }
    uint32_t u32() { return uint32_t(byte()) << 24 | uint32_t(byte()) << 16 | uint32_t(byte()) << 8 | byte(); }
    QByteArray bytes(size_t n)
    {
        n = std::min(n, m_size - std::min(m_pos, m_size));
        QByteArray b(reinterpret_cast<const char *>(m_data + m_pos), qsizetype(n));
        m_pos += n;
        return b;
    }
    QByteArray rest() { return bytes(m_size); }
    // A run of bytes ended by a 0 byte or the end: a field of a structured input.
    QByteArray field()
    {
        QByteArray b;
        while (!done()) {
            const uint8_t c = byte();
            if (c == 0)
                break;
            b.append(char(c));
        }
        return b;
    }

private:
    const uint8_t *m_data;
    size_t m_size;
    size_t m_pos = 0;
};

// A file holding `data` in a folder of this process, rewritten for every input.
inline QString fileWith(const QString &name, const QByteArray &data)
{
    static QTemporaryDir dir;
    const QString path = dir.filePath(name);
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        std::abort();
    f.write(data);
    return path;
}

[[noreturn]] inline void broken(const char *property, const QString &detail = {})
{
    std::fprintf(stderr, "property broken: %s\n%s\n", property, qPrintable(detail));
    std::abort();
}

inline void check(bool holds, const char *property, const QString &detail = {})
{
    if (!holds)
        broken(property, detail);
}

} // namespace parlivo::fuzz
