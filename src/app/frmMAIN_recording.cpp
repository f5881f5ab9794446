// Recording from the microphone, playback, and choosing an existing MP3.
#include "frmMAIN.h"

namespace parlivo {

struct frmMAIN::RecordingState {};

void frmMAIN::setupRecordingPanel() {}
void frmMAIN::setupRecording() {}
void frmMAIN::cmdRecRecord_Click() {}
void frmMAIN::cmdRecStop_Click() {}
void frmMAIN::AudioRecord_EndArrayRecord(int) {}
void frmMAIN::Timer2_Timer() {}
void frmMAIN::Button4_Click() {}
void frmMAIN::cmdAudioStop_Click() {}
void frmMAIN::Button6_Click() {}
void frmMAIN::cmbSrcInput_Click(int) {}
void frmMAIN::sldrVolumeInp_Change(int) {}
void frmMAIN::SMAudioPlayAndRecordX1_Time(int) {}
void frmMAIN::SMAudioPlayAndRecordX1_Error(int, int, const QString &) {}

} // namespace parlivo
