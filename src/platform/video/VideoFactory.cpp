#include "platform/Factories.h"
#include "platform/video/FfmpegConversion.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPointer>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <memory>
#include <thread>

namespace parlivo {

namespace {

// Runs each conversion on its own thread; results come back through the event loop of the
// thread the converter lives in. Outputs are written under hidden temporary names in
// their own folders and renamed only once whole.
class FfmpegVideoConverter : public VideoConverter
{
public:
    ~FfmpegVideoConverter() override { stopWorker(); }

    void start(const QString &source, const QString &mp4Path, const QString &posterPath) override
    {
        stopWorker();
        const quint64 generation = ++m_generation;
        m_cancel = std::make_shared<std::atomic<bool>>(false);
        auto cancel = m_cancel;
        const std::string src = QFile::encodeName(source).toStdString();
        const std::string mp4 = QFile::encodeName(mp4Path).toStdString();
        const std::string poster = QFile::encodeName(posterPath).toStdString();
        m_worker = std::thread([this, generation, cancel, src, mp4, poster] {
            const std::string mp4Tmp = tempName(mp4);
            const std::string posterTmp = tempName(poster);
            auto report = [this, generation](int percent) {
                QMetaObject::invokeMethod(this, [this, generation, percent] {
                    if (generation == m_generation)
                        emit progress(percent);
                }, Qt::QueuedConnection);
            };
            // The original goes out too: it loses its metadata first, in place, so that the
            // converted copy is made from what is published.
            const std::string cleanTmp = tempName(src);
            const video::CleanOutcome cleaning = video::remuxWithoutMetadata(
                src, cleanTmp, std::filesystem::path(src).extension().string(), *cancel);
            std::error_code cleanError;
            if (cleaning.cleaned)
                std::filesystem::rename(cleanTmp, src, cleanError);
            std::filesystem::remove(cleanTmp, cleanError);
            video::ConversionOutcome outcome;
            if (!mp4.empty())
                outcome = video::convertForWeb(src, mp4Tmp, posterTmp, *cancel, report);
            else
                outcome.cancelled = cleaning.cancelled;
            if (cancel->load()) {
                outcome.converted = false;
                outcome.cancelled = true;
            }
            std::error_code ec;
            if (outcome.converted) {
                std::filesystem::rename(mp4Tmp, mp4, ec);
                if (ec) {
                    outcome.converted = false;
                    outcome.error = "the converted video cannot be saved";
                }
            }
            if (outcome.converted && outcome.posterWritten) {
                std::filesystem::rename(posterTmp, poster, ec);
                if (ec)
                    outcome.posterWritten = false;
            } else {
                outcome.posterWritten = false;
            }
            if (!mp4Tmp.empty())
                std::filesystem::remove(mp4Tmp, ec);
            if (!posterTmp.empty())
                std::filesystem::remove(posterTmp, ec);

            VideoConversionResult result;
            result.originalCleaned = cleaning.cleaned && !cleanError;
            if (!result.originalCleaned)
                result.originalError = QString::fromStdString(cleaning.error.empty() ? "it cannot be rewritten" : cleaning.error);
            result.converted = outcome.converted;
            result.posterWritten = outcome.posterWritten;
            result.cancelled = outcome.cancelled;
            if (!outcome.converted && !outcome.cancelled && !mp4.empty())
                result.error = QString::fromStdString(outcome.error.empty() ? "it cannot be converted" : outcome.error);
            QMetaObject::invokeMethod(this, [this, generation, result] {
                if (generation == m_generation)
                    emit finished(result);
            }, Qt::QueuedConnection);
        });
    }

    void cancel() override
    {
        if (m_cancel)
            m_cancel->store(true);
    }

private:
    static std::string tempName(const std::string &path)
    {
        if (path.empty())
            return {};
        const std::filesystem::path p(path);
        return (p.parent_path() / ("." + p.filename().string() + ".part")).string();
    }

    // Asks the running conversion to stop and waits for it: it checks between packets
    // and during reads, so this takes well under a second.
    void stopWorker()
    {
        if (m_cancel)
            m_cancel->store(true);
        if (m_worker.joinable())
            m_worker.join();
    }

    std::thread m_worker;
    std::shared_ptr<std::atomic<bool>> m_cancel;
    quint64 m_generation = 0;
};

} // namespace

std::unique_ptr<VideoConverter> makeVideoConverter()
{
    return std::make_unique<FfmpegVideoConverter>();
}

} // namespace parlivo
