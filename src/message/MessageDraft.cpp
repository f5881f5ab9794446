#include "MessageDraft.h"

namespace parlivo {

QString my_picture;
bool wants_picture = false;

void MessageDraft::clearAfterUpload()
{
    my_text_message.clear();
    my_link.clear();
    my_background_wav.clear();
    i_recorded = false;
    my_captions = {};
    wants_backsound = false;
    wants_picture = false;
    wants_link = false;
    my_picture.clear();
    my_video.clear();
    wants_video = false;
}

} // namespace parlivo
