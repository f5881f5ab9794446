#pragma once
// The message being composed. The main window owns it for the life of the process;
// the picture choice is program-wide because the picture viewer writes it directly.
#include <QString>

namespace parlivo {

// Confirmed picture path and whether a picture was chosen (the picture viewer's result).
extern QString my_picture;
extern bool wants_picture;

// The captions of audio converted from typed text; empty for any other audio.
struct SpokenCaptions
{
    QString webVtt;       // the cues, timed in the converted file
    QString transcript;   // the text as typed
    bool isEmpty() const { return webVtt.isEmpty(); }
};

struct MessageDraft
{
    bool i_recorded = false;        // the message has an audio file
    QString my_recording;           // path of the audio last recorded, chosen or converted
    qint16 my_time2 = 0;            // seconds counted while recording
    SpokenCaptions my_captions;     // only while my_recording is the converted text

    QString my_text_message;
    QString my_link;
    bool wants_link = false;
    QString my_background_wav;
    bool wants_backsound = false;
    QString my_video;
    bool wants_video = false;
    QString what_format;            // "AVI", "FLV", "MOV", "MPG", "MPEG", "SWF" or "WMV"

    bool im_done = false;           // an upload completed and its link was not copied yet
    QString my_page;                // file name of the last generated page

    // After a completed upload: the message fields start over; what_format and
    // my_page keep their values.
    void clearAfterUpload();
};

} // namespace parlivo
