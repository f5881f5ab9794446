// The publishing settings file: whatever it holds, the settings taken from it are usable ones.
#include "FuzzSupport.h"
#include "publish/PublishConfig.h"

using namespace parlivo;
using namespace parlivo::fuzz;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString path = fileWith(QStringLiteral("publish.conf"), QByteArray(reinterpret_cast<const char *>(data), qsizetype(size)));
    PublishConfig c = PublishConfig::compiledIn();
    c.readFile(path, false, QStringLiteral("/home/someone"));
    check(c.port >= 1 && c.port <= 65535, "the port is one", QString::number(c.port));
    check(c.remoteFolder.startsWith(QLatin1Char('/')) && c.remoteFolder.endsWith(QLatin1Char('/')),
          "the remote folder is a path from the root", c.remoteFolder);
    check(c.pageBase.isEmpty() || c.pageBase.endsWith(QLatin1Char('/')), "the page base ends with a slash", c.pageBase);
    c.problem();
    PublishConfig::withOverrides(c, {});
    return 0;
}
