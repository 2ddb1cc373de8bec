// The read-me of a link is checked byte for byte by the golden images; here
// its fields read back from its text, and its page rule.
#include "target/readme.h"

#include "support/link_fixture.h"

#include <gtest/gtest.h>

namespace zlt::test {
namespace {

// A '%' in a field reads back as it is; any change to a text makes it no read-me.
TEST(Readme, FieldsReadBack) {
    const ReadmeFields cases[] = {
        {"Zelta-900", "TGM_BIN_M0", "p%s%d.zlp", "", "", 12345, 3, 5, 9, 4, 7},
        {"Zelta-900", "tgm_cycle_m0", "C:\\p.zlp", "out.cfo", "a: b\tc\nd", 1970, 1, 1, 0, 0, 0},
    };
    for (const ReadmeFields& f : cases) {
        const std::string text = FormatReadme(f);
        EXPECT_EQ(ParseReadme(text), f) << text;
        for (const std::string& changed : {text + "x", text.substr(1), text.substr(0, text.size() - 2) + "xx"})
            EXPECT_FALSE(ParseReadme(changed)) << changed;
    }
    // The parse takes numbers without their leading zeros.
    EXPECT_TRUE(FormatReadme(cases[0]).ends_with("\tLinking time  : 12345/03/05 - 09:04:07"));
}

// Texts of 512 and 513 bytes, made with the description: the last page is
// padded with zero bytes.
TEST(Readme, PageRule) {
    for (const auto& [length, pages] : {std::pair{512u, 1u}, {513u, 2u}}) {
        SCOPED_TRACE(length);
        TempDir dir;
        const ReadmeFields empty{"Zelta-900", "TGM_SINGLE_M0", dir / "project.zlp", dir / "out.cfo", "", 1970, 1, 1};
        const std::size_t base = FormatReadme(empty).size();
        auto run = Link(dir, MinimalProject("Description=" + std::string(length - base, 'd') + "\n"));
        ASSERT_TRUE(run->ok);
        EXPECT_EQ(std::pair(U32At(run->image, 0x88), U32At(run->image, 0x8C)), std::pair(pages, length));
        EXPECT_EQ(run->image.substr(512ull * U32At(run->image, 0x84) + length), std::string(512 * pages - length, '\0'));
    }
}

}  // namespace
}  // namespace zlt::test
