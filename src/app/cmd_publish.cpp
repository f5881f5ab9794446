#include "Commands.h"

#include <cstdio>

namespace parlivo {

int runPublishCommand(const QStringList &)
{
    std::fprintf(stderr, "parlivo publish: not available in this build\n");
    return 2;
}

} // namespace parlivo
