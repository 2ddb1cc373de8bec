#include "trigger/key_sections.h"

#include "support/link_fixture.h"

#include <gtest/gtest.h>

#include <cstring>

namespace zlt::test {
namespace {

TEST(KeySections, KeyTableOfAProjectWithoutOptionsOrTriggers) {
    TempDir dir;
    auto run = Link(dir, MinimalProject());
    ASSERT_TRUE(run->ok);
    const std::size_t at = 512ull * U32At(run->image, 0x34);
    ASSERT_EQ(U32At(run->image, 0x38), 18u);
    ASSERT_EQ(U32At(run->image, 0x3C), 9216u);
    std::string kt = run->image.substr(at, 9216);

    std::string expected(9216, '\0');
    auto put16 = [&](std::size_t o, unsigned v) {
        expected[o] = static_cast<char>(v & 0xFF);
        expected[o + 1] = static_cast<char>(v >> 8);
    };
    std::memcpy(&expected[0], "NVK", 4);
    std::memcpy(&expected[4], "ZLT-900", 8);
    put16(0x1C, 512);
    // Link time fixed at epoch 0: Thursday 1970-01-01 00:00:00.000.
    const unsigned stamp[8] = {1970, 1, 4, 1, 0, 0, 0, 0};
    for (int i = 0; i < 8; ++i) put16(0x20 + 2 * i, stamp[i]);
    put16(0x50, 0x8000);
    put16(0x54, 40);
    put16(0x56, 80);
    put16(0x5A, 100);
    put16(0x90, 80);
    put16(0x92, 9600);
    std::memset(&expected[0x94], 0xFF, 4);
    put16(0xB0, 0xE000);
    EXPECT_EQ(kt, expected);
}

TEST(KeySections, TriggerTableIsWrittenWholeLittleEndian) {
    TempDir dir;
    auto ctx = std::make_unique<LinkContext>();
    ctx->ClearTables();
    ctx->triggerTable[0] = 0x1234;
    ctx->triggerTable[8191] = 0xBEEF;
    ctx->imagePath = dir / "t.bin";
    ASSERT_TRUE(ctx->image.Open(ctx->imagePath));
    DirSlot slot;
    ASSERT_TRUE(WriteTriggerTableSection(*ctx, slot));
    ASSERT_TRUE(ctx->image.Commit());
    EXPECT_EQ(slot.pageCount, 32u);
    EXPECT_EQ(slot.byteLength, 16384u);
    std::string bytes = ReadFile(ctx->imagePath);
    ASSERT_EQ(bytes.size(), 16384u);
    EXPECT_EQ(U16At(bytes, 0), 0x1234);
    EXPECT_EQ(U16At(bytes, 16382), 0xBEEF);
}

}  // namespace
}  // namespace zlt::test
