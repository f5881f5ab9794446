// Word-position mapping, the setting scales, the format table and the resampler: the
// pieces of the speech component that need no synthesiser.
#include "platform/speech/EspeakOutput.h"
#include "platform/speech/EspeakWords.h"

#include <gtest/gtest.h>

#include <cmath>

namespace parlivo {
namespace {

// Position (1-based code point) of the n-th occurrence of needle, as the synthesiser counts.
int codePointPosition(const QString &text, const QString &needle, int from = 0)
{
    const int index = int(text.indexOf(needle, from));
    return int(text.left(index).toUcs4().size()) + 1;
}

QString mapped(WordMapper &m, const QString &text, int position)
{
    int start = -1, length = -1;
    if (!m.map(position, &start, &length))
        return QStringLiteral("<skipped>");
    return text.mid(start, length);
}

TEST(SpeechWordMapping, CodePointsBecomeQStringIndexesAcrossEmojiAndLineBreaks)
{
    const QString text = QStringLiteral("Hi 😀 there\r\nnext 🎉🎉 line");
    WordMapper m(text);
    // Every code point after an emoji sits one QString unit further on.
    EXPECT_EQ(m.indexOfCodePoint(0), 0);
    EXPECT_EQ(m.indexOfCodePoint(3), 3);                              // the emoji
    EXPECT_EQ(m.indexOfCodePoint(5), int(text.indexOf(QStringLiteral("there"))));
    EXPECT_EQ(m.indexOfCodePoint(codePointPosition(text, QStringLiteral("line")) - 1),
              int(text.indexOf(QStringLiteral("line"))));
    EXPECT_EQ(m.indexOfCodePoint(-1), -1);
    EXPECT_EQ(m.indexOfCodePoint(int(text.toUcs4().size())), -1);

    EXPECT_EQ(mapped(m, text, codePointPosition(text, QStringLiteral("there"))), QStringLiteral("there"));
    EXPECT_EQ(mapped(m, text, codePointPosition(text, QStringLiteral("next"))), QStringLiteral("next"));
    EXPECT_EQ(mapped(m, text, codePointPosition(text, QStringLiteral("🎉"))), QStringLiteral("🎉🎉"));
    EXPECT_EQ(mapped(m, text, codePointPosition(text, QStringLiteral("line"))), QStringLiteral("line"));
}

TEST(SpeechWordMapping, EventsWidenToTheWholeWordAndLosePunctuation)
{
    const QString text = QStringLiteral("\"Don't\" stop, well-known café (naïve) 3,000 -- ok...");
    WordMapper m(text);
    // Events in the middle of a word (as the synthesiser gives for apostrophes, hyphens
    // and numbers) still mark the whole word, once.
    EXPECT_EQ(mapped(m, text, codePointPosition(text, QStringLiteral("Don"))), QStringLiteral("Don't"));
    EXPECT_EQ(mapped(m, text, codePointPosition(text, QStringLiteral("t\""))), QStringLiteral("<skipped>"));
    EXPECT_EQ(mapped(m, text, codePointPosition(text, QStringLiteral("stop"))), QStringLiteral("stop"));
    EXPECT_EQ(mapped(m, text, codePointPosition(text, QStringLiteral("known"))), QStringLiteral("well-known"));
    EXPECT_EQ(mapped(m, text, codePointPosition(text, QStringLiteral("well"))), QStringLiteral("<skipped>"));
    EXPECT_EQ(mapped(m, text, codePointPosition(text, QStringLiteral("café"))), QStringLiteral("café"));
    EXPECT_EQ(mapped(m, text, codePointPosition(text, QStringLiteral("naïve"))), QStringLiteral("naïve"));
    EXPECT_EQ(mapped(m, text, codePointPosition(text, QStringLiteral("000"))), QStringLiteral("3,000"));
    // A token of punctuation only is read as it stands.
    EXPECT_EQ(mapped(m, text, codePointPosition(text, QStringLiteral("--"))), QStringLiteral("--"));
    EXPECT_EQ(mapped(m, text, codePointPosition(text, QStringLiteral("ok"))), QStringLiteral("ok"));
}

TEST(SpeechWordMapping, WhitespaceAndOutOfRangeEventsAreSkipped)
{
    const QString text = QStringLiteral("one two\r\n\tthree");
    WordMapper m(text);
    EXPECT_EQ(mapped(m, text, 4), QStringLiteral("<skipped>"));     // the blank
    EXPECT_EQ(mapped(m, text, 8), QStringLiteral("<skipped>"));     // CR
    EXPECT_EQ(mapped(m, text, 9), QStringLiteral("<skipped>"));     // LF
    EXPECT_EQ(mapped(m, text, 0), QStringLiteral("<skipped>"));
    EXPECT_EQ(mapped(m, text, 500), QStringLiteral("<skipped>"));
    EXPECT_EQ(mapped(m, text, 11), QStringLiteral("three"));
    EXPECT_EQ(mapped(m, text, 11), QStringLiteral("<skipped>"));    // the same word again
    // A word seen before may come back after another one (a repeated phrase).
    EXPECT_EQ(mapped(m, text, 1), QStringLiteral("one"));

    WordMapper empty(QString{});
    int s = 0, l = 0;
    EXPECT_FALSE(empty.map(1, &s, &l));
}

TEST(SpeechSettings, RatePitchAndVolumeScales)
{
    EXPECT_EQ(speechRateWpm(0), 175);
    EXPECT_EQ(speechRateWpm(-10), 80);
    EXPECT_EQ(speechRateWpm(10), 450);
    EXPECT_EQ(speechRateWpm(-20), 80);
    EXPECT_EQ(speechRateWpm(99), 450);
    int previous = 0;
    for (int v = -10; v <= 10; ++v) {
        EXPECT_GT(speechRateWpm(v), previous) << v;
        previous = speechRateWpm(v);
    }
    EXPECT_EQ(speechPitch(0), 50);
    EXPECT_EQ(speechPitch(-10), 0);
    EXPECT_EQ(speechPitch(10), 100);
    EXPECT_EQ(speechPitch(3), 65);
    EXPECT_EQ(speechVolume(100), 100);
    EXPECT_EQ(speechVolume(37), 37);
    EXPECT_EQ(speechVolume(-5), 0);
    EXPECT_EQ(speechVolume(250), 100);
}

TEST(SpeechFormats, TableOrderOptionsAndExtensions)
{
    EXPECT_EQ(speechFormatNames(), (QStringList{"WAV", "MP3", "WMA", "OGG", "VOX", "AU", "AIFF", "MP4", "FLAC"}));
    EXPECT_FALSE(speechFormatWritable(SpeechFormat::WMA));
    EXPECT_FALSE(speechFormatWritable(SpeechFormat::MP4));
    EXPECT_FALSE(speechFormatWritable(-1));
    EXPECT_TRUE(speechFormatOptions(9).isEmpty());

    EXPECT_EQ(speechFormatForPath("/x/a.WAV"), SpeechFormat::WAV);
    EXPECT_EQ(speechFormatForPath("a.flac"), SpeechFormat::FLAC);
    EXPECT_EQ(speechFormatForPath("a.aif"), SpeechFormat::AIFF);
    EXPECT_EQ(speechFormatForPath("a.vox"), SpeechFormat::VOX);
    EXPECT_EQ(speechFormatForPath("a"), SpeechFormat::MP3);
    EXPECT_EQ(speechFormatForPath("a.txt"), SpeechFormat::MP3);
}

// Amplitude of a sine of freq Hz in samples at rate, by correlation.
double toneLevel(const std::vector<qint16> &s, int rate, double freq)
{
    double re = 0, im = 0;
    const std::size_t from = s.size() / 4, to = s.size() * 3 / 4;   // away from the edges
    for (std::size_t i = from; i < to; ++i) {
        re += s[i] * std::cos(2 * M_PI * freq * double(i) / rate);
        im += s[i] * std::sin(2 * M_PI * freq * double(i) / rate);
    }
    return 2 * std::hypot(re, im) / double(to - from);
}

TEST(SpeechResampling, KeepsTheSpeechBandAndDropsWhatCannotBeHeld)
{
    const int in = 22050;
    std::vector<qint16> tone(in);   // one second: 1 kHz at 10000 plus 3.5 kHz at 8000
    for (int i = 0; i < in; ++i)
        tone[std::size_t(i)] = qint16(10000 * std::sin(2 * M_PI * 1000 * i / in) + 8000 * std::sin(2 * M_PI * 3500 * i / in));

    const std::vector<qint16> up = resampleMono(tone.data(), qsizetype(tone.size()), in, 44100);
    EXPECT_NEAR(double(up.size()), 44100, 2);
    EXPECT_NEAR(toneLevel(up, 44100, 1000), 10000, 300);
    EXPECT_NEAR(toneLevel(up, 44100, 3500), 8000, 300);

    // At 6000 Hz the 3.5 kHz tone is above the limit; it must not fold back to 2.5 kHz.
    const std::vector<qint16> down = resampleMono(tone.data(), qsizetype(tone.size()), in, 6000);
    EXPECT_NEAR(double(down.size()), 6000, 2);
    EXPECT_NEAR(toneLevel(down, 6000, 1000), 10000, 500);
    EXPECT_LT(toneLevel(down, 6000, 2500), 300);

    EXPECT_EQ(resampleMono(tone.data(), 5, in, in), std::vector<qint16>(tone.begin(), tone.begin() + 5));
    EXPECT_TRUE(resampleMono(tone.data(), 0, in, 8000).empty());
}

} // namespace
} // namespace parlivo
