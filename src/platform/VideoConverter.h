#pragma once
// Turns a chosen video into one every browser plays: MP4 with H.264 (yuv420p) and AAC,
// at most 1280 pixels wide, its index at the front so it plays while it downloads; and a
// JPEG poster from a frame about one second in. The work runs on a worker thread.
#include <QObject>
#include <QString>

namespace parlivo {

struct VideoConversionResult
{
    bool converted = false;     // the MP4 was written whole
    bool posterWritten = false;
    bool cancelled = false;
    // The source was rewritten in place without its metadata; when false, originalError
    // says why and the source is as it was.
    bool originalCleaned = false;
    QString originalError;
    // When not converted and not cancelled: why, in a few plain words for the status
    // line ("it holds no video stream", "the file is damaged").
    QString error;
};

class VideoConverter : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;
    ~VideoConverter() override = default;

    // Starts converting source into mp4Path and posterPath; finished reports the outcome,
    // progress a few times a second before it. Neither output is left half written: a
    // failed or cancelled conversion removes what it began. Source is a copy of the
    // person's video that is first rewritten in place without its metadata; with an empty
    // mp4Path that is all that is done.
    virtual void start(const QString &source, const QString &mp4Path, const QString &posterPath) = 0;
    // Stops a running conversion; finished follows within a second with cancelled set.
    virtual void cancel() = 0;

signals:
    void progress(int percent);   // 0..100
    void finished(const parlivo::VideoConversionResult &result);
};

} // namespace parlivo
