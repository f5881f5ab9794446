// The help character: loading it and performing the help topics.
#include "frmMAIN.h"

namespace parlivo {

struct frmMAIN::HelpState {};

void frmMAIN::loadHelpCharacter() {}
void frmMAIN::performHelpTopic(const QString &) {}

} // namespace parlivo
