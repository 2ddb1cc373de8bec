// The word table: entries of clip formats, the word stage's faults, and the
// placing of used words. The entries' bytes in an image are checked in the
// golden images.
#include "word/word_table.h"

#include "support/stage_fixture.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace zlt::test {
namespace {

// A clip's format goes into an entry and its eight bytes, and reads back as
// the clip's width and rate and the bytes and pages the word takes.
TEST(WordEntry, ClipFormatsReadBack) {
    const struct {
        ClipFormat clip;  // DataLength as checked
        WordFault fault;
        WordEntry entry;
        std::uint32_t bytes, pages;
    } cases[] = {
        {{1, 8, 8000, 1000}, WordFault::kNone, {0x25000000, 0x0100003E}, 992, 2},
        {{1, 16, 11025, 12}, WordFault::kNone, {0x17000000, 0x02000000}, 0, 0},
        {{1, 8, 16000, 16}, WordFault::kNone, {0x25000000, 0x03000001}, 16, 1},
        {{1, 16, 22050, 512}, WordFault::kNone, {0x17000000, 0x04000020}, 512, 1},
        {{1, 8, 24000, 528}, WordFault::kNone, {0x25000000, 0x05000021}, 528, 2},
        {{1, 16, 32000, 1024}, WordFault::kNone, {0x17000000, 0x06000040}, 1024, 2},
        {{1, 8, 40000, 20}, WordFault::kNone, {0x25000000, 0x07000001}, 16, 1},
        {{1, 16, 44100, 0x0FFFFFFF}, WordFault::kNone, {0x17000000, 0x08FFFFFF}, 0x0FFFFFF0, 0x80000},
        {{1, 8, 48000, 4}, WordFault::kNone, {0x25000000, 0x09000000}, 0, 0},
        {{2, 16, 16000, 100}, WordFault::kChannels, {}, 0, 0},
        {{1, 12, 16000, 100}, WordFault::kBitsPerChannel, {}, 0, 0},
        {{1, 8, 8000, 0x10000000}, WordFault::kDataLength, {}, 0, 0},
        {{1, 16, 2100, 64}, WordFault::kSampleRate, {}, 0, 0},
        {{1, 16, 7999, 64}, WordFault::kSampleRate, {}, 0, 0},
        {{1, 16, 12000, 64}, WordFault::kSampleRate, {}, 0, 0},
        {{1, 16, 47999, 64}, WordFault::kSampleRate, {}, 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.clip.channels << " " << c.clip.bitsPerChannel << " " << c.clip.sampleRate);
        WordEntry e;
        ASSERT_EQ(EntryOf(c.clip, e), c.fault);
        if (c.fault != WordFault::kNone) continue;
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
    // Entries that no clip gives.
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
        ClipFields f;
        f.channels = channels;
        f.sampleRate = rate;
        f.dataLength = length;
        WriteClipFile(dir / name, BuildClipHeader(f));
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

WordEntry Word(std::uint32_t pages, bool used) {
    return {kOneChannel | kEightBit, (1u << kRateCodeShift) | (pages * 32) | (used ? kUsedBit : 0)};
}

TEST(PlaceWords, UsedWordsArePackedInNumberOrder) {
    const struct {
        std::vector<std::pair<unsigned, WordEntry>> words;
        std::vector<std::pair<unsigned, std::uint32_t>> startPages;
        std::uint32_t total;
    } cases[] = {
        {{}, {}, 0},
        {{{7, Word(5, true)}, {3, Word(2, true)}, {5, Word(4, false)}}, {{3, 0}, {5, 0}, {7, 2}}, 7},
        // An empty used word takes no page.
        {{{1, Word(3, true)}, {2, Word(0, true)}, {4, Word(1, true)}}, {{1, 0}, {2, 3}, {4, 3}}, 4},
        {{{8191, Word(1, true)}, {0, Word(2, true)}}, {{0, 0}, {8191, 2}}, 3},
    };
    for (const auto& c : cases) {
        LinkContext ctx;
        for (auto [n, e] : c.words) ctx.wordTable[n] = e;
        ASSERT_TRUE(PlaceWords(ctx));
        for (auto [n, page] : c.startPages) {
            EXPECT_EQ(ctx.wordTable[n].format & kStartPageMask, page) << n;
            EXPECT_EQ(ctx.wordTable[n].format & kFormatFlagsMask, 0x25000000u) << n;
        }
        EXPECT_EQ(ctx.wordImagePages, c.total);
    }
}

TEST(PlaceWords, WordImageMustStayBelow2To23Pages) {
    // Fifteen of the largest clips, then one that ends the word image just
    // below 2^23 pages or at it.
    const WordEntry largest{kOneChannel | kSixteenBit, (3u << kRateCodeShift) | 0xFFFFFF | kUsedBit};
    for (bool fits : {true, false}) {
        LinkContext ctx;
        ctx.projectPath = "p.zlp";
        for (unsigned n = 0; n < 15; ++n) ctx.wordTable[n] = largest;
        ctx.wordTable[15] = fits ? Word(0x7FFFF, true) : largest;
        MessageLog log;
        EXPECT_EQ(PlaceWords(ctx), fits);
        if (fits) {
            EXPECT_EQ(ctx.wordImagePages, kWordImagePageLimit - 1);
            EXPECT_EQ(ctx.wordTable[15].format & kStartPageMask, 15u * 0x80000);
        } else {
            EXPECT_EQ(log.Text(), "\nErr: ZLT_WIMG.BIN exceeds 8388607 pages at W0015 of file p.zlp");
        }
    }
}

}  // namespace
}  // namespace zlt::test
