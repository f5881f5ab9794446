#include "Commands.h"

#include <cstdio>

namespace parlivo {

int runRecordCommand(const QStringList &)
{
    std::fprintf(stderr, "parlivo record: not available in this build\n");
    return 2;
}

} // namespace parlivo
