#pragma once
// How every file of a message is named: the drive serial of the application folder's
// volume, the time of day ("hh_mm_ss") at which the name was issued and, for published
// messages, a random token, so that one message's address tells nothing of another's.
#include <QString>
#include <QTime>

namespace parlivo {

class DriveInfo;

// The part of flname after its last folder separator, cut before the first '.'.
QString GetFileName(const QString &flname);

// "hh_mm_ss" on the 24-hour clock.
QString MessageTimeStamp(const QTime &time);

// Absolute volume serial of the drive holding appFolder (or of driveLetter when given);
// -1 when the drive is not ready. Asked afresh on every call.
qint64 GetDriveSerialNumber(DriveInfo &drives, const QString &appFolder, const QString &driveLetter = {});

// The serial as written in names: decimal digits, or "-1".
QString DriveSerialText(qint64 serial);

// Sixteen characters of the lower-case base32 alphabet (a-z, 2-7): 80 bits from the operating
// system's cryptographic generator, safe in file names and addresses alike.
QString MessageToken();
inline constexpr int MessageTokenLength = 16;

// "PVD82_" + serial + "_" + stamp + "_" + token.
QString MessageBaseName(qint64 serial, const QString &stamp, const QString &token);

// The name a message takes when `baseName` is taken on the server, for the attempt-th time
// (1, 2, ...): a short suffix after the stamp ("_2", "_3", ...). The stamp stays the true time
// of publishing, and a moved message never takes the plain name of one published later.
QString FreshBaseName(const QString &baseName, int attempt);

// workingBase + "/Temp/" + serial + "_" + stamp + ".mp3"; workingBase is the folder that
// holds the working folders (the application folder unless that cannot be written).
QString AudioWorkingFile(const QString &workingBase, qint64 serial, const QString &stamp);

} // namespace parlivo
