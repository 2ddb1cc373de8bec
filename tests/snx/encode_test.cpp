// The clip encoder's choices: the clip rate for a source rate, and quantising
// to the word image's sample conventions: rounding, full scale, and dither
// that keeps the mean of a level between two steps. Padding to whole units
// is checked by the round trip; the command line is in tests/golden/snx.txt.
#include "zlt900-snx/encode.h"

#include <gtest/gtest.h>

#include <numeric>

namespace zlt::snx {
namespace {

TEST(SnxEncode, DefaultRateIsTheNextClipRateUp) {
    const std::pair<unsigned, unsigned> cases[] = {{1, 8000},      {8000, 8000},   {8001, 11025}, {12000, 16000},
                                                   {22050, 22050}, {40000, 40000}, {44101, 48000}, {192000, 48000}};
    for (auto [source, clip] : cases) EXPECT_EQ(DefaultClipRate(source), clip) << source;
}

TEST(SnxQuantizer, RoundsToTheNearestStepAndHoldsFullScale) {
    struct Case {
        float in;
        unsigned bits;
        int out;  // the stored sample: unsigned for 8 bits, signed for 16
        std::size_t clipped;
    } cases[] = {
        {0.0f, 8, 128, 0},         {-1.0f, 8, 0, 0},         {127 / 128.0f, 8, 255, 0},
        {1.0f, 8, 255, 1},         {-1.5f, 8, 0, 1},         {0.4f / 128, 8, 128, 0},
        {0.6f / 128, 8, 129, 0},   {0.0f, 16, 0, 0},         {-1.0f, 16, -32768, 0},
        {1.0f, 16, 32767, 1},      {-2.0f, 16, -32768, 1},   {1000.6f / 32768, 16, 1001, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.in << " at " << c.bits << " bits");
        ClipRandom random(1);
        Quantizer q(c.bits, false, random);
        q.Add(std::vector<float>{c.in});
        ASSERT_EQ(q.size(), 1u);
        EXPECT_EQ(c.bits == 8 ? int(q.samples8()[0]) : int(q.samples16()[0]), c.out);
        EXPECT_EQ(q.clipped(), c.clipped);
    }
}

// A level a quarter step above zero rounds to zero without dither; with
// triangular dither the samples spread over the steps around it and average
// to the level itself.
TEST(SnxQuantizer, DitherKeepsTheMeanOfALevelBetweenSteps) {
    const std::vector<float> level(100000, 0.25f / 128);
    ClipRandom random(5);
    Quantizer plain(8, false, random), dithered(8, true, random);
    plain.Add(level);
    dithered.Add(level);
    EXPECT_EQ(std::accumulate(plain.samples8().begin(), plain.samples8().end(), 0.0) / level.size(), 128.0);
    const double mean = std::accumulate(dithered.samples8().begin(), dithered.samples8().end(), 0.0) / level.size();
    EXPECT_NEAR(mean, 128.25, 0.01);
    for (std::uint8_t s : dithered.samples8()) ASSERT_TRUE(s >= 127 && s <= 129) << int(s);
}

}  // namespace
}  // namespace zlt::snx
