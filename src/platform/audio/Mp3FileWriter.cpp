#include "platform/audio/Mp3FileWriter.h"

#include <QFile>
#include <QFileInfo>
#include <cstdio>

namespace parlivo {

Mp3FileWriter::~Mp3FileWriter()
{
    close();
}

void Mp3FileWriter::setMp3Output(int sampleRate, int bitrateKbps, int channels)
{
    m_rate = sampleRate;
    m_kbps = bitrateKbps;
    m_channels = channels;
}

void Mp3FileWriter::createFile(const QString &path, int)
{
    close();
    m_writeFailed = false;
    m_lastError.clear();
    m_carry.clear();
    QString error;
    m_path = path;
    m_partPath = path.isEmpty() ? QString() : path + QStringLiteral(".part");
    if (!path.isEmpty() && QFileInfo(path).isDir()) {
        m_status = -1;
        m_lastError = QStringLiteral("%1 is a folder").arg(path);
        m_partPath.clear();
        return;
    }
    if (m_encoder.open(m_partPath, m_rate, m_rate, m_channels, m_kbps, &error)) {
        m_status = 0;
    } else {
        m_status = -1;
        m_lastError = error.replace(m_partPath, m_path);
        QFile::remove(m_partPath);
        m_partPath.clear();
    }
}

int Mp3FileWriter::fileSampleRate()
{
    return m_encoder.isOpen() ? m_encoder.outputRate() : m_rate;
}

int Mp3FileWriter::fileChannelCount()
{
    return m_encoder.isOpen() ? m_encoder.channels() : m_channels;
}

void Mp3FileWriter::write(const QByteArray &pcm)
{
    if (!m_encoder.isOpen() || m_writeFailed || pcm.isEmpty())
        return;
    const int frameBytes = 2 * m_encoder.channels();
    const char *data = pcm.constData();
    qsizetype size = pcm.size();
    // Blocks normally hold whole frames; a stray odd byte is kept for the next one.
    if (!m_carry.isEmpty()) {
        m_carry.append(pcm);
        data = m_carry.constData();
        size = m_carry.size();
    }
    const qsizetype whole = size - size % frameBytes;
    if (whole > 0 && !m_encoder.encode(reinterpret_cast<const qint16 *>(data), int(whole / frameBytes))) {
        m_writeFailed = true;
        m_encoder.close(&m_lastError);
        m_lastError.replace(m_partPath, m_path);
        return;
    }
    QByteArray rest(data + whole, size - whole);
    m_carry = rest;
}

void Mp3FileWriter::close()
{
    if (m_partPath.isEmpty())
        return;
    QString error;
    if (m_encoder.isOpen() && !m_encoder.close(&error)) {
        m_writeFailed = true;
        m_lastError = error;
    }
    m_carry.clear();
    if (!m_writeFailed) {
        // rename() replaces the target in one step: readers see the old file or the new one.
        if (std::rename(QFile::encodeName(m_partPath).constData(), QFile::encodeName(m_path).constData()) != 0) {
            m_writeFailed = true;
            m_lastError = QStringLiteral("could not replace %1").arg(m_path);
        }
    }
    if (m_writeFailed)
        QFile::remove(m_partPath);
    m_partPath.clear();
}

void Mp3FileWriter::abandon()
{
    if (m_partPath.isEmpty())
        return;
    m_encoder.close();
    m_carry.clear();
    QFile::remove(m_partPath);
    m_partPath.clear();
}

} // namespace parlivo
