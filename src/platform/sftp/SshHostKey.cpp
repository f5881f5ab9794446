#include "platform/sftp/SshHostKey.h"

#include <QStringList>

namespace parlivo {

namespace {

const char *const KnownTypes[] = {
    "ssh-ed25519", "ecdsa-sha2-nistp256", "ecdsa-sha2-nistp384", "ecdsa-sha2-nistp521",
    "rsa-sha2-512", "rsa-sha2-256", "ssh-rsa",
};

QString stripPadding(QString s)
{
    while (s.endsWith(QLatin1Char('=')))
        s.chop(1);
    return s;
}

} // namespace

HostKeyPin parseHostKeyPin(const QString &text)
{
    HostKeyPin pin;
    const QStringList parts = text.simplified().split(QLatin1Char(' '), Qt::SkipEmptyParts);
    if (parts.isEmpty()) {
        pin.problem = QStringLiteral("No host key fingerprint is configured for the publishing server, "
                                     "so its identity cannot be checked; the password is not sent.");
        return pin;
    }
    QString fp;
    if (parts.size() == 1) {
        fp = parts[0];
    } else if (parts.size() == 2) {
        pin.keyType = parts[0];
        fp = parts[1];
        bool known = false;
        for (const char *t : KnownTypes)
            known = known || pin.keyType == QLatin1String(t);
        // An RSA pin is written "ssh-rsa"; the signature methods that carry it differ.
        if (!known) {
            pin.problem = QStringLiteral("The configured host key type \"%1\" is not one this program knows.").arg(pin.keyType);
            return pin;
        }
    } else {
        pin.problem = QStringLiteral("The configured host key fingerprint is not in the form \"SHA256:...\".");
        return pin;
    }
    if (!fp.startsWith(QLatin1String("SHA256:"), Qt::CaseInsensitive)) {
        pin.problem = QStringLiteral("The configured host key fingerprint must be a SHA256 fingerprint (\"SHA256:...\").");
        return pin;
    }
    const QByteArray b64 = stripPadding(fp.mid(7)).toLatin1();
    const QByteArray digest = QByteArray::fromBase64(b64, QByteArray::AbortOnBase64DecodingErrors);
    if (digest.size() != 32) {
        pin.problem = QStringLiteral("The configured host key fingerprint is damaged (it does not hold a SHA256 digest).");
        return pin;
    }
    pin.fingerprint = formatSha256Fingerprint(digest);
    pin.valid = true;
    return pin;
}

QString formatSha256Fingerprint(const QByteArray &digest)
{
    return QStringLiteral("SHA256:") + stripPadding(QString::fromLatin1(digest.toBase64()));
}

bool fingerprintsMatch(const QString &pinned, const QString &actual)
{
    if (!pinned.startsWith(QLatin1String("SHA256:"), Qt::CaseInsensitive)
        || !actual.startsWith(QLatin1String("SHA256:"), Qt::CaseInsensitive))
        return false;
    const QString a = stripPadding(pinned.mid(7)), b = stripPadding(actual.mid(7));
    return !a.isEmpty() && a == b;
}

QByteArray hostKeyMethodPreference(const QString &keyType)
{
    if (keyType == QLatin1String("ssh-rsa") || keyType.startsWith(QLatin1String("rsa-sha2")))
        return "rsa-sha2-512,rsa-sha2-256,ssh-rsa";
    if (!keyType.isEmpty())
        return keyType.toLatin1();
    return "ssh-ed25519,ecdsa-sha2-nistp256,ecdsa-sha2-nistp384,ecdsa-sha2-nistp521,rsa-sha2-512,rsa-sha2-256,ssh-rsa";
}

QByteArray onlySupportedMethods(const QByteArray &wanted, const QList<QByteArray> &supported)
{
    QList<QByteArray> kept;
    for (const QByteArray &name : wanted.split(',')) {
        if (supported.contains(name) && !kept.contains(name))
            kept << name;
    }
    return kept.join(',');
}

} // namespace parlivo
