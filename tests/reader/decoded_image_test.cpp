// A sound image reads back as its project: the recovery property test and
// the inspector's golden report prove that. Here each fault is named; a file
// too short for its header, and the units that decode to nothing, are
// named in tests/golden/inspect.txt and the code units' tests.
#include "reader/decoded_image.h"

#include "base/bytes.h"
#include "reader/sentence_listing.h"
#include "support/link_fixture.h"

#include <gtest/gtest.h>

#include <functional>

namespace zlt::test {
namespace {

void Put32(std::string& b, std::size_t at, std::uint32_t v) { PutU32(reinterpret_cast<std::uint8_t*>(&b[at]), v); }
void Put16(std::string& b, std::size_t at, std::uint16_t v) { PutU16(reinterpret_cast<std::uint8_t*>(&b[at]), v); }

TEST(DecodedImage, CorruptImagesAreNamedNotCrashedOn) {
    TempDir dir;
    const auto run = Link(dir, MinimalProject("[ZLP.Sentence]\nS0001=^BLK_A+^MOV_R1_R2+^JZ_STEP0+^JMP_A\n"
                                              "[ZLP.Trigger]\nT0003=LUN + S0001\nT7900=EHI+S1+8:30\n"));
    ASSERT_TRUE(run->ok) << run->log.Text();
    const std::string& good = run->image;
    const std::size_t keys = 512ull * U32At(good, 0x34), units = 512ull * U32At(good, 0x54),
                      words = 512ull * U32At(good, 0x64);
    const struct {
        std::function<void(std::string&)> corrupt;
        const char* error;  // start of the expected description
    } cases[] = {
        {[&](std::string& b) { b[keys] = 'X'; }, "key table: wrong magic"},
        {[&](std::string& b) { b[keys + 0x200 + 9] = char(0x80); }, "trigger 9:"},  // an attribute without a sentence
        {[&](std::string& b) { Put32(b, keys + 0x2200 + 4 * (7935 - 7900), 0x80000000u | 13u << 27); },
         "clock trigger 7900"},
        {[&](std::string& b) { b[words] = 1; }, "word 0: undefined but not zero"},
        {[&](std::string& b) { Put32(b, words + 4, 0x0A000010); }, "word 0: unknown format"},
        {[&](std::string& b) { Put32(b, words, 0x25000000); Put32(b, words + 4, 0x81000010); },
         "used words take 1 pages, the word image holds 0"},
        {[&](std::string& b) { Put16(b, units + 2, 0x0001); }, "unit 1: 0x0001 is no code unit"},
        {[&](std::string& b) { Put16(b, units + 6, 0x1880); }, "unit 3: step reference outside the code"},
        {[&](std::string& b) { Put16(b, units + 6, 0x8100); }, "a CALL or JMP targets unit 512, outside the code"},
        {[&](std::string& b) { Put16(b, units + 4, 0x0000); }, "unit 2: pad unit before an odd unit"},
        {[&](std::string& b) { Put16(b, units + 2 * 32767, 0x2000); }, "the last sentence has no end mark"},
        {[&](std::string& b) { for (unsigned k = 5; k < 70; ++k) Put16(b, units + 2 * k, 0x0020); },
         "sentence at unit 1 has more than 64 steps"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.error);
        std::string bytes = good, error;
        c.corrupt(bytes);
        const std::optional<DecodedImage> image = ReadImage(AsBytes(bytes), error);
        std::vector<SentenceListing> sentences;
        EXPECT_FALSE(image && ListSentences(*image, sentences, error));
        EXPECT_EQ(error.rfind(c.error, 0), 0u) << error;
    }
}

}  // namespace
}  // namespace zlt::test
