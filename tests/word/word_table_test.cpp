// The word table: entries of clip formats, the word stage's faults, the
// placing of used words, and clips of both widths and every shape of data
// copied through the block transform into the word image. The entries'
// bytes in an image are checked in the golden images, as are an unused
// word and words placed in number order.
#include "word/word_table.h"

#include "base/bytes.h"
#include "support/stage_fixture.h"
#include "word/word_image.h"

#include <gtest/gtest.h>

#include <random>

#include <sys/stat.h>

namespace zlt::test {
namespace {

// A clip's format goes into an entry and its eight bytes, and reads back as
// the clip's width and rate and the bytes and pages the word takes. The rates
// of the golden images' words are left to them; the other faults of a clip
// format are the word stage's below.
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

// The stage reads each key of the section; a fault ends it with its line.
TEST(ParseWordTable, KeysAndFaults) {
    TempDir dir;
    ASSERT_EQ(::mkfifo((dir / "fifo.snx").c_str(), 0600), 0);
    ASSERT_EQ(::mkdir((dir / "folder.snx").c_str(), 0700), 0);
    auto clip = [&](const std::string& name, std::uint16_t channels, std::uint32_t rate, std::uint32_t length) {
        WriteClipFile(dir / name, BuildClipHeader({.channels = channels, .sampleRate = rate, .dataLength = length}));
        return dir / name;
    };
    const std::string a = clip("a.snx", 1, 8000, 32);
    auto ctx = ProjectContext(dir, "[ZLP.Word]\nW0000=" + a + "\nW0005=" + a + "\nW12=" + a + "\nW8191=" + a +
                                       "\nW8192=" + a + "\nW0007=\n");
    ASSERT_TRUE(ParseWordTable(*ctx));
    std::vector<unsigned> defined;
    for (unsigned n = 0; n < kEntryCount; ++n)
        if (IsDefined(ctx->wordTable[n])) defined.push_back(n);
    EXPECT_EQ(defined, (std::vector<unsigned>{0, 5, 8191}));

    const std::string access = "\nErr: Can not access file ";
    const std::pair<std::string, std::string> faults[] = {
        {clip("two.snx", 2, 16000, 100), "\nErr: ZLT unsupported SNX-Channels(2) of file "},
        {clip("12k.snx", 1, 12000, 100), "\nErr: ZLT unsupported SNX-SampleRate (12000Hz) of file "},
        {clip("2100.snx", 1, 2100, 100), "\nErr: ZLT unsupported SNX-SampleRate (2100Hz) of file "},
        {clip("long.snx", 1, 8000, 0x10000000), "\nErr: ZLT unsupported SNX-DataLength(268435456) of file "},
        {clip("both.snx", 1, 50000, 0), "\nErr: ZLT unsupported SNX-SampleRate (50000Hz) of file "},
        {dir / "missing.snx", access}, {dir / "fifo.snx", access}, {dir / "folder.snx", access}, {"/dev/null", access},
    };
    for (const auto& [path, message] : faults) {
        auto ctx = ProjectContext(dir, "[ZLP.Word]\nW0003=" + path + "\n");
        MessageLog log;
        EXPECT_FALSE(ParseWordTable(*ctx));
        EXPECT_EQ(log.lines(), std::vector<std::string>{message + path});
    }
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
    const auto afterLargest = [&](WordEntry last) {
        std::vector<std::pair<unsigned, WordEntry>> words;
        for (unsigned n = 0; n < 15; ++n) words.emplace_back(n, largest);
        words.emplace_back(15, last);
        return words;
    };
    const struct {
        std::vector<std::pair<unsigned, WordEntry>> words;
        std::vector<std::pair<unsigned, std::uint32_t>> startPages;  // of 8-bit words
        std::uint32_t total;
        std::string error;
    } cases[] = {
        {{{1, Word(3)}, {2, Word(0)}, {4, Word(1)}}, {{1, 0}, {2, 3}, {4, 3}}, 4, ""},  // an empty word takes no page
        {{{8191, Word(1)}, {0, Word(2)}}, {{0, 0}, {8191, 2}}, 3, ""},
        {afterLargest(Word(0x7FFFF)), {{15, 15u * 0x80000}}, kWordImagePageLimit - 1, ""},
        {afterLargest(largest), {}, 0, "\nErr: ZLT_WIMG.BIN exceeds 8388607 pages at W0015 of file p.zlp"},
    };
    for (const auto& c : cases) {
        LinkContext ctx;
        ctx.projectPath = "p.zlp";
        for (auto [n, e] : c.words) ctx.wordTable[n] = e;
        MessageLog log;
        EXPECT_EQ(PlaceWords(ctx), c.error.empty());
        EXPECT_EQ(log.Text(), c.error);
        for (auto [n, page] : c.startPages) EXPECT_EQ(ctx.wordTable[n].format, 0x25000000u | page) << n;
        EXPECT_EQ(ctx.wordImagePages, c.total);
    }
}

// Random samples of every shape of clip data come back out of the word
// image; word 100 names the first clip again and gets a copy of its own.
TEST(WordImage, RandomSamplesComeBackOutOfTheWordImage) {
    std::mt19937 rng(12000);
    const struct {
        unsigned bits;
        std::size_t samples;
        std::uint32_t dataOffset;
        std::size_t trailing;  // bytes after the data
    } plans[] = {
        {8, 1000, 128, 0},              // L = 992: the last block ends early
        {16, 700, 300, 37},             // a gap before the data, bytes after it
        {16, 7, 128, 600},              // L = 0: no page, despite the bytes after it
        {16, 256 * 2050 + 8, 128, 3},   // more than one run of blocks
        {8, 512 * 3, 129, 0},           // whole blocks, odd data offset
        {16, 256, 128, 512},            // one whole block, a block more in the file
    };
    TempDir dir;
    std::string words = "[ZLP.Word]\n";
    std::vector<std::vector<std::int16_t>> samples(std::size(plans));
    std::vector<unsigned> used;
    for (std::size_t i = 0; i < std::size(plans); ++i) {
        auto clip = RandomClip(rng, {.dataOffset = plans[i].dataOffset}, plans[i].bits, plans[i].samples, samples[i]);
        for (std::size_t t = 0; t < plans[i].trailing; ++t) clip.push_back(static_cast<std::uint8_t>(rng()));
        used.push_back(2 * static_cast<unsigned>(i) + 1);
        WriteClipFile(dir / (WordKey(used.back()) + ".snx"), clip);
        words += WordKey(used.back()) + "=" + dir / (WordKey(used.back()) + ".snx") + "\n";
    }
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
