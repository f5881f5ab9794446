#pragma once
// Pinned host keys: "ssh-ed25519 SHA256:<base64>" or just "SHA256:<base64>", the fingerprint
// written the way ssh-keygen -l -E sha256 prints it (base64 without padding).
#include <QByteArray>
#include <QList>
#include <QString>

namespace parlivo {

struct HostKeyPin
{
    QString keyType;       // "ssh-ed25519", "ecdsa-sha2-nistp256", ...; empty when not given
    QString fingerprint;   // "SHA256:..." without padding
    bool valid = false;
    QString problem;       // why it is not valid
};

HostKeyPin parseHostKeyPin(const QString &text);
// "SHA256:" + base64 of the 32-byte digest, without the trailing '='.
QString formatSha256Fingerprint(const QByteArray &digest);
// The fingerprints match (the prefix is compared without regard to case, the digest exactly;
// padding on the pinned side is tolerated).
bool fingerprintsMatch(const QString &pinned, const QString &actual);
// The key type names the server may offer, strongest preference first, for a pin of `keyType`.
// With a known type only that type is accepted, so the server cannot answer with a key we did
// not pin; without one, Ed25519 comes first.
QByteArray hostKeyMethodPreference(const QString &keyType);
// The methods of the comma-separated `wanted` that are in `supported`, in the order wanted and
// each once. The library drops methods it lacks from a preference with an overlapping copy, so
// it is only ever handed names it has.
QByteArray onlySupportedMethods(const QByteArray &wanted, const QList<QByteArray> &supported);

} // namespace parlivo
