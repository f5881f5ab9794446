#include "Commands.h"

#include <cstdio>

namespace parlivo {

int runSpeakCommand(const QStringList &)
{
    std::fprintf(stderr, "parlivo speak: not available in this build\n");
    return 2;
}

} // namespace parlivo
