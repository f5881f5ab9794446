// Files a person picks as the message's sound, background sound and video, and the MP3 reader:
// whatever the bytes, they are judged without reading outside them.
#include "FuzzSupport.h"
#include "audio/Mp3Info.h"
#include "publish/ContentCheck.h"

using namespace parlivo;
using namespace parlivo::fuzz;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const Mp3Info info = readMp3Info(bytes);
    check(!info.valid || (info.audioFrames > 0 && info.sampleRate > 0), "a valid MP3 has audio frames");
    check(info.seconds() >= 0, "playing time is not negative");

    const QString path = fileWith(QStringLiteral("picked"), bytes);
    contentProblem(MediaRole::Audio, path);
    contentProblem(MediaRole::BackgroundSound, path);
    for (const char *format : {"AVI", "FLV", "MOV", "MP4", "MPG", "SWF", "WMV"})
        contentProblem(MediaRole::Video, path, QLatin1String(format));
    return 0;
}
