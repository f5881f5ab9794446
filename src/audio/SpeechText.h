#pragma once
// Small rules of the text-to-speech panel that need no window: the text as it is handed
// to the speech component, the way word positions come back into the text field, and
// which audio files the panel may delete or overwrite.
#include <QString>

namespace parlivo {

// The text field keeps line breaks as single characters; the speech component is given
// the text with CR LF line breaks, as typed.
QString speechTextOf(const QString &plainText);

// Position in the text field of an index into the text speechTextOf made from it.
int fieldPosition(const QString &spokenText, int index);

// True when path is an audio working file issued for this run: directly in tempFolder
// and named "<serial>_hh_mm_ss.mp3". Anything else is a file the user chose and is
// never deleted or written over.
bool isAudioWorkingFile(const QString &path, const QString &tempFolder);

} // namespace parlivo
