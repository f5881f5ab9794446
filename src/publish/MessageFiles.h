#pragma once
// Lays out one message for publishing: every file is copied into the outgoing folder
// under one base name and the page is written from the variant's template.
#include "PageGenerator.h"
#include "WebVideoStep.h"

#include <QString>
#include <QStringList>

namespace parlivo {

// What the message holds, as the draft has it when publishing starts.
struct MessageInputs
{
    bool i_recorded = false;
    QString audioSource;          // the recording's path
    bool wants_picture = false;
    QString my_picture;
    QString my_text_message;
    bool wants_link = false;
    QString my_link;
    bool wants_backsound = false;
    QString my_background_wav;
    bool wants_video = false;
    QString my_video;
    QString what_format;
    // WebVTT captions of the audio and the text they speak; published only with the audio.
    QString captions;
    QString transcript;
};

struct PreparedMessage
{
    bool ok = false;
    QString error;           // plain words, naming the file that failed
    QString failedFile;      // the file that could not be copied or read
    QString baseName;        // "PVD82_<serial>_<stamp>"
    QString pageName;        // baseName + ".htm"
    QString pictureName;     // file name of the picture copy
    QStringList written;     // full paths of every file this publication wrote
    // The video's copy in the outgoing folder ("" without video), and where its copy for
    // the web and its poster go (MessageBaseName + ".mp4" and ".jpg").
    QString videoCopy, webVideoPath, posterPath;
    // The video's copy was rewritten without its metadata (see WebVideoStep); until it is,
    // the copy must not go out.
    bool originalCleaned = false;
    // What the page was written from, to write it again once the video is converted
    // (values.hasWebVideo and values.hasPoster say which of the two were made).
    PageValues values;
    QString templatePath, pagePath;
    ReplacementOrder order = ReplacementOrder::A;
};

struct PrepareOptions
{
    QString appFolder;       // templates and the default picture
    QString outFolder;       // where the copies and the page go (made when missing)
    QString baseName;        // MessageBaseName of this publication
    QString pageBase;        // "http://host/" for link previews
};

// Copies the files and writes the page. On failure nothing of this publication stays in
// the outgoing folder (files already there from before are left alone).
PreparedMessage prepareMessage(const MessageInputs &in, const PrepareOptions &options);

// Writes the page again naming the converted copy and the poster that were made (each is
// counted among the written files). An original that kept its metadata is withdrawn and the
// page plays the converted copy alone. False with `error` when the page cannot be written,
// or when the video could neither be cleaned nor converted (nothing of it could go out).
bool addWebVideo(PreparedMessage &message, const WebVideoOutcome &video, QString *error);

// Lays the message out again under another name after the server had the first one taken:
// the old files go, the converted video and poster move along with it.
PreparedMessage prepareAgain(PreparedMessage &old, const MessageInputs &in, const PrepareOptions &options);

} // namespace parlivo
