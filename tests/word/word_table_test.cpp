#include "word/word_table.h"

#include "support/stage_fixture.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace zlt::test {
namespace {

std::string HeaderOnlyClip(const TempDir& dir, const std::string& name, const ClipFields& f) {
    const std::string path = dir / name;
    WriteClipFile(path, BuildClipHeader(f));
    return path;
}

ClipFields Fields(std::uint16_t channels, std::uint16_t bits, std::uint32_t rate, std::uint32_t length) {
    ClipFields f;
    f.channels = channels;
    f.bitsPerChannel = bits;
    f.sampleRate = rate;
    f.dataLength = length;
    return f;
}

struct ParseCase {
    const char* name;
    ClipFields clip;
    std::string message;      // "" when accepted; the path follows it
    WordEntry entry;          // when accepted
};

TEST(ParseWordTable, FormatsTheWordTableHolds) {
    const ParseCase cases[] = {
        {"48000 Hz", Fields(1, 8, 48000, 16), "", {0x25000000, 0x09000001}},
        {"11025 Hz, length below 16", Fields(1, 16, 11025, 15), "", {0x17000000, 0x02000000}},
        {"longest length", Fields(1, 16, 44100, 0x0FFFFFFF), "", {0x17000000, 0x08FFFFFF}},
        {"two channels", Fields(2, 16, 16000, 100), "\nErr: ZLT unsupported SNX-Channels(2) of file ", {}},
        {"12000 Hz", Fields(1, 16, 12000, 100), "\nErr: ZLT unsupported SNX-SampleRate (12000Hz) of file ", {}},
        {"2^28 bytes", Fields(1, 8, 8000, 0x10000000),
         "\nErr: ZLT unsupported SNX-DataLength(268435456) of file ", {}},
        {"format fault first", Fields(1, 8, 50000, 0), "\nErr: ZLT unsupported SNX-SampleRate (50000Hz) of file ", {}},
    };
    for (const ParseCase& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        const std::string path = HeaderOnlyClip(dir, "w.snx", c.clip);
        auto ctx = ProjectContext(dir, "[ZLP.Word]\nW0003=" + path + "\n");
        MessageLog log;
        EXPECT_EQ(ParseWordTable(*ctx), c.message.empty());
        if (c.message.empty()) {
            EXPECT_TRUE(log.lines().empty()) << log.Text();
            EXPECT_EQ(ctx->wordTable[3].format, c.entry.format);
            EXPECT_EQ(ctx->wordTable[3].length, c.entry.length);
        } else {
            EXPECT_EQ(log.lines(), std::vector<std::string>{c.message + path});
        }
    }
}

TEST(ParseWordTable, PathsThatAreNoReadableFile) {
    TempDir dir;
    ASSERT_EQ(::mkfifo((dir / "fifo.snx").c_str(), 0600), 0);
    ASSERT_EQ(::mkdir((dir / "folder.snx").c_str(), 0700), 0);
    for (const std::string& path : {dir / "missing.snx", dir / "fifo.snx", dir / "folder.snx",
                                   std::string("/dev/null")}) {
        auto ctx = ProjectContext(dir, "[ZLP.Word]\nW0000=" + path + "\n");
        MessageLog log;
        EXPECT_FALSE(ParseWordTable(*ctx));
        EXPECT_EQ(log.lines(), std::vector<std::string>{"\nErr: Can not access file " + path});
    }
}

TEST(ParseWordTable, KeysWithGapsAndShortKeys) {
    TempDir dir;
    const std::string a = HeaderOnlyClip(dir, "a.snx", Fields(1, 8, 8000, 32));
    auto ctx = ProjectContext(dir, "[ZLP.Word]\nW0000=" + a + "\nW0005=" + a + "\nW12=" + a +
                                       "\nW8191=" + a + "\nW8192=" + a + "\nW0007=\n");
    MessageLog log;
    ASSERT_TRUE(ParseWordTable(*ctx));
    std::vector<unsigned> defined;
    for (unsigned n = 0; n < kEntryCount; ++n) {
        if (IsDefined(ctx->wordTable[n])) defined.push_back(n);
    }
    EXPECT_EQ(defined, (std::vector<unsigned>{0, 5, 8191}));
}

// A clip's format goes into an entry and its eight bytes, and reads back as
// the clip's width and rate and the bytes and pages the word takes.
TEST(WordEntry, ClipFormatsReadBack) {
    struct Case {
        ClipFormat clip;  // DataLength as checked
        WordEntry entry;
        std::uint32_t bytes, pages;
    } cases[] = {
        {{1, 8, 8000, 1000}, {0x25000000, 0x0100003E}, 992, 2},
        {{1, 16, 11025, 12}, {0x17000000, 0x02000000}, 0, 0},
        {{1, 8, 16000, 16}, {0x25000000, 0x03000001}, 16, 1},
        {{1, 16, 22050, 512}, {0x17000000, 0x04000020}, 512, 1},
        {{1, 8, 24000, 528}, {0x25000000, 0x05000021}, 528, 2},
        {{1, 16, 32000, 1024}, {0x17000000, 0x06000040}, 1024, 2},
        {{1, 8, 40000, 20}, {0x25000000, 0x07000001}, 16, 1},
        {{1, 16, 44100, 0x0FFFFFFC}, {0x17000000, 0x08FFFFFF}, 0x0FFFFFF0, 0x80000},
        {{1, 8, 48000, 4}, {0x25000000, 0x09000000}, 0, 0},
    };
    for (const Case& c : cases) {
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
            EXPECT_EQ(f->bits, c.clip.bitsPerChannel);
            EXPECT_EQ(f->sampleRate, c.clip.sampleRate);
            EXPECT_EQ(f->byteLength, c.bytes);
            EXPECT_EQ(f->pages, c.pages);
            EXPECT_EQ(f->used, used);
            EXPECT_EQ(f->startPage, used ? 77u : 0u);
        }
    }
    for (std::uint32_t rate : {2100u, 7999u, 8001u, 12000u, 47999u}) {
        WordEntry e;
        EXPECT_EQ(EntryOf(ClipFormat{1, 16, rate, 64}, e), WordFault::kSampleRate) << rate;
    }
    // Entries that no clip gives.
    for (WordEntry e : {WordEntry{0, 0}, WordEntry{0x27000000, 0x01000001}, WordEntry{0x25000000, 0x0A000001},
                        WordEntry{0x25000000, 0x00000001}, WordEntry{0x17000000, 0x11000001}}) {
        EXPECT_FALSE(DecodeWordEntry(e)) << std::hex << e.format << " " << e.length;
    }
}

WordEntry Word(std::uint32_t pages, bool used) {
    return {kOneChannel | kEightBit, (1u << kRateCodeShift) | (pages * 32) | (used ? kUsedBit : 0)};
}

struct PlaceCase {
    const char* name;
    std::vector<std::pair<unsigned, WordEntry>> words;
    std::vector<std::pair<unsigned, std::uint32_t>> startPages;
    std::uint32_t total;
};

TEST(PlaceWords, UsedWordsArePackedInNumberOrder) {
    const PlaceCase cases[] = {
        {"none", {}, {}, 0},
        {"used 3 and 7, unused 5",
         {{7, Word(5, true)}, {3, Word(2, true)}, {5, Word(4, false)}},
         {{3, 0}, {5, 0}, {7, 2}}, 7},
        {"an empty used word takes no page",
         {{1, Word(3, true)}, {2, Word(0, true)}, {4, Word(1, true)}},
         {{1, 0}, {2, 3}, {4, 3}}, 4},
        {"last word", {{8191, Word(1, true)}, {0, Word(2, true)}}, {{0, 0}, {8191, 2}}, 3},
    };
    for (const PlaceCase& c : cases) {
        SCOPED_TRACE(c.name);
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
    ASSERT_EQ(WordPages(largest), 0x80000u);
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
            EXPECT_EQ(log.lines(), std::vector<std::string>{
                                       "\nErr: ZLT_WIMG.BIN exceeds 8388607 pages at W0015 of file p.zlp"});
        }
    }
}

TEST(WriteWordTableSection, EntriesAsLittleEndianBytes) {
    TempDir dir;
    const std::string w3 = HeaderOnlyClip(dir, "w3.snx", Fields(1, 16, 22050, 1000));
    const std::string w9 = HeaderOnlyClip(dir, "w9.snx", Fields(1, 8, 8000, 5000));
    auto ctx = ProjectContext(dir, "[ZLP.Word]\nW0003=" + w3 + "\nW0009=" + w9 + "\n");
    MessageLog log;
    ASSERT_TRUE(ParseWordTable(*ctx));
    ctx->wordTable[1] = Word(2, true);  // places word 3 at page 2
    ASSERT_TRUE(UseWord(*ctx, 3));
    EXPECT_FALSE(UseWord(*ctx, 4));
    EXPECT_FALSE(UseWord(*ctx, 8192));
    ASSERT_TRUE(PlaceWords(*ctx));
    ASSERT_TRUE(ctx->image.Open(ctx->imagePath));
    DirSlot slot;
    ASSERT_TRUE(WriteWordTableSection(*ctx, slot));
    ASSERT_TRUE(ctx->image.Commit());
    EXPECT_EQ(slot.pageCount, 128u);
    EXPECT_EQ(slot.byteLength, 65536u);
    const std::string bytes = ReadFile(ctx->imagePath);
    ASSERT_EQ(bytes.size(), 65536u);
    EXPECT_EQ(bytes.substr(8 * 3, 8), std::string("\x02\x00\x00\x17\x3E\x00\x00\x84", 8));
    EXPECT_EQ(bytes.substr(8 * 9, 8), std::string("\x00\x00\x00\x25\x38\x01\x00\x01", 8));
    EXPECT_EQ(bytes.substr(8 * 10), std::string(65536 - 80, '\0'));
}

}  // namespace
}  // namespace zlt::test
