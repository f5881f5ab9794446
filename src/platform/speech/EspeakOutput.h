#pragma once
// The file formats speech can be written in, their options, and the writer that turns
// the synthesised 16-bit mono buffer into a file of the chosen format and option.
#include <QByteArray>
#include <QString>
#include <QStringList>

#include <functional>
#include <vector>

namespace parlivo {

namespace SpeechFormat {
enum : int { WAV = 0, MP3, WMA, OGG, VOX, AU, AIFF, MP4, FLAC, Count };
}

// The format names in format-number order.
QStringList speechFormatNames();
// The options offered for a format, in option-number order; empty for an unknown format.
QStringList speechFormatOptions(int format);
// False for formats this system offers but cannot write.
bool speechFormatWritable(int format);
// The format number a file name's extension asks for; MP3 when it names none we know.
int speechFormatForPath(const QString &path);

// Resamples mono 16-bit audio (windowed-sinc low-pass, so lowering the rate does not fold
// the synthesiser's high frequencies back into the speech band).
std::vector<qint16> resampleMono(const qint16 *samples, qsizetype count, int inRate, int outRate);

// Writes pcm (mono Int16 at inRate) to path in the given format and option. The file
// appears under its name only once complete: it is written beside it first and the
// earlier file at path is replaced at the end. cancelled is polled while writing; a
// cancelled or failed write leaves nothing behind and returns false with error set.
bool writeSpeechFile(const QString &path, int format, int option, const QByteArray &pcm, int inRate,
                     const std::function<bool()> &cancelled, QString *error);

} // namespace parlivo
