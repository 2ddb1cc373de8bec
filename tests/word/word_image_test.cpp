#include "word/word_image.h"

#include "base/bytes.h"
#include "support/stage_fixture.h"
#include "word/word_table.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <functional>
#include <optional>
#include <random>
#include <sys/stat.h>

namespace zlt::test {
namespace {

// Marks the words used, places them and writes the word image section alone
// into its own file; its bytes, or none when a stage failed.
std::optional<std::string> WriteWordImageAlone(LinkContext& ctx, const std::vector<unsigned>& used,
                                               DirSlot* slot = nullptr) {
    for (unsigned n : used) {
        if (!UseWord(ctx, n)) return std::nullopt;
    }
    DirSlot own;
    if (slot == nullptr) slot = &own;
    if (!PlaceWords(ctx) || !ctx.image.Open(ctx.imagePath) || !WriteWordImageSection(ctx, *slot) ||
        !ctx.image.Commit()) {
        ctx.image.Discard();
        return std::nullopt;
    }
    return ReadFile(ctx.imagePath);
}

std::string Bytes(std::span<const std::uint8_t> b) { return {b.begin(), b.end()}; }
std::span<const std::uint8_t> Bytes(const std::string& s) {
    return {reinterpret_cast<const std::uint8_t*>(s.data()), s.size()};
}

// The pages of one clip file, written down one 512-byte block at a time
// with the key bytes carried from pair to pair. Bytes of the last block past
// the end of the file are zero. None when the file ends before the data.
std::optional<std::string> BlockByBlock(const std::string& file) {
    const auto* h = reinterpret_cast<const std::uint8_t*>(file.data());
    const std::uint32_t length = GetU32(h + 104) & ~15u;
    const unsigned bits = GetU16(h + 92);
    std::uint8_t ka = h[26 + h[24]], kb = h[26 + h[25]];
    std::size_t pos = GetU32(h + 100);
    std::string out;
    for (std::uint32_t copied = 0; copied < length;) {
        const std::size_t n = pos < file.size() ? std::min<std::size_t>(512, file.size() - pos) : 0;
        if (n == 0) return std::nullopt;
        std::uint8_t block[512] = {};
        std::memcpy(block, file.data() + pos, n);
        pos += n;
        for (int i = 0; i < 512; i += 2) {
            const std::uint8_t x = block[i], y = block[i + 1];
            block[i] = y ^ ka++;
            block[i + 1] = x ^ kb--;
        }
        if (bits == 8) {
            const std::uint8_t m = block[0];
            for (int j = 0; j < 16; ++j) block[(m | 1) + j] ^= m;
            out.append(reinterpret_cast<const char*>(block), 512);
        } else {
            char page[512];
            for (int j = 0; j < 256; ++j) {
                const unsigned w = (block[2 * j] | block[2 * j + 1] << 8) ^ 0x8000;
                page[j] = static_cast<char>(w & 0xFF);
                page[256 + j] = static_cast<char>(w >> 8);
            }
            out.append(page, 512);
        }
        copied += static_cast<std::uint32_t>(n);
    }
    return out;
}

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
    std::vector<std::string> files;
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
        files.push_back(Bytes(clip));
        words += WordKey(word) + "=" + path + "\n";
        if (p.used) used.push_back(word);
    }
    // Word 100 names the first clip again and gets a copy of its own.
    words += "W0100=" + dir / "W0001.snx" + "\n";
    used.push_back(100);

    auto ctx = ProjectContext(dir, words);
    MessageLog log;
    ASSERT_TRUE(ParseWordTable(*ctx)) << log.Text();
    DirSlot slot;
    auto image = WriteWordImageAlone(*ctx, used, &slot);
    ASSERT_TRUE(image) << log.Text();
    EXPECT_EQ(slot.pageCount, ctx->wordImagePages);
    EXPECT_EQ(slot.byteLength, ctx->wordImagePages * 512);
    ASSERT_EQ(image->size(), std::size_t{slot.byteLength});
    // One line per used word, its page count in six digits.
    ASSERT_EQ(log.lines().size(), used.size());
    EXPECT_EQ(log.lines()[0], "\n        W0001,PageSize=000002,Filename=" + dir / "W0001.snx");

    std::string expected;
    for (unsigned word : used) {
        const std::size_t i = word == 100 ? 0 : word / 2;
        SCOPED_TRACE(word);
        const WordEntry& e = ctx->wordTable[word];
        const std::size_t width = plans[i].bits / 8;
        const std::string pages =
            image->substr(512 * (e.format & kStartPageMask), 512 * std::size_t{WordPages(e)});
        const std::size_t count = WordBytes(e) / width;
        const std::vector<std::int16_t> want(samples[i].begin(),
                                             samples[i].begin() + static_cast<std::ptrdiff_t>(count));
        if (width == 1) {
            const auto got = DecodePages8(Bytes(pages), count);
            EXPECT_EQ(std::vector<std::int16_t>(got.begin(), got.end()), want);
        } else {
            EXPECT_EQ(DecodePages16(Bytes(pages), count), want);
        }
        auto reference = BlockByBlock(files[i]);
        ASSERT_TRUE(reference);
        EXPECT_EQ(pages, *reference);
        expected += *reference;
    }
    EXPECT_TRUE(*image == expected);
}

// A 16-bit clip of 1000 samples (L = 2000, 4 pages), checked by the word
// table stage, then changed before its data is copied.
struct FaultCase {
    const char* name;
    std::function<void(ClipFields&)> clip;         // as first written
    std::function<void(const std::string&)> change;  // after the word table stage
    std::string message;                           // the clip path follows it
};

// The clip's bytes: 1000 samples after the header, or, when the change
// moves DataOffset, the header followed by zero bytes up to it at most.
std::vector<std::uint8_t> FaultClip(const std::function<void(ClipFields&)>& change) {
    ClipFields f;
    f.dataLength = 2000;
    change(f);
    const ClipHeader header = BuildClipHeader(f);
    if (f.dataOffset != kClipHeaderSize) {
        std::vector<std::uint8_t> bytes(header.begin(), header.end());
        bytes.resize(std::min<std::size_t>(f.dataOffset, kClipHeaderSize + 2000));
        return bytes;
    }
    const std::vector<std::int16_t> pcm(1000, 0x1234);
    return ClipFileBytes(header, EncodeSamples16(header, pcm));
}

TEST(WordImage, ClipFaultsWhileCopying) {
    const std::string read = "\nErr: Can not read file ";
    const auto keep = [](ClipFields&) {};
    const auto same = [](const std::string&) {};
    const auto cut = [](std::size_t size) {
        return [size](const std::string& path) { std::filesystem::resize_file(path, size); };
    };
    const auto rewrite = [](std::function<void(ClipFields&)> change) {
        return [change](const std::string& path) { WriteClipFile(path, FaultClip(change)); };
    };
    const FaultCase cases[] = {
        {"intact", keep, same, ""},
        {"bytes after the data", keep, [](const std::string& p) {
             std::filesystem::resize_file(p, 128 + 2000 + 100); }, ""},
        {"data cut short", keep, cut(128 + 1999), read},
        {"data cut at a block", keep, cut(128 + 1536), read},
        {"header cut short", keep, cut(100), read},
        {"data offset past the end", [](ClipFields& f) { f.dataOffset = 0xFFFFFFF0; }, same, read},
        {"data offset at the end", [](ClipFields& f) { f.dataOffset = 128 + 2000; }, same, read},
        {"now longer, same pages", keep, rewrite([](ClipFields& f) { f.dataLength = 2032; }), read},
        {"now shorter", keep, rewrite([](ClipFields& f) { f.dataLength = 1000; }), read},
        {"now 8-bit", keep, rewrite([](ClipFields& f) { f.bitsPerChannel = 8; }), read},
        {"now another rate", keep, rewrite([](ClipFields& f) { f.sampleRate = 8000; }), read},
        {"now two channels", keep, rewrite([](ClipFields& f) { f.channels = 2; }), read},
        {"now a bad version", keep, rewrite([](ClipFields& f) { f.version = 7; }),
         "\nErr: Unsupported SNX-Version of file "},
        {"now a bad key index", keep, rewrite([](ClipFields& f) { f.keyIndexB = 102; }),
         "\nErr: Invalid SNX-KeyIndex of file "},
        {"now gone", keep, [](const std::string& p) { std::filesystem::remove(p); },
         "\nErr: Can not open file "},
        {"now a FIFO", keep, [](const std::string& p) {
             std::filesystem::remove(p);
             ::mkfifo(p.c_str(), 0600); }, "\nErr: Can not access file "},
    };
    for (const FaultCase& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        const std::string path = dir / "w.snx";
        WriteClipFile(path, FaultClip(c.clip));
        auto ctx = ProjectContext(dir, "[ZLP.Word]\nW0004=" + path + "\n");
        MessageLog log;
        ASSERT_TRUE(ParseWordTable(*ctx)) << log.Text();
        c.change(path);
        DirSlot slot;
        auto image = WriteWordImageAlone(*ctx, {4}, &slot);
        EXPECT_EQ(image.has_value(), c.message.empty()) << log.Text();
        std::vector<std::string> lines{"\n        W0004,PageSize=000004,Filename=" + path};
        if (!c.message.empty()) lines.push_back(c.message + path);
        EXPECT_EQ(log.lines(), lines);
        if (image) {
            EXPECT_EQ(image->size(), 4u * 512);
        }
    }
}

TEST(WordImage, ImageWriteFault) {
    if (!fs::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
    TempDir dir;
    // More than the image stream's buffer, so that a write reaches the device.
    WriteClipFile(dir / "a.snx", MakeClip16({}, std::vector<std::int16_t>(3 << 20)));
    auto ctx = ProjectContext(dir, "[ZLP.Word]\nW0000=" + dir / "a.snx" + "\n");
    ctx->imagePath = "/dev/full";
    MessageLog log;
    ASSERT_TRUE(ParseWordTable(*ctx));
    EXPECT_FALSE(WriteWordImageAlone(*ctx, {0}));
    EXPECT_EQ(log.lines().back(), "\nErr: Can not write to file /dev/full");
}

}  // namespace
}  // namespace zlt::test
