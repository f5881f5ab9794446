#include "RecordingText.h"

namespace parlivo {

QString recordingCounterText(int seconds)
{
    return QString::number(seconds) + QStringLiteral(" secs...");
}

QString playerTimeText(qint64 milliseconds, const QLocale &locale)
{
    QLocale l(locale);
    l.setNumberOptions(l.numberOptions() | QLocale::OmitGroupSeparator);
    const bool negative = milliseconds < 0;
    const qint64 ms = negative ? -milliseconds : milliseconds;
    const qint64 whole = ms / 1000;
    int fraction = int(ms % 1000);
    // Built from integers so that no rounding can turn 2.5 into 2.4999.
    QString text = l.toString(whole);
    if (fraction != 0) {
        const QString zero = l.zeroDigit();
        QString digits = l.toString(fraction);
        while (digits.size() < 3 * zero.size())
            digits.prepend(zero);
        while (digits.endsWith(zero))
            digits.chop(zero.size());
        text += l.decimalPoint() + digits;
    }
    return negative ? l.negativeSign() + text : text;
}

static QString sentence(QString reason)
{
    reason = reason.trimmed();
    while (reason.endsWith(QLatin1Char('.')))
        reason.chop(1);
    return reason;
}

QString recordingNotStartedText(const QString &reason)
{
    return QStringLiteral("Recording could not start: %1.").arg(sentence(reason));
}

QString recordingNotSavedText(const QString &reason)
{
    return QStringLiteral("The recording could not be saved: %1.").arg(sentence(reason));
}

} // namespace parlivo
