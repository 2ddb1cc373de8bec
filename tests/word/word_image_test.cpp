// Clips of both widths and every shape of data, copied through the block
// transform into the word image: their samples come back out of it. Clips
// that fail or change while they are copied are in the word fault tests.
#include "word/word_image.h"

#include "base/bytes.h"
#include "support/stage_fixture.h"
#include "word/word_table.h"

#include <gtest/gtest.h>

#include <random>

namespace zlt::test {
namespace {

struct ClipPlan {
    unsigned bits;
    std::size_t samples;
    std::uint32_t dataOffset;
    std::size_t trailing;  // bytes after the data
    bool used;
};

TEST(WordImage, RandomSamplesComeBackOutOfTheWordImage) {
    std::mt19937 rng(12000);
    const ClipPlan plans[] = {
        {8, 1000, 128, 0, true},        // L = 992: the last block ends early
        {16, 700, 300, 37, true},       // a gap before the data, bytes after it
        {8, 5000, 128, 0, false},       // defined, unused
        {16, 7, 128, 0, true},          // L = 0: no page
        {8, 15, 128, 600, true},        // L = 0 despite the bytes after it
        {16, 256 * 2050 + 8, 128, 3, true},  // more than one run of blocks
        {8, 512 * 3, 129, 0, true},     // whole blocks, odd data offset
        {16, 256, 128, 512, true},      // one whole block, a block more in the file
    };
    TempDir dir;
    std::string words = "[ZLP.Word]\n";
    std::vector<std::vector<std::int16_t>> samples(std::size(plans));
    std::vector<unsigned> used;
    for (std::size_t i = 0; i < std::size(plans); ++i) {
        const ClipPlan& p = plans[i];
        ClipFields f;
        f.dataOffset = p.dataOffset;
        auto clip = RandomClip(rng, f, p.bits, p.samples, samples[i]);
        for (std::size_t t = 0; t < p.trailing; ++t) clip.push_back(static_cast<std::uint8_t>(rng()));
        const unsigned word = 2 * static_cast<unsigned>(i) + 1;
        const std::string path = dir / (WordKey(word) + ".snx");
        WriteClipFile(path, clip);
        words += WordKey(word) + "=" + path + "\n";
        if (p.used) used.push_back(word);
    }
    // Word 100 names the first clip again and gets a copy of its own.
    words += "W0100=" + dir / "W0001.snx" + "\n";
    used.push_back(100);

    auto ctx = ProjectContext(dir, words);
    MessageLog log;
    ASSERT_TRUE(ParseWordTable(*ctx)) << log.Text();
    for (unsigned n : used) ASSERT_TRUE(UseWord(*ctx, n));
    // The word image section alone, in its own file.
    DirSlot slot;
    ASSERT_TRUE(PlaceWords(*ctx) && ctx->image.Open(ctx->imagePath) && WriteWordImageSection(*ctx, slot) &&
                ctx->image.Commit()) << log.Text();
    const std::string image = ReadFile(ctx->imagePath);
    EXPECT_EQ(slot.pageCount, ctx->wordImagePages);
    EXPECT_EQ(slot.byteLength, ctx->wordImagePages * 512);
    ASSERT_EQ(image.size(), std::size_t{slot.byteLength});
    // One line per used word, its page count in six digits.
    ASSERT_EQ(log.lines().size(), used.size());
    EXPECT_EQ(log.lines()[0], "\n        W0001,PageSize=000002,Filename=" + dir / "W0001.snx");

    for (unsigned word : used) {
        const std::size_t i = word == 100 ? 0 : word / 2;
        SCOPED_TRACE(word);
        const WordEntry& e = ctx->wordTable[word];
        const std::size_t width = plans[i].bits / 8;
        const std::span<const std::uint8_t> pages =
            AsBytes(image).subspan(512 * (e.format & kStartPageMask), 512 * std::size_t{WordPages(e)});
        const std::size_t count = WordBytes(e) / width;
        const std::vector<std::int16_t> want(samples[i].begin(),
                                             samples[i].begin() + static_cast<std::ptrdiff_t>(count));
        if (width == 1) {
            const auto got = DecodePages8(pages, count);
            EXPECT_EQ(std::vector<std::int16_t>(got.begin(), got.end()), want);
        } else {
            EXPECT_EQ(DecodePages16(pages, count), want);
        }
    }
}

}  // namespace
}  // namespace zlt::test
