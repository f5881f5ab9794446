#pragma once
// Hands a file-transfer client everything the settings say about the server, so that the
// connection check and the publication log in exactly the same way.
#include "platform/SftpClient.h"
#include "publish/PublishConfig.h"

namespace parlivo {

inline void applyConnectionSettings(SftpClient &client, const PublishConfig &config, const QString &passphrase)
{
    client.setHostname(config.host);
    client.setPort(config.port);
    client.setLogin(config.user);
    client.setPassword(config.password);
    client.setHostKeyFingerprint(config.hostKey);
    client.setKnownHostsFile(config.knownHosts);
    client.setUseAgent(config.useAgent);
    client.setIdentityFile(config.identity);
    client.setPassphrase(passphrase);
}

} // namespace parlivo
