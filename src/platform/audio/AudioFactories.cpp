#include "platform/Factories.h"
#include "platform/audio/Ebur128LoudnessMeter.h"
#include "platform/audio/Mp3FileWriter.h"
#include "platform/audio/QtAudioRecorder.h"
#include "platform/audio/SndfileAudioPlayer.h"

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

std::unique_ptr<LoudnessMeter> makeLoudnessMeter()
{
    return std::make_unique<Ebur128LoudnessMeter>();
}

} // namespace parlivo
