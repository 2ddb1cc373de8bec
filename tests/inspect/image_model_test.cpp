#include "inspect/image_model.h"

#include "inspect/disassembler.h"
#include "base/bytes.h"
#include "support/link_fixture.h"

#include <gtest/gtest.h>

#include <functional>

namespace zlt::test {
namespace {

std::string LinkedImage() {
    static const std::string image = [] {
        TempDir dir;
        auto run = Link(dir, MinimalProject("[ZLP.Sentence]\nS0001=^BLK_A+^MOV_R1_R2+^JZ_STEP0+^JMP_A\n"
                                            "[ZLP.Trigger]\nT0003=LUN + S0001\nT7900=EHI+S1+8:30\n"));
        return run->ok ? run->image : std::string();
    }();
    return image;
}

void Put32(std::string& b, std::size_t at, std::uint32_t v) {
    PutU32(reinterpret_cast<std::uint8_t*>(&b[at]), v);
}
void Put16(std::string& b, std::size_t at, std::uint16_t v) {
    PutU16(reinterpret_cast<std::uint8_t*>(&b[at]), v);
}

TEST(ImageModel, CorruptImagesAreNamedNotCrashedOn) {
    const std::string good = LinkedImage();
    ASSERT_FALSE(good.empty());
    struct Case {
        const char* name;
        std::function<void(std::string&)> corrupt;
        const char* error;  // start of the expected description
    } cases[] = {
        {"empty file", [](std::string& b) { b.clear(); }, "file is 0 bytes"},
        {"truncated header", [](std::string& b) { b.resize(100); }, "file is 100 bytes"},
        {"truncated sections", [](std::string& b) { b.resize(b.size() - 512); }, "file is"},
        {"trailing page", [](std::string& b) { b.append(512, '\0'); }, "file is"},
        {"wrong magic", [](std::string& b) { b[0] = 'X'; }, "not a CFO image"},
        {"wrong version", [](std::string& b) { Put16(b, 4, 0x0200); }, "unsupported format version 0x0200"},
        {"wrong slot count", [](std::string& b) { Put16(b, 6, 30); }, "slot count is 30"},
        {"slot 1 used", [](std::string& b) { b[0x10] = 1; }, "directory slot 1 is not empty"},
        {"slot 9 used", [](std::string& b) { b[0x9C] = 1; }, "directory slot 9 is not empty"},
        {"wrong type", [](std::string& b) { Put16(b, 0x30, 4); }, "directory slot 3 holds section type 4"},
        {"overlapping slots", [](std::string& b) { Put32(b, 0x34, U32At(b, 0x34) - 1); }, "section 3 starts at page"},
        {"gap between slots", [](std::string& b) { Put32(b, 0x44, U32At(b, 0x44) + 1); }, "section 4 starts at page"},
        {"bytes over pages", [](std::string& b) { Put32(b, 0x2C, U32At(b, 0x28) * 512 + 1); }, "section 2:"},
        {"whole page unused", [](std::string& b) { Put32(b, 0x8C, 0); }, "section 8: 1 pages for 0 bytes"},
        {"table of wrong size", [](std::string& b) { Put32(b, 0x48, 31); }, "section 4 is 31 pages"},
        {"non-zero padding", [](std::string& b) { b[512 + 37744] = 1; }, "section 2: padding is not zero"},
        {"key table magic", [](std::string& b) { b[512ull * U32At(b, 0x34)] = 'X'; }, "key table: wrong magic"},
        {"attribute without sentence",
         [](std::string& b) { b[512ull * U32At(b, 0x34) + 0x200 + 9] = char(0x80); }, "trigger 9:"},
        {"bad clock word",
         [](std::string& b) { Put32(b, 512ull * U32At(b, 0x34) + 0x2200 + 4 * (7935 - 7900), 0x80000000u | (13u << 27)); },
         "clock trigger 7900"},
        {"undefined word with bits",
         [](std::string& b) { b[512ull * U32At(b, 0x64)] = 1; }, "word 0: undefined but not zero"},
        {"unknown word format",
         [](std::string& b) { Put32(b, 512ull * U32At(b, 0x64) + 4, 0x0A000010); }, "word 0: unknown format"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string bytes = good;
        c.corrupt(bytes);
        std::string error;
        EXPECT_FALSE(inspect::ParseImage(bytes, error).has_value());
        EXPECT_EQ(error.rfind(c.error, 0), 0u) << error;
    }
}

TEST(ImageModel, GarbageCodeUnitsAreRefusedByTheDisassembler) {
    const std::string good = LinkedImage();
    const std::size_t table = 512ull * U32At(good, 0x54);
    struct Case {
        unsigned at;
        std::uint16_t unit;
        const char* error;
    } cases[] = {
        {1, 0x0001, "unit 1: 0x0001 is no code unit"},
        {1, 0x0030, "unit 1: 0x0030 is no code unit"},
        {3, 0x700D, "unit 3: 0x700D is no code unit"},   // IOR port 13
        {3, 0x7800, "unit 3: 0x7800 is no code unit"},   // IOW of an input port
        {3, 0x1880, "unit 3: step reference outside the code"},
        {3, 0x8100, "a CALL or JMP targets unit 512, outside the code"},
        {2, 0x0000, "unit 2: pad unit before an odd unit"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.error);
        std::string bytes = good;
        Put16(bytes, table + 2 * c.at, c.unit);
        std::string error;
        auto image = inspect::ParseImage(bytes, error);
        ASSERT_TRUE(image) << error;
        std::vector<inspect::SentenceListing> sentences;
        EXPECT_FALSE(inspect::Disassemble(*image, sentences, error));
        EXPECT_EQ(error, c.error);
    }
}

}  // namespace
}  // namespace zlt::test
