// The clip encoder's round trip: audio files in several formats, rates and
// widths made into clips with zlt900-snx, linked as a word that a sentence
// plays, and read back out of the word image. The samples must be the
// source's sine at the clip's rate within the error that resampling and
// quantisation allow.
#include "base/bytes.h"
#include "reader/decoded_image.h"
#include "snx/audio_fixture.h"
#include "zlt900-snx/encode.h"

#include <gtest/gtest.h>
#include <sndfile.h>

#include <cmath>
#include <cstdio>
#include <numbers>

namespace zlt::test {
namespace {

struct Word {
    unsigned rate = 0;
    unsigned bits = 0;
    std::vector<double> samples;  // full scale = 1
};

// Links the clip as word 0 played by sentence 0 and reads the word back.
Word LinkAndReadBack(const TempDir& dir, const std::string& clip) {
    Word word;
    auto run = Link(dir, MinimalProject("[ZLP.Word]\nW0000=" + clip + "\n[ZLP.Sentence]\nS0000=W0000\n"));
    EXPECT_TRUE(run->ok) << run->log.Text();
    std::string error;
    auto image = ReadImage(AsBytes(run->image), error);
    EXPECT_TRUE(image) << error;
    if (!image) return word;
    for (const WordInfo& w : image->words) {
        if (w.number != 0) continue;
        EXPECT_TRUE(w.used);
        word.rate = w.sampleRate;
        word.bits = w.bits;
        const std::vector<std::uint8_t> bytes = WordSamples(AsBytes(run->image), *image, w);
        if (w.bits == 8) {
            for (std::uint8_t b : bytes) word.samples.push_back((b - 128) / 128.0);
        } else {
            for (std::size_t i = 0; i + 1 < bytes.size(); i += 2)
                word.samples.push_back(static_cast<std::int16_t>(bytes[i] | bytes[i + 1] << 8) / 32768.0);
        }
    }
    return word;
}

struct RoundTrip {
    const char* name;
    const char* file;
    int format;
    unsigned rate;
    unsigned channels;
    const char* args;
    unsigned clipRate;
    unsigned clipBits;
    double maxRms;  // RMS error against the ideal sine, full scale = 1
};

constexpr double kFreq = 440, kAmplitude = 0.5, kSeconds = 0.5;

TEST(SnxRoundTrip, ClipsPlayTheSourceSineAtTheClipRate) {
    const RoundTrip cases[] = {
        {"16-bit stereo 22050 Hz to 16000 Hz", "b.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 22050, 2, "--rate 16000",
         16000, 16, 3e-5},
        {"float 44100 Hz to 8000 Hz 8-bit", "d.wav", SF_FORMAT_WAV | SF_FORMAT_FLOAT, 44100, 1,
         "--rate 8000 --bits 8", 8000, 8, 6e-3},
        {"24-bit FLAC 96000 Hz, default rate", "e.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_24, 96000, 1, "", 48000,
         16, 3e-5},
        {"Vorbis 32000 Hz stereo to 24000 Hz 8-bit", "g.ogg", SF_FORMAT_OGG | SF_FORMAT_VORBIS, 32000, 2,
         "--rate 24000 --bits 8", 24000, 8, 1e-2},
    };
    for (const RoundTrip& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        const std::size_t frames = static_cast<std::size_t>(c.rate * kSeconds);
        WriteAudio(dir / c.file, c.format, c.rate, c.channels, Sine(kFreq, kAmplitude, c.rate, frames, c.channels));
        CommandResult run = RunSnx(std::string(c.args) + " --seed 1 -q -o " + (dir / "clip.snx") + " " + (dir / c.file));
        ASSERT_EQ(run.status, 0) << run.out;
        Word word = LinkAndReadBack(dir, dir / "clip.snx");
        EXPECT_EQ(word.rate, c.clipRate);
        EXPECT_EQ(word.bits, c.clipBits);

        // The resampled length, padded with silence to whole 16-byte units.
        const auto expected = static_cast<std::size_t>(std::llround(double(frames) * c.clipRate / c.rate));
        const std::size_t perUnit = 16 / (c.clipBits / 8);
        EXPECT_GE(word.samples.size(), expected);
        EXPECT_LT(word.samples.size(), expected + perUnit);
        for (std::size_t i = expected; i < word.samples.size(); ++i) ASSERT_EQ(word.samples[i], 0) << i;

        // Edges ring in the resampler's filter; compare the middle.
        const std::size_t edge = c.clipRate / 50;
        double sum = 0;
        std::size_t n = 0;
        for (std::size_t i = edge; i + edge < expected && i < word.samples.size(); ++i, ++n) {
            const double ideal = kAmplitude * std::sin(2 * std::numbers::pi * kFreq * double(i) / c.clipRate);
            sum += (word.samples[i] - ideal) * (word.samples[i] - ideal);
        }
        const double rms = std::sqrt(sum / double(n));
        std::printf("[ measure  ] %s: %zu samples (%zu expected), RMS error %.3g\n", c.name, word.samples.size(),
                    expected, rms);
        EXPECT_LT(rms, c.maxRms);
    }
}

// A source kept at its rate and width (8 or 16 bits) comes back sample for
// sample.
TEST(SnxRoundTrip, UnchangedRateAndWidthKeepEverySample) {
    for (int format : {SF_FORMAT_WAV | SF_FORMAT_PCM_U8, SF_FORMAT_WAV | SF_FORMAT_PCM_16}) {
        TempDir dir;
        const unsigned bits = format == (SF_FORMAT_WAV | SF_FORMAT_PCM_U8) ? 8 : 16;
        WriteAudio(dir / "s.wav", format, 11025, 1, Sine(300, 0.9, 11025, 3000));
        CommandResult run = RunSnx("-q --bits " + std::to_string(bits) + " -o " + (dir / "s.snx") + " " + (dir / "s.wav"));
        ASSERT_EQ(run.status, 0) << run.out;
        const std::vector<float> source = ReadAudio(dir / "s.wav");
        Word word = LinkAndReadBack(dir, dir / "s.snx");
        ASSERT_GE(word.samples.size(), source.size());
        for (std::size_t i = 0; i < source.size(); ++i) ASSERT_EQ(word.samples[i], source[i]) << i;
    }
}

}  // namespace
}  // namespace zlt::test
