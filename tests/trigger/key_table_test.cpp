#include "trigger/key_table.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdio>

namespace zlt {
namespace {

std::string Hex(const std::uint8_t* p, std::size_t n) {
    std::string out;
    for (std::size_t i = 0; i < n; ++i) {
        char buf[4];
        std::snprintf(buf, sizeof buf, i ? " %02x" : "%02x", p[i]);
        out += buf;
    }
    return out;
}

// The fields the key table owns, written and read back.
TEST(KeyTable, HeadAndModelIdReadBack) {
    std::array<std::uint8_t, kKeyTableBytes> kt{};
    EXPECT_FALSE(HasKeyTableMagic(kt));
    const LinkTime t{2026, 3, 4, 5, 9, 4, 7, 999};
    PutKeyTableHead(kt, t);
    PutModelId(kt);
    EXPECT_EQ(Hex(kt.data(), 12), "4e 56 4b 00 5a 4c 54 2d 39 30 30 00");
    EXPECT_EQ(Hex(&kt[0x1C], 20), "00 02 00 00 ea 07 03 00 04 00 05 00 09 00 04 00 07 00 e7 03");
    for (std::size_t i = 0x30; i < kt.size(); ++i) ASSERT_EQ(kt[i], 0) << i;
    EXPECT_TRUE(HasKeyTableMagic(kt));
    EXPECT_EQ(ModelIdOf(kt), "ZLT-900");
    EXPECT_EQ(LinkTimeOf(kt), t);
}

}  // namespace
}  // namespace zlt
