// parlivo trim: the window's trim and level without the window.
#include "cli/Commands.h"
#include "cli/CommandLine.h"

#include "audio/AudioEdit.h"
#include "platform/Factories.h"

#include <QCoreApplication>

#include <cstdio>

namespace parlivo {

namespace {

constexpr const char *TrimUsage =
    "Usage: parlivo trim IN OUT [--start S] [--end S] [--level]\n"
    "\n"
    "Writes IN (MP3, WAV, ...) to OUT as MP3 (44100 Hz, mono, 128 kbit/s). Without --start\n"
    "and --end, the silence at both ends is cut, keeping 0.15 s before the first and after\n"
    "the last sound; with them, the audio from S to E seconds is kept. --level brings the\n"
    "loudness to -16 LUFS with true peaks below -1 dBTP (an almost silent IN is not raised).\n";

const CommandLine &trimLine()
{
    static const CommandLine line(QStringLiteral("trim"), QString::fromLatin1(TrimUsage));
    return line;
}

bool parseSeconds(const QString &text, qint64 *ms)
{
    bool ok = false;
    const double s = text.toDouble(&ok);
    if (!ok || !(s >= 0) || s > 24 * 3600)
        return false;
    *ms = qint64(s * 1000.0 + 0.5);
    return true;
}

} // namespace

int runTrimCommand(const QStringList &arguments)
{
    QStringList files;
    AudioEdit edit;
    edit.alwaysWrite = true;
    for (int i = 0; i < arguments.size(); ++i) {
        const QString &a = arguments[i];
        if (const auto answered = trimLine().answerHelpOrVersion(a))
            return *answered;
        if (a == QLatin1String("--start") || a == QLatin1String("--end")) {
            qint64 *target = a == QLatin1String("--start") ? &edit.startMs : &edit.endMs;
            if (i + 1 >= arguments.size() || !parseSeconds(arguments[i + 1], target))
                return trimLine().usageError(QStringLiteral("%1 needs a number of seconds").arg(a));
            ++i;
        } else if (a == QLatin1String("--level")) {
            edit.level = true;
        } else if (a.startsWith(QLatin1Char('-')) && a.size() > 1) {
            return trimLine().usageError(QStringLiteral("unknown option '%1'").arg(a));
        } else {
            files << a;
        }
    }
    if (files.size() != 2)
        return trimLine().usageError(QStringLiteral("IN and OUT are needed"));
    if (edit.startMs >= 0 && edit.endMs >= 0 && edit.endMs <= edit.startMs)
        return trimLine().usageError(QStringLiteral("--end must come after --start"));
    edit.trimSilence = edit.startMs < 0 && edit.endMs < 0;

    const std::unique_ptr<LoudnessMeter> meter = makeLoudnessMeter();
    const AudioEditResult r = editAudioFile(files[0], files[1], edit, *meter);
    if (!r.ok())
        return trimLine().failure(QStringLiteral("%1: %2").arg(files[0], r.error));
    if (r.almostSilent)
        trimLine().warn(QStringLiteral("the audio is almost silent: its level was left as it was"));
    QString line = QStringLiteral("%1: kept %2 s of %3 s").arg(files[1]).arg(r.keptMs / 1000.0, 0, 'f', 2).arg(r.originalMs / 1000.0, 0, 'f', 2);
    if (edit.level && !r.almostSilent)
        line += QStringLiteral(", level %1%2 dB").arg(r.gainDb >= 0 ? QStringLiteral("+") : QString()).arg(r.gainDb, 0, 'f', 1);
    CommandLine::write(stdout, line + QLatin1Char('\n'));
    return 0;
}

} // namespace parlivo
