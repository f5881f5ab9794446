#include "Factories.h"

namespace parlivo {

std::unique_ptr<SpeechEngine> makeSpeechEngine(const QString &) { return nullptr; }

} // namespace parlivo
