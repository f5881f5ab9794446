#include "WebVideoStep.h"

#include "platform/VideoConverter.h"

#include <QFile>
#include <QFileInfo>
#include <QTimer>

namespace parlivo {

WebVideoStep::~WebVideoStep()
{
    if (m_running && m_converter)
        m_converter->disconnect(this);
}

QString WebVideoStep::progressText(int percent)
{
    return QStringLiteral("Preparing the video for the web... %1%").arg(qBound(0, percent, 100));
}

QString WebVideoStep::failureNote(const QString &error)
{
    const QString why = error.trimmed().isEmpty() ? QStringLiteral("no reason was given") : error.trimmed();
    return QStringLiteral("The video could not be converted for the web (%1); the original is published with "
                          "its download link.")
        .arg(why.endsWith(QLatin1Char('.')) ? why.chopped(1) : why);
}

QString WebVideoStep::withheldNote(const QString &error)
{
    const QString why = error.trimmed().isEmpty() ? QStringLiteral("no reason was given") : error.trimmed();
    return QStringLiteral("The original video could not be copied without its hidden details (%1), so only its "
                          "copy for the web is published.")
        .arg(why.endsWith(QLatin1Char('.')) ? why.chopped(1) : why);
}

void WebVideoStep::start(VideoConverter *converter, const QString &original, const QString &mp4Path,
                         const QString &posterPath)
{
    if (m_running)
        return;
    m_running = true;
    m_mp4 = mp4Path;
    m_poster = posterPath;
    m_target = mp4Path;
    if (!mp4Path.isEmpty() && QFileInfo(original).absoluteFilePath() == QFileInfo(mp4Path).absoluteFilePath()) {
        // The original keeps its place until a whole replacement exists.
        const QFileInfo at(mp4Path);
        m_target = at.absolutePath() + QStringLiteral("/.converting-") + at.fileName();
        QFile::remove(m_target);
    }
    m_converter = converter;
    if (!converter) {
        WebVideoOutcome outcome;
        outcome.error = QStringLiteral("the video converter could not be started");
        finish(outcome);
        return;
    }
    connect(converter, &VideoConverter::progress, this, [this](int percent) {
        if (m_running)
            Q_EMIT progress(percent);
    });
    connect(converter, &VideoConverter::finished, this, &WebVideoStep::done);
    converter->start(original, m_target, posterPath);
}

void WebVideoStep::cancel()
{
    if (m_running && m_converter)
        m_converter->cancel();
}

void WebVideoStep::done(const VideoConversionResult &result)
{
    if (!m_running)
        return;
    if (m_converter)
        m_converter->disconnect(this);
    WebVideoOutcome outcome;
    outcome.cancelled = result.cancelled;
    outcome.originalCleaned = result.originalCleaned && !result.cancelled;
    outcome.originalError = result.originalError;
    outcome.poster = result.posterWritten && !result.cancelled && QFileInfo::exists(m_poster);
    outcome.mp4 = result.converted && !result.cancelled && QFileInfo::exists(m_target);
    if (outcome.mp4 && m_target != m_mp4) {
        QFile::remove(m_mp4);
        outcome.mp4 = QFile::rename(m_target, m_mp4);
        if (!outcome.mp4)
            outcome.error = QStringLiteral("the converted copy could not take the original's place");
    } else if (!outcome.mp4 && !outcome.cancelled && !m_mp4.isEmpty()) {
        outcome.error = result.error.isEmpty() ? QStringLiteral("the conversion did not complete") : result.error;
    }
    if (!outcome.mp4 && !m_target.isEmpty())
        QFile::remove(m_target);   // nothing half written goes out; an MP4 original stays
    if (outcome.cancelled && QFileInfo::exists(m_poster))
        QFile::remove(m_poster);
    finish(outcome);
}

void WebVideoStep::finish(const WebVideoOutcome &outcome)
{
    m_running = false;
    m_converter = nullptr;
    Q_EMIT finished(outcome);
}

} // namespace parlivo
