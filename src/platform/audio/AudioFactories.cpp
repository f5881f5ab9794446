#include "Factories.h"
#include "Mp3FileWriter.h"
#include "QtAudioRecorder.h"
#include "SndfileAudioPlayer.h"

namespace parlivo {

std::unique_ptr<AudioRecorder> makeAudioRecorder()
{
    return std::make_unique<QtAudioRecorder>();
}

std::unique_ptr<AudioFileWriter> makeAudioFileWriter()
{
    return std::make_unique<Mp3FileWriter>();
}

std::unique_ptr<AudioPlayer> makeAudioPlayer()
{
    return std::make_unique<SndfileAudioPlayer>();
}

} // namespace parlivo
