// The clip header's checks, the block transform, and clip paths as a link
// reads them: those of projects made on Windows and those of clips that end
// the link. That the clip file reader agrees with the checks is proven by the
// clip header fuzz target; clips read whole into the word image by the word
// image test.
#include "word/clip.h"

#include "base/code_page.h"
#include "support/stage_fixture.h"

#include <gtest/gtest.h>

#include <functional>
#include <optional>

#include <sys/stat.h>

namespace zlt::test {
namespace {

// Each check at its bounds; a row with two faults shows which check comes first.
TEST(ClipHeader, ChecksRunInOrderWithTheirMessages) {
    const struct {
        std::function<void(ClipFields&)> change;
        std::string message;  // "" when the header passes; "\nErr: " goes before it, " of file clip.snx" after
    } cases[] = {
        {[](ClipFields& f) { f.signature[15] = '!'; }, "Invalid SNX-Signature"},
        {[](ClipFields& f) { f.signature[0] = 's'; }, "Invalid SNX-Signature"},
        {[](ClipFields& f) { f.formatTag[3] = 'X'; }, "Invalid SNX-Signature"},
        {[](ClipFields& f) { f.formatTag[0] = 'Z'; f.version = 0; }, "Invalid SNX-Signature"},
        {[](ClipFields& f) { f.version = 0x00020003; }, "Unsupported SNX-Version"},
        {[](ClipFields& f) { f.version = 0x00020001; }, ""},
        {[](ClipFields& f) { f.version = 0x00020000; f.channels = 0; }, "Unsupported SNX-Version"},
        {[](ClipFields& f) { f.channels = 0; }, "ZLT unsupported SNX-Channels(0)"},
        {[](ClipFields& f) { f.channels = 3; f.bitsPerChannel = 9; }, "ZLT unsupported SNX-Channels(3)"},
        {[](ClipFields& f) { f.channels = 2; }, ""},
        {[](ClipFields& f) { f.bitsPerChannel = 12; }, "ZLT unsupported SNX-BitsPerChannel(12)"},
        {[](ClipFields& f) { f.bitsPerChannel = 8; }, ""},
        {[](ClipFields& f) { f.bitsPerChannel = 24; f.sampleRate = 1; }, "ZLT unsupported SNX-BitsPerChannel(24)"},
        {[](ClipFields& f) { f.sampleRate = 2099; f.dataLength = 0; }, "ZLT unsupported SNX-SampleRate (2099Hz)"},
        {[](ClipFields& f) { f.sampleRate = 48001; }, "ZLT unsupported SNX-SampleRate (48001Hz)"},
        {[](ClipFields& f) { f.sampleRate = 2100; }, ""},  // the word table refuses it
        {[](ClipFields& f) { f.sampleRate = 48000; }, ""},
        {[](ClipFields& f) { f.dataLength = 0; f.keyIndexA = 200; }, "Invalid SNX-DataLength"},
        {[](ClipFields& f) { f.keyIndexA = 102; }, "Invalid SNX-KeyIndex"},
        {[](ClipFields& f) { f.keyIndexB = 255; }, "Invalid SNX-KeyIndex"},
        {[](ClipFields& f) { f.keyIndexA = f.keyIndexB = 101; }, ""},
    };
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        ClipFields f{.dataLength = 1000};
        cases[i].change(f);
        ClipHeader h = BuildClipHeader(f);
        MessageLog log;
        const std::string& message = cases[i].message;
        EXPECT_EQ(CheckClipHeader("clip.snx", h), message.empty()) << "case " << i;
        EXPECT_EQ(log.Text(), message.empty() ? "" : "\nErr: " + message + " of file clip.snx") << "case " << i;
    }
}

// The pair transform and the width step, with expected bytes worked out by
// hand for blocks whose input bytes are all the same.
TEST(BlockTransform, WorkedBlocks) {
    const struct {
        unsigned bits;
        ClipKey key;
        std::uint8_t fill;
        std::vector<std::pair<std::size_t, std::uint8_t>> expect;  // page offset, byte
    } cases[] = {
        // Pair p becomes (KA + p, KB - p); a first byte of 0 changes nothing.
        {8, {0, 0}, 0, {{0, 0x00}, {1, 0x00}, {2, 0x01}, {3, 0xFF}, {30, 0x0F}, {31, 0xF1}, {510, 0xFF}, {511, 0x01}}},
        // m = 7: bytes 7 to 22 XOR 7; 6 and 23 untouched; m = 6 changes the same bytes.
        {8, {7, 0}, 0, {{0, 0x07}, {6, 0x0A}, {7, 0xFA}, {8, 0x0B ^ 7}, {22, 0x15}, {23, 0xF5}}},
        {8, {6, 0}, 0, {{0, 0x06}, {6, 0x09}, {7, 0xFB}, {22, 0x17}, {23, 0xF5}}},
        // m = 255: bytes 255 to 270, the farthest reach.
        {8, {0xFF, 0}, 0, {{254, 0x7E}, {255, 0x7E}, {270, 0x79}, {271, 0x79}}},
        // Input bytes are swapped within their pair before the XOR.
        {8, {0, 0}, 0x5A, {{0, 0x5A}, {2, 0x5B}, {3, 0xA5}}},
        // Low bytes (KA + j), then high bytes (KB - j) with the sign flipped.
        {16, {0x01, 0xFF}, 0, {{0, 0x01}, {1, 0x02}, {255, 0x00}, {256, 0x7F}, {257, 0x7E}, {511, 0x80}}},
        {16, {0, 0}, 0x3C, {{0, 0x3C}, {1, 0x3D}, {256, 0xBC}, {257, 0x43}}},
    };
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        std::vector<std::uint8_t> in(kClipBlockSize, cases[i].fill), out(kClipBlockSize);
        BlockTransform(cases[i].key, cases[i].bits).Apply(in.data(), out.data(), 1);
        for (auto [offset, byte] : cases[i].expect) EXPECT_EQ(out[offset], byte) << "case " << i << ", offset " << offset;
    }
}

// Clip paths as a project made on Windows writes them, linked in a folder
// that holds clips/beep.snx, café.snx and Привет.snx (UTF-8 names); and the
// clips that end the link at the word stage: what is no file, a header that
// the clip checks pass but no word can have.
TEST(ClipPath, WindowsProjectsFindTheirClipsAndOthersEndTheLink) {
    const std::string access = "Err: Can not access file ", zlt = "Err: ZLT unsupported SNX-";
    const struct {
        std::string written;
        std::string error;                      // "" when the link succeeds
        std::optional<ClipFields> header = {};  // a clip of this header alone is written at the path
        unsigned codePage = 1252;
    } cases[] = {
        {"clips/beep.snx", ""},
        {"clips\\beep.snx", ""},
        {"caf\xE9.snx", ""},
        {"\xCF\xF0\xE8\xE2\xE5\xF2.snx", "", {}, 1251},
        {"\xCF\xF0\xE8\xE2\xE5\xF2.snx", access + "\xCF\xF0\xE8\xE2\xE5\xF2.snx"},
        {"C:\\voice\\beep.snx",
         access + "C:\\voice\\beep.snx (a Windows drive path: name the clip relative to the folder the link runs in)"},
        {"clips\\none.snx", access + "clips\\none.snx"},
        {"fifo.snx", access + "fifo.snx"}, {"clips", access + "clips"}, {"/dev/null", access + "/dev/null"},
        {"two.snx", zlt + "Channels(2) of file two.snx", ClipFields{.channels = 2, .dataLength = 100}},
        {"12k.snx", zlt + "SampleRate (12000Hz) of file 12k.snx", ClipFields{.sampleRate = 12000, .dataLength = 100}},
        {"2100.snx", zlt + "SampleRate (2100Hz) of file 2100.snx", ClipFields{.sampleRate = 2100, .dataLength = 100}},
        {"long.snx", zlt + "DataLength(268435456) of file long.snx", ClipFields{.dataLength = 0x10000000}},
    };
    TempDir dir;
    fs::create_directory(dir.path() / "clips");
    ASSERT_EQ(::mkfifo((dir / "fifo.snx").c_str(), 0600), 0);
    const auto clip = MakeClip16({}, std::vector<std::int16_t>(16, 100));
    for (const char* name : {"clips/beep.snx", "café.snx", "Привет.snx"}) WriteClipFile(dir / name, clip);
    WorkingDirectory cwd(dir.path());
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.codePage << " " << c.written);
        if (c.header) WriteClipFile(dir / c.written, BuildClipHeader(*c.header));
        ASSERT_TRUE(SetAnsiCodePage(c.codePage));
        auto run = Link(dir, MinimalProject("[ZLP.Word]\nW0001=" + c.written + "\n[ZLP.Sentence]\nS0000=W0001\n"));
        EXPECT_EQ(run->ok, c.error.empty());
        // The word stage's line ends the link.
        if (!c.error.empty()) { EXPECT_TRUE(run->log.Text().ends_with("\nParsing Word-Table\n" + c.error)); }
    }
    EXPECT_FALSE(SetAnsiCodePage(65001));
    EXPECT_EQ(AnsiCodePage(), 1252u);
}

}  // namespace
}  // namespace zlt::test
