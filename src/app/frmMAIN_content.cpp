// The picture viewer and the optional page elements: text, link, background sound, video.
#include "frmMAIN.h"

namespace parlivo {

struct frmMAIN::ContentState {};

void frmMAIN::Button5_Click() {}
void frmMAIN::Button12_Click() {}
void frmMAIN::mnuADD_link_Click() {}
void frmMAIN::mnu_Add_backsound_Click() {}
void frmMAIN::mnuAVIvideo_Click() {}
void frmMAIN::mnuFLV_video_Click() {}
void frmMAIN::mnuAdd_MOV_video_Click() {}
void frmMAIN::mnuMPG_VIDEO_Click() {}
void frmMAIN::mnuMPEG_video_Click() {}
void frmMAIN::mnuFLASH_Click() {}
void frmMAIN::mnuWMFvideo_Click() {}

} // namespace parlivo
