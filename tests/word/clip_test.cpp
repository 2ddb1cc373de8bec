// The clip header's checks, the block transform and the clip paths of
// projects made on Windows. That the clip file reader agrees with the checks
// is proven by the clip header fuzz target; clips read whole into the word
// image by the word image test.
#include "word/clip.h"

#include "base/code_page.h"
#include "support/stage_fixture.h"

#include <gtest/gtest.h>

#include <functional>

namespace zlt::test {
namespace {

// Each check at its bounds; a row with two faults shows which check comes first.
TEST(ClipHeader, ChecksRunInOrderWithTheirMessages) {
    const std::string sig = "\nErr: Invalid SNX-Signature of file ", ver = "\nErr: Unsupported SNX-Version of file ";
    const std::string len = "\nErr: Invalid SNX-DataLength of file ", key = "\nErr: Invalid SNX-KeyIndex of file ";
    const std::string channels = "\nErr: ZLT unsupported SNX-Channels(", bits = "\nErr: ZLT unsupported SNX-BitsPerChannel(";
    const std::string rate = "\nErr: ZLT unsupported SNX-SampleRate (";
    const struct {
        std::function<void(ClipFields&)> change;
        std::string message;  // "" when the header passes; the path follows it
    } cases[] = {
        {[](ClipFields&) {}, ""},
        {[](ClipFields& f) { f.signature[15] = '!'; }, sig},
        {[](ClipFields& f) { f.signature[0] = 's'; }, sig},
        {[](ClipFields& f) { f.formatTag[3] = 'X'; }, sig},
        {[](ClipFields& f) { f.formatTag[0] = 'Z'; f.version = 0; }, sig},
        {[](ClipFields& f) { f.version = 0x00020003; }, ver},
        {[](ClipFields& f) { f.version = 0x00020001; }, ""},
        {[](ClipFields& f) { f.version = 0x00020000; f.channels = 0; }, ver},
        {[](ClipFields& f) { f.channels = 0; }, channels + "0) of file "},
        {[](ClipFields& f) { f.channels = 3; f.bitsPerChannel = 9; }, channels + "3) of file "},
        {[](ClipFields& f) { f.channels = 2; }, ""},
        {[](ClipFields& f) { f.bitsPerChannel = 12; }, bits + "12) of file "},
        {[](ClipFields& f) { f.bitsPerChannel = 8; }, ""},
        {[](ClipFields& f) { f.bitsPerChannel = 24; f.sampleRate = 1; }, bits + "24) of file "},
        {[](ClipFields& f) { f.sampleRate = 2099; f.dataLength = 0; }, rate + "2099Hz) of file "},
        {[](ClipFields& f) { f.sampleRate = 48001; }, rate + "48001Hz) of file "},
        {[](ClipFields& f) { f.sampleRate = 2100; }, ""},  // the word table refuses it
        {[](ClipFields& f) { f.sampleRate = 48000; }, ""},
        {[](ClipFields& f) { f.dataLength = 0; f.keyIndexA = 200; }, len},
        {[](ClipFields& f) { f.keyIndexA = 102; }, key},
        {[](ClipFields& f) { f.keyIndexB = 255; }, key},
        {[](ClipFields& f) { f.keyIndexA = f.keyIndexB = 101; }, ""},
    };
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        ClipFields f;
        f.dataLength = 1000;
        cases[i].change(f);
        ClipHeader h = BuildClipHeader(f);
        MessageLog log;
        EXPECT_EQ(CheckClipHeader("clip.snx", h), cases[i].message.empty()) << "case " << i;
        EXPECT_EQ(log.Text(), cases[i].message.empty() ? "" : cases[i].message + "clip.snx") << "case " << i;
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
// that holds clips/beep.snx, café.snx and Привет.snx (UTF-8 names).
TEST(ClipPath, WindowsProjectsFindTheirClips) {
    const struct {
        unsigned codePage;
        std::string written;
        std::string error;  // "" when the link succeeds
    } cases[] = {
        {1252, "clips/beep.snx", ""},
        {1252, "clips\\beep.snx", ""},
        {1252, "caf\xE9.snx", ""},
        {1251, "\xCF\xF0\xE8\xE2\xE5\xF2.snx", ""},
        {1252, "\xCF\xF0\xE8\xE2\xE5\xF2.snx", "Err: Can not access file \xCF\xF0\xE8\xE2\xE5\xF2.snx"},
        {1252, "C:\\voice\\beep.snx", "Err: Can not access file C:\\voice\\beep.snx (a Windows drive path: name the "
                                      "clip relative to the folder the link runs in)"},
        {1252, "clips\\none.snx", "Err: Can not access file clips\\none.snx"},
    };
    TempDir dir;
    fs::create_directory(dir.path() / "clips");
    const auto clip = MakeClip16({}, std::vector<std::int16_t>(16, 100));
    for (const char* name : {"clips/beep.snx", "café.snx", "Привет.snx"}) WriteClipFile(dir / name, clip);
    WorkingDirectory cwd(dir.path());
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.codePage << " " << c.written);
        ASSERT_TRUE(SetAnsiCodePage(c.codePage));
        auto run = Link(dir, MinimalProject("[ZLP.Word]\nW0001=" + c.written + "\n[ZLP.Sentence]\nS0000=W0001\n"));
        EXPECT_EQ(run->ok, c.error.empty());
        if (!c.error.empty()) { EXPECT_EQ(run->log.lines().back(), "\n" + c.error); }
    }
    EXPECT_FALSE(SetAnsiCodePage(65001));
    EXPECT_EQ(AnsiCodePage(), 1252u);
}

}  // namespace
}  // namespace zlt::test
