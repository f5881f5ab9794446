#include "publish/PublishConfig.h"

#ifndef PARLIVO_SFTP_HOST
#define PARLIVO_SFTP_HOST ""
#define PARLIVO_SFTP_PORT 22
#define PARLIVO_SFTP_USER ""
#define PARLIVO_SFTP_PASSWORD ""
#define PARLIVO_SFTP_HOSTKEY ""
#define PARLIVO_PAGE_BASE ""
#endif

namespace parlivo {

namespace {

QString derivedPageBase(const QString &host) { return QStringLiteral("http://") + host + QLatin1Char('/'); }

QString withSlash(QString s)
{
    if (!s.isEmpty() && !s.endsWith(QLatin1Char('/')))
        s += QLatin1Char('/');
    return s;
}

} // namespace

PublishConfig PublishConfig::compiledIn()
{
    PublishConfig c;
    c.host = QStringLiteral(PARLIVO_SFTP_HOST);
    c.port = PARLIVO_SFTP_PORT;
    c.user = QStringLiteral(PARLIVO_SFTP_USER);
    c.password = QStringLiteral(PARLIVO_SFTP_PASSWORD);
    c.hostKey = QStringLiteral(PARLIVO_SFTP_HOSTKEY).trimmed();
    c.pageBase = withSlash(QStringLiteral(PARLIVO_PAGE_BASE));
    if (c.pageBase.isEmpty())
        c.pageBase = derivedPageBase(c.host);
    return c;
}

PublishConfig PublishConfig::current()
{
    return withOverrides(compiledIn(), QProcessEnvironment::systemEnvironment());
}

PublishConfig PublishConfig::withOverrides(PublishConfig c, const QProcessEnvironment &env)
{
    const bool baseFollowsHost = c.pageBase == derivedPageBase(c.host);
    auto take = [&env](const char *name, QString &field) {
        const QString key = QLatin1String(name);
        if (env.contains(key))
            field = env.value(key).trimmed();
    };
    take("PARLIVO_SFTP_HOST", c.host);
    take("PARLIVO_SFTP_USER", c.user);
    take("PARLIVO_SFTP_HOSTKEY", c.hostKey);
    if (env.contains(QStringLiteral("PARLIVO_SFTP_PASSWORD")))
        c.password = env.value(QStringLiteral("PARLIVO_SFTP_PASSWORD"));   // kept exactly as given
    if (env.contains(QStringLiteral("PARLIVO_SFTP_PORT"))) {
        bool ok = false;
        const int port = env.value(QStringLiteral("PARLIVO_SFTP_PORT")).trimmed().toInt(&ok);
        c.port = ok && port > 0 && port < 65536 ? port : 0;   // 0 makes problem() speak up
    }
    if (env.contains(QStringLiteral("PARLIVO_PAGE_BASE")))
        c.pageBase = withSlash(env.value(QStringLiteral("PARLIVO_PAGE_BASE")).trimmed());
    else if (baseFollowsHost)
        c.pageBase = derivedPageBase(c.host);
    return c;
}

QString PublishConfig::problem() const
{
    if (host.isEmpty())
        return QStringLiteral("No publishing server is configured (PARLIVO_SFTP_HOST).");
    if (port <= 0 || port > 65535)
        return QStringLiteral("The publishing server's port is not a valid number (PARLIVO_SFTP_PORT).");
    if (user.isEmpty())
        return QStringLiteral("No account name is configured for the publishing server (PARLIVO_SFTP_USER).");
    if (hostKey.isEmpty())
        return QStringLiteral("The publishing server's host key fingerprint is not configured "
                              "(PARLIVO_SFTP_HOSTKEY), so its identity cannot be checked.");
    return {};
}

} // namespace parlivo
