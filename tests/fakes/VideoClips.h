#pragma once
// Real video clips for the tests, made with the ffmpeg tool: colour bars with a moving
// counter and, unless silent, a 440 Hz tone.
#include <QProcess>
#include <QStandardPaths>
#include <QString>
#include <QStringList>

namespace parlivo::test {

inline bool haveFfmpegTools()
{
    return !QStandardPaths::findExecutable("ffmpeg").isEmpty() && !QStandardPaths::findExecutable("ffprobe").isEmpty();
}

// The codecs a camera or an old editor typically put in each container the window offers.
inline QStringList typicalCodecs(const QString &extension)
{
    if (extension == "avi")
        return {"-c:v", "mpeg4", "-c:a", "mp3"};
    if (extension == "flv" || extension == "swf")
        return {"-c:v", "flv1", "-c:a", "mp3", "-ar", "44100"};
    if (extension == "mov")
        return {"-c:v", "mjpeg", "-c:a", "pcm_s16le"};
    if (extension == "mpg")
        return {"-c:v", "mpeg1video", "-c:a", "mp2"};
    if (extension == "mpeg")
        return {"-c:v", "mpeg2video", "-c:a", "mp2", "-f", "vob"};
    if (extension == "wmv")
        return {"-c:v", "wmv2", "-c:a", "wmav2"};
    return {"-c:v", "libx264", "-pix_fmt", "yuv420p", "-c:a", "aac", "-movflags", "+faststart"};
}

// Writes the clip; returns ffmpeg's complaint, or "" when it was made.
inline QString makeClip(const QString &path, const QStringList &codecArgs, int w, int h, double seconds, bool sound = true)
{
    QStringList args{"-v", "error", "-y", "-f", "lavfi", "-i",
                     QString("testsrc=size=%1x%2:rate=25:duration=%3").arg(w).arg(h).arg(seconds)};
    if (sound)
        args << "-f" << "lavfi" << "-i" << QString("sine=frequency=440:sample_rate=44100:duration=%1").arg(seconds);
    args << codecArgs << path;
    QProcess p;
    p.start("ffmpeg", args);
    if (!p.waitForFinished(60000))
        return "ffmpeg did not finish";
    return p.exitCode() == 0 ? QString() : QString::fromUtf8(p.readAllStandardError());
}

} // namespace parlivo::test
