// The help topics file: whatever it holds, every topic read has finite positions and texts.
#include "FuzzSupport.h"
#include "help/HelpScript.h"

#include <cmath>

using namespace parlivo;
using namespace parlivo::fuzz;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const HelpScripts scripts = HelpScripts::fromJson(QByteArray(reinterpret_cast<const char *>(data), qsizetype(size)));
    check(scripts.size() == scripts.names().size(), "every name has a topic");
    for (const QString &name : scripts.names()) {
        const HelpTopic *t = scripts.topic(name);
        check(t != nullptr, "a listed topic can be found", name);
        check(std::isfinite(t->start.x()) && std::isfinite(t->start.y()), "a start is finite", name);
        for (const ScriptStep &step : t->steps) {
            if (step.kind == ScriptStep::MoveOffset || step.kind == ScriptStep::MoveScreen)
                check(std::isfinite(step.position.x()) && std::isfinite(step.position.y()), "a move is finite", name);
            else
                check(!step.text.isEmpty(), "words and animations are not empty", name);
        }
    }
    return 0;
}
