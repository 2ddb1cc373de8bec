// The clip encoder's choices: the clip rate for a source rate, and quantising
// to the word image's sample conventions: rounding, full scale, and dither
// that keeps the mean of a level between two steps. Padding to whole units,
// and the scale of samples kept at their width, are checked by the round
// trip; the command line is in tests/golden/snx.txt.
#include "zlt900-snx/encode.h"

#include <gtest/gtest.h>

#include <numeric>

namespace zlt::snx {
namespace {

// A faster source than the fastest clip rate (96000 Hz) is in the round trip.
TEST(SnxEncode, DefaultRateIsTheNextClipRateUp) {
    for (auto [source, clip] : {std::pair{8000u, 8000u}, {8001u, 11025u}, {44101u, 48000u}})
        EXPECT_EQ(DefaultClipRate(source), clip) << source;
}

TEST(SnxQuantizer, RoundsToTheNearestStepAndHoldsFullScale) {
    const struct {
        float in;
        unsigned bits;
        int out;  // the stored sample: unsigned for 8 bits, signed for 16
        std::size_t clipped;
    } cases[] = {
        {0.4f / 128, 8, 128, 0}, {0.6f / 128, 8, 129, 0}, {-1.0f, 8, 0, 0},          {127 / 128.0f, 8, 255, 0},
        {1.0f, 8, 255, 1},       {-1.5f, 8, 0, 1},        {-1.0f, 16, -32768, 0}, {1.0f, 16, 32767, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.in << " at " << c.bits << " bits");
        ClipRandom random(1);
        Quantizer q(c.bits, false, random);
        q.Add(std::vector<float>{c.in});
        ASSERT_EQ(q.size(), 1u);
        EXPECT_EQ(c.bits == 8 ? int(q.samples8()[0]) : int(q.samples16()[0]), c.out);
        EXPECT_EQ(q.clipped(), c.clipped);
    }
}

// A level a quarter step above zero, which rounds to zero, spreads with
// triangular dither over the steps around it and averages to itself.
TEST(SnxQuantizer, DitherKeepsTheMeanOfALevelBetweenSteps) {
    const std::vector<float> level(100000, 0.25f / 128);
    ClipRandom random(5);
    Quantizer dithered(8, true, random);
    dithered.Add(level);
    const std::vector<std::uint8_t>& s = dithered.samples8();
    EXPECT_NEAR(std::accumulate(s.begin(), s.end(), 0.0) / double(s.size()), 128.25, 0.01);
    for (std::uint8_t x : s) ASSERT_TRUE(x >= 127 && x <= 129) << int(x);
}

}  // namespace
}  // namespace zlt::snx
