#include "platform/Factories.h"

#include <QTimer>

namespace parlivo {

namespace {

// Until the converter is built in, every video goes out as it was chosen.
class UnavailableVideoConverter : public VideoConverter
{
public:
    void start(const QString &, const QString &, const QString &) override
    {
        QTimer::singleShot(0, this, [this] {
            VideoConversionResult result;
            result.error = QStringLiteral("this build cannot convert videos");
            emit finished(result);
        });
    }
    void cancel() override {}
};

} // namespace

std::unique_ptr<VideoConverter> makeVideoConverter()
{
    return std::make_unique<UnavailableVideoConverter>();
}

} // namespace parlivo
