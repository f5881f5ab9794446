#pragma once
// Reads the frame headers of an MP3 file: format, bit rate of every frame, the info
// frame an encoder puts first, and the exact playing time it records.
#include <QByteArray>
#include <QString>

namespace parlivo {

struct Mp3Info
{
    bool valid = false;          // at least one audio frame was found
    int sampleRate = 0;
    int channels = 0;            // 1 for mono, 2 otherwise
    int bitrateKbps = 0;         // of the first audio frame
    bool constantBitrate = true; // every audio frame has the first one's rate
    int audioFrames = 0;         // frames after the info frame
    int samplesPerFrame = 0;
    bool hasInfoFrame = false;   // "Info" (constant rate) or "Xing" (variable)
    QString infoKind;
    int infoFrameCount = -1;     // the frame count the info frame states
    int encoderDelay = 0, padding = 0;   // samples to skip at the start and the end
    double seconds() const;      // playing time, delay and padding left out
};

Mp3Info readMp3Info(const QByteArray &data);
Mp3Info readMp3InfoFile(const QString &path);

} // namespace parlivo
