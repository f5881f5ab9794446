#include "platform/Factories.h"
#include "platform/sftp/SftpQtClient.h"

namespace parlivo {

std::unique_ptr<SftpClient> makeSftpClient() { return std::make_unique<SftpQtClient>(); }

} // namespace parlivo
