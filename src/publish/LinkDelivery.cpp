#include "LinkDelivery.h"

namespace parlivo {

QString pageAddress(const QString &pageBase, const QString &pageName)
{
    return pageBase + pageName;
}

QString emailText(const QString &address)
{
    const QString indent(11, QLatin1Char(' '));
    return indent + QStringLiteral("You have a 'Parlivo' message waiting for you!") + QStringLiteral("\r\n")
        + indent + QStringLiteral("Click the below link to navigate to your personal Web Message.") + QStringLiteral("\r\n")
        + indent + address;
}

QString publishQuestionText()
{
    return QStringLiteral("YOU MUST:\r\n"
                          "1) be connected to the INTERNET\r\n"
                          "2) have either completed recording an audio message, added a picture or text message: any or all.\r\n"
                          "\r\n"
                          "Click YES if ready - NO to cancel  ");
}

QString publishQuestionTitle()
{
    return QStringLiteral("Are you ready?");
}

QString errorNoticeText()
{
    return QStringLiteral("ERROR: Action cancelled!") + QString(99, QLatin1Char(' '))
        + QStringLiteral("You have either all ready copied link into the clipboard or have not completed Step #4 "
                         "(upload files) before proceding to this step.");
}

} // namespace parlivo
