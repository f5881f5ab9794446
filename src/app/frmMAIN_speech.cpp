// Text to speech: voices, speaking aloud with the spoken word marked, conversion to the message's audio.
#include "frmMAIN.h"

namespace parlivo {

struct frmMAIN::SpeechState {};

void frmMAIN::setupSpeechPanel() {}
void frmMAIN::setupSpeech() {}
void frmMAIN::Button15_Click() {}
void frmMAIN::Button16_Click() {}
void frmMAIN::Button19_Click() {}
void frmMAIN::Combo1_Click() {}
void frmMAIN::tts_OnTTSStart() {}
void frmMAIN::tts_OnTTSWord(int, int) {}
void frmMAIN::tts_OnTTSEnd() {}

} // namespace parlivo
