#include "Factories.h"

namespace parlivo {

std::unique_ptr<SftpClient> makeSftpClient() { return nullptr; }

} // namespace parlivo
