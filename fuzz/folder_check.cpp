// The connection check's conversation about the remote folder, fed a server's answers: it ends
// within its few steps, and says the folder takes files only when the server confirmed each step.
#include "FuzzSupport.h"
#include "platform/sftp/SftpFolderProbe.h"
#include "platform/sftp/SftpUpload.h"

#include <QtEndian>

using namespace parlivo;
using namespace parlivo::fuzz;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    Script s(data, size);
    SftpFolderProbe probe(QStringLiteral("/httpdocs"), QStringLiteral("server"), 0x1234);
    QByteArray last;
    int answers = 0;
    while (!probe.finished() && !s.done()) {
        const QByteArray request = probe.request();
        check(request.size() >= 5 && qFromBigEndian<quint32>(request.constData()) == quint32(request.size() - 4),
              "a request is framed");
        // Each answer: a length byte, then that many bytes (the reader has cut off longer ones).
        last = s.bytes(s.byte());
        probe.take(last);
        ++answers;
        check(answers <= 5 || probe.finished(), "the check ends within its steps");
    }
    if (probe.finished() && probe.result() == SftpOk) {
        check(answers == 5, "success needs every step answered");
        check(last.size() >= 9 && quint8(last.at(0)) == 101 && qFromBigEndian<quint32>(last.constData() + 1) == 4
                  && qFromBigEndian<quint32>(last.constData() + 5) == 0,
              "success needs the test file's removal confirmed");
    } else if (probe.finished()) {
        check(!probe.errorText().isEmpty(), "a failure says why");
    }
    return 0;
}
