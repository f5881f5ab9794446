#include "OptionalElements.h"

namespace parlivo {

QString linkPrompt()
{
    return QStringLiteral("Please enter in the web link you want to add.\r\nAn example might be - ")
           + QLatin1String(LinkExampleAddress);
}

const QVector<VideoFormat> &videoFormats()
{
    // The MPEG entry's filter is labelled "MPG" on purpose: only its pattern differs.
    static const QVector<VideoFormat> formats = {
        {"mnuAVIvideo", "Select avi video to add to your page...", "AVI video files (*.avi)|*.avi|", "AVI"},
        {"mnuFLV_video", "Select flash (flv) video to add to your page...",
         "FLV Flash video files (*.flv)|*.flv|", "FLV"},
        {"mnuAdd_MOV_video", "Select mov video to add to your page...",
         "MOV video files (*.mov)|*.mov|", "MOV"},
        {"mnuMPG_VIDEO", "Select mpg video to add to your page...",
         "MPG video files (*.mpg)|*.mpg|", "MPG"},
        {"mnuMPEG_video", "Select mpeg video to add to your page...",
         "MPG video files (*.mpeg)|*.mpeg|", "MPEG"},
        {"mnuFLASH", "Select flash (swf) video to add to your page...",
         "SWF Flash video files (*.swf)|*.swf|", "SWF"},
        {"mnuWMFvideo", "Select wmv video to add to your page...",
         "WMV video files (*.wmv)|*.wmv|", "WMV"},
        {"mnuMP4video", "Select mp4 video to add to your page...",
         "MP4 video files (*.mp4)|*.mp4|", "MP4"},
    };
    return formats;
}

const VideoFormat *videoFormat(const QString &tag)
{
    for (const VideoFormat &f : videoFormats()) {
        if (tag == QLatin1String(f.tag))
            return &f;
    }
    return nullptr;
}

bool recordTextMessage(MessageDraft &draft, const QString &answer)
{
    draft.my_text_message = answer;
    return !answer.isEmpty();
}

void recordLink(MessageDraft &draft, const QString &answer)
{
    draft.my_link = answer;
    if (!answer.isEmpty())
        draft.wants_link = true;
}

void recordBacksound(MessageDraft &draft, const QString &path)
{
    if (path.isEmpty())
        return;
    draft.my_background_wav = path;
    draft.wants_backsound = true;
}

void recordVideo(MessageDraft &draft, const VideoFormat &format, const QString &path)
{
    if (path.isEmpty())
        return;
    draft.my_video = path;
    draft.wants_video = true;
    draft.what_format = QLatin1String(format.tag);
}

} // namespace parlivo
