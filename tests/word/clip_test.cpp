#include "word/clip.h"

#include "support/stage_fixture.h"

#include <gtest/gtest.h>

#include <functional>

namespace zlt::test {
namespace {

struct HeaderCase {
    const char* name;
    std::function<void(ClipFields&)> change;
    std::string message;  // "" when the header passes; the path follows it
};

TEST(ClipHeader, ChecksRunInOrderWithTheirMessages) {
    const std::string sig = "\nErr: Invalid SNX-Signature of file ";
    const std::string ver = "\nErr: Unsupported SNX-Version of file ";
    const std::string len = "\nErr: Invalid SNX-DataLength of file ";
    const std::string key = "\nErr: Invalid SNX-KeyIndex of file ";
    const HeaderCase cases[] = {
        {"valid", [](ClipFields&) {}, ""},
        {"signature byte 15 not NUL", [](ClipFields& f) { f.signature[15] = '!'; }, sig},
        {"signature letter case", [](ClipFields& f) { f.signature[0] = 's'; }, sig},
        {"tag without NUL", [](ClipFields& f) { f.formatTag[3] = 'X'; }, sig},
        {"signature before version",
         [](ClipFields& f) { f.formatTag[0] = 'Z'; f.version = 0; }, sig},
        {"version 2.3", [](ClipFields& f) { f.version = 0x00020003; }, ver},
        {"version 1.0", [](ClipFields& f) { f.version = 0x00010000; }, ver},
        {"version 2.1", [](ClipFields& f) { f.version = 0x00020001; }, ""},
        {"version before channels",
         [](ClipFields& f) { f.version = 0; f.channels = 0; }, ver},
        {"no channel", [](ClipFields& f) { f.channels = 0; },
         "\nErr: ZLT unsupported SNX-Channels(0) of file "},
        {"three channels", [](ClipFields& f) { f.channels = 3; },
         "\nErr: ZLT unsupported SNX-Channels(3) of file "},
        {"two channels", [](ClipFields& f) { f.channels = 2; }, ""},
        {"channels before bits",
         [](ClipFields& f) { f.channels = 9; f.bitsPerChannel = 9; },
         "\nErr: ZLT unsupported SNX-Channels(9) of file "},
        {"12 bits", [](ClipFields& f) { f.bitsPerChannel = 12; },
         "\nErr: ZLT unsupported SNX-BitsPerChannel(12) of file "},
        {"8 bits", [](ClipFields& f) { f.bitsPerChannel = 8; }, ""},
        {"bits before rate",
         [](ClipFields& f) { f.bitsPerChannel = 24; f.sampleRate = 1; },
         "\nErr: ZLT unsupported SNX-BitsPerChannel(24) of file "},
        {"2099 Hz", [](ClipFields& f) { f.sampleRate = 2099; },
         "\nErr: ZLT unsupported SNX-SampleRate (2099Hz) of file "},
        {"48001 Hz", [](ClipFields& f) { f.sampleRate = 48001; },
         "\nErr: ZLT unsupported SNX-SampleRate (48001Hz) of file "},
        {"2100 Hz", [](ClipFields& f) { f.sampleRate = 2100; }, ""},
        {"48000 Hz", [](ClipFields& f) { f.sampleRate = 48000; }, ""},
        {"12000 Hz passes the format", [](ClipFields& f) { f.sampleRate = 12000; }, ""},
        {"rate before length",
         [](ClipFields& f) { f.sampleRate = 0; f.dataLength = 0; },
         "\nErr: ZLT unsupported SNX-SampleRate (0Hz) of file "},
        {"no data", [](ClipFields& f) { f.dataLength = 0; }, len},
        {"length before key index",
         [](ClipFields& f) { f.dataLength = 0; f.keyIndexA = 200; }, len},
        {"key index A 102", [](ClipFields& f) { f.keyIndexA = 102; }, key},
        {"key index B 255", [](ClipFields& f) { f.keyIndexB = 255; }, key},
        {"key indexes 101", [](ClipFields& f) { f.keyIndexA = f.keyIndexB = 101; }, ""},
    };
    for (const HeaderCase& c : cases) {
        SCOPED_TRACE(c.name);
        ClipFields f;
        f.dataLength = 1000;
        c.change(f);
        ClipHeader h = BuildClipHeader(f);
        MessageLog log;
        EXPECT_EQ(CheckClipHeader("clip.snx", h), c.message.empty());
        if (c.message.empty())
            EXPECT_TRUE(log.lines().empty());
        else
            EXPECT_EQ(log.lines(), std::vector<std::string>{c.message + "clip.snx"});
    }
}

TEST(ReadClipHeader, OutputsTheCheckedValuesOrZeros) {
    TempDir dir;
    ClipFields f;
    f.dataLength = 1003;
    f.sampleRate = 22050;
    const ClipHeader header = BuildClipHeader(f);
    WriteClipFile(dir / "exact.snx", header);  // no data: the header alone passes
    WriteClipFile(dir / "short.snx", std::span(header).first(127));
    MessageLog log;
    ClipFormat out{7, 7, 7, 7};
    ASSERT_TRUE(ReadClipHeader((dir / "exact.snx").c_str(), out));
    EXPECT_EQ(out.channels + out.bitsPerChannel, 1u + 16);
    EXPECT_EQ(out.sampleRate, 22050u);
    EXPECT_EQ(out.dataLength, 1000u);  // rounded down to four bytes
    EXPECT_FALSE(ReadClipHeader((dir / "short.snx").c_str(), out));
    EXPECT_EQ(out.channels + out.bitsPerChannel + out.sampleRate + out.dataLength, 0u);
    EXPECT_EQ(log.lines(), std::vector<std::string>{"\nErr: Can not read file " + dir / "short.snx"});
}

// The pair transform and the width step, with expected bytes worked out by
// hand for blocks whose input bytes are all the same.
struct BlockCase {
    const char* name;
    unsigned bits;
    ClipKey key;
    std::uint8_t fill;
    std::vector<std::pair<std::size_t, std::uint8_t>> expect;  // page offset, byte
};

TEST(BlockTransform, WorkedBlocks) {
    const BlockCase cases[] = {
        // Pair p becomes (KA + p, KB - p); a first byte of 0 changes nothing.
        {"8-bit, m = 0", 8, {0, 0}, 0,
         {{0, 0x00}, {1, 0x00}, {2, 0x01}, {3, 0xFF}, {30, 0x0F}, {31, 0xF1}, {510, 0xFF}, {511, 0x01}}},
        // m = 7: bytes 7 to 22 XOR 7; 6 and 23 untouched.
        {"8-bit, m odd", 8, {7, 0}, 0,
         {{0, 0x07}, {6, 0x0A}, {7, 0xFA}, {8, 0x0B ^ 7}, {22, 0x15}, {23, 0xF5}}},
        // m = 6 changes the same bytes as m = 7.
        {"8-bit, m even", 8, {6, 0}, 0,
         {{0, 0x06}, {6, 0x09}, {7, 0xFB}, {22, 0x17}, {23, 0xF5}}},
        // m = 255: bytes 255 to 270, the farthest reach.
        {"8-bit, m = 255", 8, {0xFF, 0}, 0,
         {{254, 0x7E}, {255, 0x7E}, {270, 0x79}, {271, 0x79}}},
        // Input bytes are swapped within their pair before the XOR.
        {"8-bit, swap", 8, {0, 0}, 0x5A, {{0, 0x5A}, {2, 0x5B}, {3, 0xA5}}},
        // Low bytes (KA + j), then high bytes (KB - j) with the sign flipped.
        {"16-bit", 16, {0x01, 0xFF}, 0,
         {{0, 0x01}, {1, 0x02}, {255, 0x00}, {256, 0x7F}, {257, 0x7E}, {511, 0x80}}},
        {"16-bit, fill", 16, {0, 0}, 0x3C,
         {{0, 0x3C}, {1, 0x3D}, {256, 0xBC}, {257, 0x43}}},
    };
    for (const BlockCase& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::uint8_t> in(kClipBlockSize, c.fill), out(kClipBlockSize);
        BlockTransform(c.key, c.bits).Apply(in.data(), out.data(), 1);
        for (auto [offset, byte] : c.expect) EXPECT_EQ(out[offset], byte) << "offset " << offset;
    }
}

}  // namespace
}  // namespace zlt::test
