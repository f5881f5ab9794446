#include "platform/speech/EspeakEngine.h"
#include "platform/Factories.h"

namespace parlivo {

std::unique_ptr<SpeechEngine> makeSpeechEngine(const QString &classId)
{
    if (classId != QLatin1String(SpeechEngineClassId) || !EspeakEngine::available())
        return nullptr;
    return std::make_unique<EspeakEngine>();
}

} // namespace parlivo
