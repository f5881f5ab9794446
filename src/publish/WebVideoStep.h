#pragma once
// Between the checks and the upload: the chosen video is converted into a copy every browser
// plays, with a poster. The conversion is a courtesy to the recipient, never a condition of
// publishing: when it fails the original goes out alone, with its download link.
#include <QObject>
#include <QPointer>
#include <QString>

namespace parlivo {

class VideoConverter;
struct VideoConversionResult;

struct WebVideoOutcome
{
    bool mp4 = false;       // the converted copy is in place under its name
    bool poster = false;
    bool cancelled = false;
    QString error;          // why it could not be converted ("" when converted or cancelled)
    // The original was rewritten without its metadata. When it could not be, it must not
    // go out: originalError says why.
    bool originalCleaned = false;
    QString originalError;
};

class WebVideoStep : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;
    ~WebVideoStep() override;

    // Rewrites original (a copy of the person's video) without its metadata and converts it
    // into mp4Path and posterPath; with an empty mp4Path it is only rewritten. When original
    // and mp4Path are the same file (an MP4 original) the copy is made beside it and replaces
    // it only when it is whole. A missing converter ends the step at once as a failure;
    // finished() may come from inside start().
    void start(VideoConverter *converter, const QString &original, const QString &mp4Path,
               const QString &posterPath);
    void cancel();
    bool isRunning() const { return m_running; }

    // "Preparing the video for the web... 42%"
    static QString progressText(int percent);
    // For the status line and the closing line after a failure.
    static QString failureNote(const QString &error);
    static QString withheldNote(const QString &error);

Q_SIGNALS:
    void progress(int percent);
    void finished(const parlivo::WebVideoOutcome &outcome);

private:
    void done(const VideoConversionResult &result);
    void finish(const WebVideoOutcome &outcome);

    QPointer<VideoConverter> m_converter;
    bool m_running = false;
    QString m_mp4, m_target, m_poster;
};

} // namespace parlivo
