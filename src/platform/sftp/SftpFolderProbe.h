#pragma once
// The connection check's file-transfer conversation about the remote folder: it must exist, be
// a folder, and take a new file (one is made and removed again). Whole answers go in, requests
// come out, free of any channel, so that whatever a server answers can be tried without one.
#include <QByteArray>
#include <QString>

namespace parlivo {

class SftpFolderProbe
{
public:
    // `tag` makes the test file's name one no one else uses.
    SftpFolderProbe(QString folder, QString host, quint32 tag);

    // The next request, its length prefix included; empty once finished.
    QByteArray request() const;
    // One whole answer: its bytes after the length prefix.
    void take(const QByteArray &answer);

    bool finished() const { return m_step == Step::Done; }
    // 0 when the folder takes files, otherwise an error code with errorText() in plain words.
    int result() const { return m_result; }
    QString errorText() const { return m_error; }
    QString probeName() const { return m_probe; }

    // No answer of this conversation comes near it: a longer one is refused, not awaited.
    static constexpr quint32 MaxAnswer = 64 * 1024;

private:
    // The value of each step is the id of its request.
    enum class Step { Hello, Stat, Open, Close, Remove, Done };
    void stop(int code, const QString &text);

    QString m_folder, m_host, m_probe;
    Step m_step = Step::Hello;
    QByteArray m_handle;
    int m_result = 0;
    QString m_error;
};

} // namespace parlivo
