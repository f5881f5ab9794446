// A long file is decoded in two halves at once; the halves must meet without a lost, doubled
// or changed sample.
#include "platform/audio/AudioDecoder.h"
#include "platform/audio/Mp3Encoder.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace parlivo {
namespace {

TEST(AudioDecoder, ALongFileDecodedInTwoHalvesMatchesOneReadSampleForSample)
{
    constexpr int Rate = 44100;
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("long.mp3"));
    std::vector<float> source(size_t(23.3 * Rate));
    for (size_t i = 0; i < source.size(); ++i)
        source[i] = float(0.4 * std::sin(2 * M_PI * (200 + double(i) / 1000) * double(i) / Rate));   // a slow sweep
    Mp3Encoder encoder;
    ASSERT_TRUE(encoder.open(path, Rate, Rate, 1, 128));
    ASSERT_TRUE(encoder.encodeMono(source.data(), int(source.size())));
    ASSERT_TRUE(encoder.close());

    const DecodedMono halves = decodeAudioFileMono(path, 60 * 1000);
    const DecodedAudio whole = decodeAudioFile(path);   // one read, 16-bit
    ASSERT_TRUE(halves.ok()) << qPrintable(halves.error);
    ASSERT_EQ(qint64(halves.samples.size()), qint64(source.size()));
    ASSERT_EQ(whole.frames, qint64(source.size()));
    const auto *pcm = reinterpret_cast<const qint16 *>(whole.pcm.constData());
    float most = 0;
    for (size_t i = 0; i < source.size(); ++i)
        most = std::max(most, std::fabs(halves.samples[i] - float(pcm[i]) / 32768.0f));
    EXPECT_LE(most, 1.0f / 32768.0f);

    EXPECT_EQ(decodeAudioFileMono(path, 20 * 1000).error, QStringLiteral("the audio is too long to edit here"));
}

} // namespace
} // namespace parlivo
