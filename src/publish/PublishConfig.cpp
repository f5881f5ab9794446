#include "publish/PublishConfig.h"

#include "platform/SftpClient.h"
#include "platform/sftp/SshHostKey.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QUrl>

#include <algorithm>

namespace parlivo {

namespace {

QString derivedPageBase(const QString &host)
{
    return host.isEmpty() ? QString() : QStringLiteral("http://") + host + QLatin1Char('/');
}

QString withSlash(QString s)
{
    if (!s.isEmpty() && !s.endsWith(QLatin1Char('/')))
        s += QLatin1Char('/');
    return s;
}

// "~/x" is under the home folder; a relative path is taken from the settings file's folder.
QString expandPath(const QString &value, const QString &home, const QString &baseFolder)
{
    if (value.isEmpty())
        return value;
    if (value == QLatin1String("~"))
        return home;
    if (value.startsWith(QLatin1String("~/")))
        return home + value.mid(1);
    if (QDir::isAbsolutePath(value))
        return value;
    return QDir(baseFolder).filePath(value);
}

int parsePort(const QString &text)
{
    bool ok = false;
    const int port = text.trimmed().toInt(&ok);
    return ok && port > 0 && port < 65536 ? port : 0;
}

// yes/no in the spellings people write; -1 for anything else.
int parseYesNo(const QString &text)
{
    const QString t = text.trimmed().toLower();
    if (t == QLatin1String("yes") || t == QLatin1String("true") || t == QLatin1String("on") || t == QLatin1String("1"))
        return 1;
    if (t == QLatin1String("no") || t == QLatin1String("false") || t == QLatin1String("off") || t == QLatin1String("0"))
        return 0;
    return -1;
}

QString unquoted(const QString &value)
{
    if (value.size() >= 2 && value.startsWith(QLatin1Char('"')) && value.endsWith(QLatin1Char('"')))
        return value.mid(1, value.size() - 2);
    return value;
}

const char *const KnownKeys[] = {"host", "port", "user", "password", "host_key", "known_hosts",
                                 "identity", "use_agent", "remote_folder", "page_base"};

} // namespace

PublishConfig::Sources PublishConfig::standardSources(const QProcessEnvironment &env)
{
    Sources s;
    s.environment = env;
    s.systemFile = QStringLiteral("/etc/parlivo/publish.conf");
    const QString home = env.value(QStringLiteral("HOME"), QDir::homePath());
    QString config = env.value(QStringLiteral("XDG_CONFIG_HOME"));
    if (config.isEmpty() || !QDir::isAbsolutePath(config))
        config = home + QStringLiteral("/.config");
    s.userFile = config + QStringLiteral("/parlivo/publish.conf");
    if (!env.value(QStringLiteral("PARLIVO_PUBLISH_CONF")).isEmpty())
        s.userFile = env.value(QStringLiteral("PARLIVO_PUBLISH_CONF"));
    return s;
}

PublishConfig PublishConfig::compiledIn()
{
    // Deliberately empty: an installed program carries nobody's account. The known_hosts
    // default is filled in by load(), which knows the home folder.
    return PublishConfig();
}

PublishConfig PublishConfig::load(const Sources &sources)
{
    PublishConfig c = compiledIn();
    const QString home = sources.environment.value(QStringLiteral("HOME"), QDir::homePath());
    c.knownHosts = home + QStringLiteral("/.ssh/known_hosts");
    c.userFile = sources.userFile;
    if (!sources.systemFile.isEmpty())
        c.readFile(sources.systemFile, false, home);
    if (!sources.userFile.isEmpty())
        c.readFile(sources.userFile, true, home);
    return withOverrides(c, sources.environment);
}

void PublishConfig::readFile(const QString &path, bool mustBePrivate, const QString &home)
{
    QFile file(path);
    if (!file.exists())
        return;
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        settingsProblems << QStringLiteral("%1: cannot be read (%2).").arg(path, file.errorString());
        return;
    }
    struct Line { int number; QString key, value; };
    QList<Line> lines;
    QStringList problems;
    int number = 0;
    bool holdsPassword = false;
    while (!file.atEnd()) {
        ++number;
        const QString text = QString::fromUtf8(file.readLine()).trimmed();
        // Comments are whole lines only, so a password may hold '#'.
        if (text.isEmpty() || text.startsWith(QLatin1Char('#')) || text.startsWith(QLatin1Char(';')))
            continue;
        const int eq = text.indexOf(QLatin1Char('='));
        if (eq <= 0) {
            problems << QStringLiteral("%1:%2: expected \"key = value\", found \"%3\".").arg(path).arg(number).arg(text);
            continue;
        }
        const QString key = text.left(eq).trimmed().toLower();
        const QString value = unquoted(text.mid(eq + 1).trimmed());
        if (std::none_of(std::begin(KnownKeys), std::end(KnownKeys), [&](const char *k) { return key == QLatin1String(k); })) {
            problems << QStringLiteral("%1:%2: unknown setting \"%3\" (known: host, port, user, password, host_key, "
                                       "known_hosts, identity, use_agent, remote_folder, page_base).")
                            .arg(path).arg(number).arg(key);
            continue;
        }
        if (key == QLatin1String("password") && !value.isEmpty())
            holdsPassword = true;
        lines << Line{number, key, value};
    }
    filesRead << path;

    if (mustBePrivate && holdsPassword
        && (file.permissions() & (QFileDevice::ReadGroup | QFileDevice::ReadOther | QFileDevice::WriteGroup
                                  | QFileDevice::WriteOther))) {
        // As with private keys: a password others can read is as good as published.
        settingsProblems << QStringLiteral("%1: holds a password but other users can read it, so it is not used. "
                                           "Make it private with: chmod 600 %1")
                                .arg(path);
        return;
    }

    const QString folder = QFileInfo(path).absolutePath();
    const bool baseFollowsHost = pageBase == derivedPageBase(host);
    bool pageBaseSet = false;
    for (const Line &l : lines) {
        const QString where = QStringLiteral("%1:%2: ").arg(path).arg(l.number);
        if (l.key == QLatin1String("host")) {
            host = l.value;
        } else if (l.key == QLatin1String("port")) {
            const int p = parsePort(l.value);
            if (p)
                port = p;
            else
                problems << where + QStringLiteral("port \"%1\" is not a number from 1 to 65535.").arg(l.value);
        } else if (l.key == QLatin1String("user")) {
            user = l.value;
        } else if (l.key == QLatin1String("password")) {
            password = l.value;
        } else if (l.key == QLatin1String("host_key")) {
            const HostKeyPin pin = parseHostKeyPin(l.value);
            if (l.value.isEmpty() || pin.valid)
                hostKey = l.value;
            else
                problems << where + pin.problem;
        } else if (l.key == QLatin1String("known_hosts")) {
            knownHosts = expandPath(l.value, home, folder);
        } else if (l.key == QLatin1String("identity")) {
            identity = expandPath(l.value, home, folder);
        } else if (l.key == QLatin1String("use_agent")) {
            const int yes = parseYesNo(l.value);
            if (yes < 0)
                problems << where + QStringLiteral("use_agent must be yes or no, not \"%1\".").arg(l.value);
            else
                useAgent = yes == 1;
        } else if (l.key == QLatin1String("remote_folder")) {
            if (l.value.startsWith(QLatin1Char('/')))
                remoteFolder = withSlash(l.value);
            else
                problems << where + QStringLiteral("remote_folder must be a path from the server's root, "
                                                   "starting with \"/\", not \"%1\".").arg(l.value);
        } else if (l.key == QLatin1String("page_base")) {
            const QUrl url(l.value);
            if (l.value.isEmpty() || (url.isValid() && (url.scheme() == QLatin1String("http") || url.scheme() == QLatin1String("https"))
                                      && !url.host().isEmpty())) {
                pageBase = withSlash(l.value);
                pageBaseSet = true;
            } else {
                problems << where + QStringLiteral("page_base must be a web address such as "
                                                   "http://www.example.org/messages/, not \"%1\".").arg(l.value);
            }
        }
    }
    if (!pageBaseSet && baseFollowsHost)
        pageBase = derivedPageBase(host);
    settingsProblems << problems;
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
    if (env.contains(QStringLiteral("PARLIVO_SFTP_PORT")))
        c.port = parsePort(env.value(QStringLiteral("PARLIVO_SFTP_PORT")));   // 0 makes problem() speak up
    if (env.contains(QStringLiteral("PARLIVO_PAGE_BASE")))
        c.pageBase = withSlash(env.value(QStringLiteral("PARLIVO_PAGE_BASE")).trimmed());
    else if (baseFollowsHost)
        c.pageBase = derivedPageBase(c.host);
    return c;
}

QString PublishConfig::problem() const
{
    if (!settingsProblems.isEmpty())
        return settingsProblems.join(QLatin1Char(' '));
    const QString where = userFile.isEmpty() ? QStringLiteral("the settings file") : userFile;
    if (host.isEmpty())
        return QStringLiteral("No publishing server is set up: write its host, user and page_base to %1 "
                              "(publish.conf.example shows how).").arg(where);
    if (port <= 0 || port > 65535)
        return QStringLiteral("The publishing server's port is not a valid number (PARLIVO_SFTP_PORT).");
    if (user.isEmpty())
        return QStringLiteral("No account name is set up for the publishing server: write \"user = ...\" to %1.").arg(where);
    if (!hostKey.isEmpty()) {
        const HostKeyPin pin = parseHostKeyPin(hostKey);
        if (!pin.valid)
            return pin.problem;
    }
    return {};
}

void PublishConfig::applyTo(SftpClient &client, const QString &passphrase) const
{
    client.setHostname(host);
    client.setPort(port);
    client.setLogin(user);
    client.setPassword(password);
    client.setHostKeyFingerprint(hostKey);
    client.setKnownHostsFile(knownHosts);
    client.setUseAgent(useAgent);
    client.setIdentityFile(identity);
    client.setPassphrase(passphrase);
}

} // namespace parlivo
