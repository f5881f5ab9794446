#pragma once
// The words the publishing steps show the user, and the e-mail text that carries the
// page's address.
#include <QString>

namespace parlivo {

// The page's address: the base the pages are served under, then the page's file name.
QString pageAddress(const QString &pageBase, const QString &pageName);

// Three lines, each indented by 11 blanks, joined by CR LF, without a final line end.
QString emailText(const QString &address);

// The publishing confirmation and its title.
QString publishQuestionText();
QString publishQuestionTitle();

// The notice shown when there is no fresh link to copy.
QString errorNoticeText();

// The two things the help character says while a message is published.

} // namespace parlivo
