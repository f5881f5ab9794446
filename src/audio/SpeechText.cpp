#include "SpeechText.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

namespace parlivo {

QString speechTextOf(const QString &plainText)
{
    QString out;
    out.reserve(plainText.size() + plainText.size() / 16);
    for (int i = 0; i < plainText.size(); ++i) {
        const QChar c = plainText.at(i);
        if (c == QLatin1Char('\n') && (i == 0 || plainText.at(i - 1) != QLatin1Char('\r')))
            out += QLatin1Char('\r');
        out += c;
    }
    return out;
}

int fieldPosition(const QString &spokenText, int index)
{
    index = qMax(0, index);
    int pos = index;
    for (int i = 0; i < index && i + 1 < spokenText.size(); ++i)
        if (spokenText.at(i) == QLatin1Char('\r') && spokenText.at(i + 1) == QLatin1Char('\n'))
            --pos;
    return pos;
}

bool isAudioWorkingFile(const QString &path, const QString &tempFolder)
{
    if (path.isEmpty() || tempFolder.isEmpty())
        return false;
    const QFileInfo file(path);
    if (QDir::cleanPath(file.absolutePath()) != QDir::cleanPath(QFileInfo(tempFolder).absoluteFilePath()))
        return false;
    static const QRegularExpression name(QStringLiteral("^-?\\d+_\\d\\d_\\d\\d_\\d\\d\\.mp3$"));
    return name.match(file.fileName()).hasMatch();
}

} // namespace parlivo
