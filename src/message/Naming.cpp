#include "Naming.h"

#include "platform/Desktop.h"

#include <QDir>
#include <QRandomGenerator>
#include <algorithm>
#include <cstdlib>

namespace parlivo {

QString GetFileName(const QString &flname)
{
    const QChar separator = QDir::separator();
    const qsizetype slash = flname.lastIndexOf(separator);
    QString last = slash < 0 ? flname : flname.mid(slash + 1);
    const qsizetype dot = last.indexOf(QLatin1Char('.'));
    if (dot >= 0)
        last.truncate(dot);
    return last;
}

QString MessageTimeStamp(const QTime &time)
{
    return time.toString(QStringLiteral("HH_mm_ss"));
}

qint64 GetDriveSerialNumber(DriveInfo &drives, const QString &appFolder, const QString &driveLetter)
{
    const QString drive = driveLetter.isEmpty() ? drives.driveName(appFolder) : driveLetter;
    if (!drives.isReady(drive))
        return -1;
    // Widened first: the absolute value of the most negative serial does not fit 32 bits.
    return std::llabs(static_cast<qint64>(drives.serialNumber(drive)));
}

QString DriveSerialText(qint64 serial)
{
    return QString::number(serial);
}

QString MessageToken()
{
    // Tests that need two publications to collide on one name fix the token here; a token
    // of unsafe characters is ignored rather than trusted into a file name.
    const QByteArray fixed = qgetenv("PARLIVO_FIXED_NAME_TOKEN");
    if (!fixed.isEmpty() && fixed.size() <= 64
        && std::all_of(fixed.begin(), fixed.end(), [](char c) { return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9'); }))
        return QString::fromLatin1(fixed);

    static constexpr char alphabet[] = "abcdefghijklmnopqrstuvwxyz234567";
    // QRandomGenerator::system() reads the kernel's cryptographic generator (getrandom).
    quint64 high = QRandomGenerator::system()->generate64();
    quint32 low = QRandomGenerator::system()->generate();
    QString token(MessageTokenLength, Qt::Uninitialized);
    for (int i = 0; i < MessageTokenLength; ++i) {
        // 16 x 5 bits: the first 12 characters from the 64-bit word, the last 4 from the other.
        quint32 bits;
        if (i < 12) {
            bits = quint32(high & 31);
            high >>= 5;
        } else {
            bits = low & 31;
            low >>= 5;
        }
        token[i] = QLatin1Char(alphabet[bits]);
    }
    return token;
}

QString MessageBaseName(qint64 serial, const QString &stamp, const QString &token)
{
    return QStringLiteral("PVD82_") + DriveSerialText(serial) + QLatin1Char('_') + stamp + QLatin1Char('_') + token;
}

QString FreshBaseName(const QString &baseName, int attempt)
{
    return baseName + QLatin1Char('_') + QString::number(attempt + 1);
}

QString AudioWorkingFile(const QString &workingBase, qint64 serial, const QString &stamp)
{
    return workingBase + QStringLiteral("/Temp/") + DriveSerialText(serial) + QLatin1Char('_') + stamp
           + QStringLiteral(".mp3");
}

} // namespace parlivo
