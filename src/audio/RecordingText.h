#pragma once
// The texts the recording panel shows: the seconds counter, the player's time and the
// plain-words reasons a recording did not start or was not saved.
#include <QLocale>
#include <QString>

namespace parlivo {

// A recording stops by itself on this tick of the seconds counter.
inline constexpr int RecordingLimitSeconds = 125;

// "2 secs..." for 2.
QString recordingCounterText(int seconds);
// Milliseconds as seconds without trailing zeros, in the locale's notation: 2500 -> "2.5".
QString playerTimeText(qint64 milliseconds, const QLocale &locale = QLocale());
QString recordingNotStartedText(const QString &reason);
QString recordingNotSavedText(const QString &reason);

} // namespace parlivo
