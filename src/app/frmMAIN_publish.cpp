// Publishing: the page from its template, the upload, and handing the link to the user.
#include "frmMAIN.h"

namespace parlivo {

struct frmMAIN::PublishState {};

void frmMAIN::setupPublishing() {}
void frmMAIN::Button2_Click() {}
void frmMAIN::StartUpload() {}
void frmMAIN::wodSFTP1_Connected(int, const QString &) {}
void frmMAIN::wodSFTP1_StateChanged(int) {}
void frmMAIN::wodSFTP1_Done(int, const QString &) {}
void frmMAIN::Text1_Change() {}
void frmMAIN::Button3_Click() {}
void frmMAIN::Button11_Click() {}

} // namespace parlivo
