// The clip encoder's round trip: audio files in several formats, rates and
// widths made into clips with zlt900-snx, each linked as word 0 that
// sentence 0 plays, and read back out of the word image. The samples must be the
// source's tone at the clip's rate within the error that resampling and
// quantisation allow; a source kept at its rate and width (8 or 16 bits)
// comes back sample for sample.
#include "base/bytes.h"
#include "reader/decoded_image.h"
#include "snx/audio_fixture.h"
#include "support/command.h"
#include "support/link_fixture.h"

#include <gtest/gtest.h>
#include <sndfile.h>

namespace zlt::test {
namespace {

TEST(SnxRoundTrip, ClipsPlayTheSourceToneAtTheClipRate) {
    const struct {
        const char* file;
        int format;
        unsigned rate, channels;
        const char* args;
        unsigned clipRate, clipBits;
        double maxRms;  // against the ideal tone, full scale = 1; 0: the source's own samples, every one
    } cases[] = {
        {"16-bit stereo 22050 Hz.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 22050, 2, "--rate 16000", 16000, 16, 3e-5},
        {"float 44100 Hz.wav", SF_FORMAT_WAV | SF_FORMAT_FLOAT, 44100, 1, "--rate 8000 --bits 8", 8000, 8, 6e-3},
        {"24-bit 96000 Hz.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_24, 96000, 1, "", 48000, 16, 3e-5},
        {"stereo 32000 Hz.ogg", SF_FORMAT_OGG | SF_FORMAT_VORBIS, 32000, 2, "--rate 24000 --bits 8", 24000, 8, 1e-2},
        {"8-bit 11025 Hz.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_U8, 11025, 1, "--bits 8", 11025, 8, 0},
        {"16-bit 11025 Hz.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 11025, 1, "", 11025, 16, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        TempDir dir;
        // A source to keep is near full scale, where a scale off by a step shows.
        const bool kept = c.maxRms == 0;
        const std::size_t frames = c.rate / 2;
        WriteTone(dir / c.file, c.format, c.rate, c.channels, frames, kept ? 0.9 : 0.5);
        const CommandResult run = RunCommand(std::string(ZLT_SNX_TOOL) + " " + c.args + " --seed 1 -q -o " +
                                             (dir / "clip.snx") + " '" + (dir / c.file) + "'");
        ASSERT_EQ(run.status, 0) << run.out;
        const auto link = Link(dir, MinimalProject("[ZLP.Word]\nW0000=" + (dir / "clip.snx") +
                                                   "\n[ZLP.Sentence]\nS0000=W0000\n"));
        std::string error;
        const auto image = ReadImage(AsBytes(link->image), error);
        ASSERT_TRUE(image && image->words.size() == 1) << link->log.Text() << error;
        const WordInfo& w = image->words[0];
        EXPECT_EQ(w.sampleRate, c.clipRate);
        EXPECT_EQ(w.bits, c.clipBits);
        std::vector<double> word;  // full scale = 1
        const std::vector<std::uint8_t> bytes = WordSamples(AsBytes(link->image), *image, w);
        for (std::size_t i = 0; i < bytes.size(); i += w.bits / 8)
            word.push_back(w.bits == 8 ? (bytes[i] - 128) / 128.0
                                       : std::int16_t(bytes[i] | bytes[i + 1] << 8) / 32768.0);

        // The resampled length, padded with silence to whole 16-byte units.
        const auto expected = static_cast<std::size_t>(std::llround(double(frames) * c.clipRate / c.rate));
        ASSERT_GE(word.size(), expected);
        EXPECT_LT(word.size(), expected + 16 / (c.clipBits / 8));
        for (std::size_t i = expected; i < word.size(); ++i) ASSERT_EQ(word[i], 0) << i;

        // Edges ring in the resampler's filter: compare the middle, unless the source was kept.
        const std::vector<float> source = kept ? ReadMono(dir / c.file) : std::vector<float>();
        const std::size_t edge = kept ? 0 : c.clipRate / 50;
        double sum = 0;
        for (std::size_t i = edge; i + edge < expected; ++i) {
            const double e = word[i] - (kept ? source[i] : Tone(double(i) / c.clipRate));
            sum += e * e;
        }
        EXPECT_LE(std::sqrt(sum / double(expected - 2 * edge)), c.maxRms);
    }
}

}  // namespace
}  // namespace zlt::test
