#include "Naming.h"

#include "platform/Desktop.h"

#include <QDir>
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

QString MessageBaseName(qint64 serial, const QString &stamp)
{
    return QStringLiteral("PVD82_") + DriveSerialText(serial) + QLatin1Char('_') + stamp;
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
