#include "platform/character/CharacterAgent.h"
#include "platform/Factories.h"

namespace parlivo {

std::unique_ptr<CharacterHost> makeCharacterHost(const QString &appFolder)
{
    return std::make_unique<CharacterAgentHost>(appFolder, [] {
        return makeSpeechEngine(QString::fromLatin1(SpeechEngineClassId));
    });
}

} // namespace parlivo
