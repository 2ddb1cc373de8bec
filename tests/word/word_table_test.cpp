// The word table: entries of clip formats, the placing of used words, and
// clips of both widths and every shape of data copied through the block
// transform into the word image. The entries' bytes in an image are checked
// in the golden images, as are words 0 and 8191, an unused word, words placed
// in number order, the line of each word and clips at offset 128 whose last
// block ends early; the clips that the word stage refuses are in the clip path
// test.
#include "word/word_table.h"

#include "base/bytes.h"
#include "support/stage_fixture.h"
#include "word/word_image.h"

#include <gtest/gtest.h>

#include <random>

namespace zlt::test {
namespace {

// A clip's format goes into an entry and its eight bytes, and reads back as
// the clip's width and rate and the bytes and pages the word takes. The rates
// of the golden images' words are left to them; the other faults of a clip
// format are the word stage's, in the clip path test.
TEST(WordEntry, ClipFormatsReadBack) {
    const struct {
        ClipFormat clip;  // DataLength as checked
        WordEntry entry;
        std::uint32_t bytes, pages;
    } cases[] = {
        {{1, 16, 11025, 12}, {0x17000000, 0x02000000}, 0, 0},
        {{1, 8, 24000, 528}, {0x25000000, 0x05000021}, 528, 2},
        {{1, 16, 32000, 512}, {0x17000000, 0x06000020}, 512, 1},
        {{1, 8, 40000, 20}, {0x25000000, 0x07000001}, 16, 1},
        {{1, 16, 44100, 0x0FFFFFFF}, {0x17000000, 0x08FFFFFF}, 0x0FFFFFF0, 0x80000},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.clip.sampleRate);
        WordEntry e;
        ASSERT_EQ(EntryOf(c.clip, e), WordFault::kNone);
        EXPECT_EQ(e.format, c.entry.format);
        EXPECT_EQ(e.length, c.entry.length);
        for (bool used : {false, true}) {
            std::uint8_t bytes[kWordEntryBytes];
            PutWordEntry(bytes, {e.format | (used ? 77 : 0), e.length | (used ? kUsedBit : 0)});
            const std::optional<WordFormat> f = DecodeWordEntry(GetWordEntry(bytes));
            ASSERT_TRUE(f);
            EXPECT_EQ(std::tuple(f->bits, f->sampleRate, f->byteLength, f->pages, f->used, f->startPage),
                      std::tuple(c.clip.bitsPerChannel, c.clip.sampleRate, c.bytes, c.pages, used, used ? 77u : 0u));
        }
    }
    // A width that the clip header refuses first, and entries that no clip gives.
    WordEntry refused;
    EXPECT_EQ(EntryOf({1, 12, 16000, 100}, refused), WordFault::kBitsPerChannel);
    for (WordEntry e : {WordEntry{0, 0}, WordEntry{0x27000000, 0x01000001}, WordEntry{0x25000000, 0x0A000001},
                        WordEntry{0x25000000, 0x00000001}, WordEntry{0x17000000, 0x11000001}})
        EXPECT_FALSE(DecodeWordEntry(e)) << std::hex << e.format << " " << e.length;
}

// A used 8-bit word of the given pages.
WordEntry Word(std::uint32_t pages) {
    return {kOneChannel | kEightBit, (1u << kRateCodeShift) | (pages * 32) | kUsedBit};
}

// Used words packed in number order, and the word image kept below 2^23
// pages: fifteen of the largest clips, then one that ends it just below 2^23
// pages or at it.
TEST(PlaceWords, UsedWordsArePackedBelow2To23Pages) {
    const WordEntry largest{kOneChannel | kSixteenBit, (3u << kRateCodeShift) | 0xFFFFFF | kUsedBit};
    const struct {
        unsigned largestWords;  // words 0 on that are of the largest clips
        std::vector<std::pair<unsigned, WordEntry>> words;
        std::vector<std::pair<unsigned, std::uint32_t>> startPages;  // of 8-bit words
        std::uint32_t total;
        std::string error;
    } cases[] = {
        {0, {{1, Word(3)}, {2, Word(0)}, {4, Word(1)}}, {{1, 0}, {2, 3}, {4, 3}}, 4, ""},  // an empty word: no page
        {0, {{8191, Word(1)}, {0, Word(2)}}, {{0, 0}, {8191, 2}}, 3, ""},
        {15, {{15, Word(0x7FFFF)}}, {{15, 15u * 0x80000}}, kWordImagePageLimit - 1, ""},
        {15, {{15, largest}}, {}, 0, "\nErr: ZLT_WIMG.BIN exceeds 8388607 pages at W0015 of file p.zlp"},
    };
    for (const auto& c : cases) {
        LinkContext ctx;
        ctx.projectPath = "p.zlp";
        for (unsigned n = 0; n < c.largestWords; ++n) ctx.wordTable[n] = largest;
        for (auto [n, e] : c.words) ctx.wordTable[n] = e;
        MessageLog log;
        EXPECT_EQ(PlaceWords(ctx), c.error.empty());
        EXPECT_EQ(log.Text(), c.error);
        for (auto [n, page] : c.startPages) EXPECT_EQ(ctx.wordTable[n].format, 0x25000000u | page) << n;
        EXPECT_EQ(ctx.wordImagePages, c.total);
    }
}

// Random samples of every shape of clip data come back out of the word
// image; word 100 names the first clip again and gets a copy of its own. The
// keys W12 and W8192 and an empty path define no word.
TEST(WordImage, RandomSamplesComeBackOutOfTheWordImage) {
    std::mt19937 rng(12000);
    const struct {
        unsigned bits;
        std::size_t samples;
        std::uint32_t dataOffset;
        std::size_t trailing;  // bytes after the data
    } plans[] = {
        {16, 700, 300, 37},             // a gap before the data, bytes after it
        {16, 7, 128, 600},              // L = 0: no page, despite the bytes after it
        {16, 256 * 2050 + 8, 128, 3},   // more than one run of blocks
        {8, 512 * 3, 129, 0},           // whole blocks, odd data offset
        {16, 256, 128, 512},            // one whole block, a block more in the file
    };
    TempDir dir;
    const std::vector<unsigned> used{1, 3, 5, 7, 9, 100};  // word 2i + 1 holds plan i
    const std::string first = dir / "W0001.snx";
    std::string words = "[ZLP.Word]\nW0100=" + first + "\nW12=" + first + "\nW8192=" + first + "\nW0002=\n";
    std::vector<std::vector<std::int16_t>> samples(std::size(plans));
    for (std::size_t i = 0; i < std::size(plans); ++i) {
        auto clip = RandomClip(rng, {.dataOffset = plans[i].dataOffset}, plans[i].bits, plans[i].samples, samples[i]);
        for (std::size_t t = 0; t < plans[i].trailing; ++t) clip.push_back(static_cast<std::uint8_t>(rng()));
        const std::string path = dir / (WordKey(used[i]) + ".snx");
        WriteClipFile(path, clip);
        words += WordKey(used[i]) + "=" + path + "\n";
    }

    auto ctx = ProjectContext(dir, words);
    MessageLog log;
    ASSERT_TRUE(ParseWordTable(*ctx)) << log.Text();
    std::vector<unsigned> defined;  // and used
    for (unsigned n = 0; n < kEntryCount; ++n)
        if (UseWord(*ctx, n)) defined.push_back(n);
    ASSERT_EQ(defined, used);
    // The word image section alone, in its own file.
    DirSlot slot;
    ASSERT_TRUE(PlaceWords(*ctx) && ctx->image.Open(ctx->imagePath) && WriteWordImageSection(*ctx, slot) &&
                ctx->image.Commit()) << log.Text();
    const std::string image = ReadFile(ctx->imagePath);
    EXPECT_EQ(std::tuple(slot.pageCount, slot.byteLength), std::tuple(ctx->wordImagePages, ctx->wordImagePages * 512));
    ASSERT_EQ(image.size(), std::size_t{slot.byteLength});

    for (unsigned word : used) {
        const std::size_t i = word == 100 ? 0 : word / 2;
        SCOPED_TRACE(word);
        const WordEntry& e = ctx->wordTable[word];
        const std::size_t width = plans[i].bits / 8;
        const std::span<const std::uint8_t> pages =
            AsBytes(image).subspan(512 * (e.format & kStartPageMask), 512 * std::size_t{WordPages(e)});
        std::vector<std::int16_t> want = samples[i];
        want.resize(WordBytes(e) / width);
        if (width == 1) {
            const auto got = DecodePages8(pages, want.size());
            EXPECT_EQ(std::vector<std::int16_t>(got.begin(), got.end()), want);
        } else {
            EXPECT_EQ(DecodePages16(pages, want.size()), want);
        }
    }
}

}  // namespace
}  // namespace zlt::test
