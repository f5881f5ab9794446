#pragma once
// The optional things a message page may carry besides voice and picture: a text
// message, a web link, a background sound and one video. Choosing one only records
// the answer in the message draft; page generation copies and checks later.
#include "message/MessageDraft.h"

#include <QString>
#include <QVector>

namespace parlivo {

inline constexpr const char *ApplicationTitle = "Parlivo";

inline constexpr const char *TextMessagePrompt =
    "Add any SHORT {as this feature is limited} text message you want added to your web page here...";
inline constexpr const char *TextMessageAccepted = "Text message accepted and will be added...";

// Our own example address for the second line of the link prompt.
inline constexpr const char *LinkExampleAddress = "https://www.example.org/my-family-news";
QString linkPrompt();   // two lines joined by CR LF

inline constexpr const char *BacksoundDialogTitle = "Select wav background sound - will not be set to loop!";
inline constexpr const char *BacksoundDialogFilter = "Wav files (*.wav)|*.wav|";

struct VideoFormat
{
    const char *command;   // objectName of the menu entry
    const char *dialogTitle;
    const char *filter;
    const char *tag;       // what_format
};

// The seven working video entries, in menu order.
const QVector<VideoFormat> &videoFormats();
// nullptr for an unknown tag.
const VideoFormat *videoFormat(const QString &tag);

// Recording an answer. Each returns whether anything changed that the user is told
// about (only the text message reports back, through the status line).

// Any answer replaces the text, the empty one too; true when the text is not empty.
bool recordTextMessage(MessageDraft &draft, const QString &answer);
// The link is kept as typed; an empty answer never withdraws an earlier "wanted".
void recordLink(MessageDraft &draft, const QString &answer);
// An empty path (Cancel) keeps the earlier choice.
void recordBacksound(MessageDraft &draft, const QString &path);
void recordVideo(MessageDraft &draft, const VideoFormat &format, const QString &path);

} // namespace parlivo
