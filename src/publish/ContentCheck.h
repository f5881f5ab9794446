#pragma once
// What a file handed to publishing really is, looked at when the message is published: a
// name ending in ".mp3" proves nothing, and a page whose sound will not play or whose picture
// is a program helps nobody. Only the first bytes are read (the picture is decoded small).
#include <QString>

namespace parlivo {

enum class MediaRole { Audio, Picture, BackgroundSound, Video };

// "" when the file is fit for its role; otherwise what it is not, in words that follow the
// file's name ("is not MP3 audio"). `videoFormat` is the chosen format tag ("AVI", ...).
// A file that cannot be opened passes: copying it reports that in its own words.
QString contentProblem(MediaRole role, const QString &path, const QString &videoFormat = {});

} // namespace parlivo
