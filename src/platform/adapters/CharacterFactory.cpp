#include "Factories.h"

namespace parlivo {

std::unique_ptr<CharacterHost> makeCharacterHost(const QString &) { return nullptr; }

} // namespace parlivo
