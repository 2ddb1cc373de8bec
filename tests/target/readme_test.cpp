#include "target/readme.h"

#include "support/link_fixture.h"

#include <gtest/gtest.h>

namespace zlt::test {
namespace {

TEST(Readme, TextOfALink) {
    TempDir dir;
    auto run = Link(dir, "[ZLP.Head]\nSignature=NVK\nVersion=1.0\n[ZLP.System]\n"
                         "Target=ZELTA_900\nTG_Mode=tgm_cycle_m0\n");
    ASSERT_TRUE(run->ok);
    const std::string expected =
        "\nReadme file for NVK Zelta series\n\n"
        "\tProduct model : Zelta-900\n"
        "\tTrigger mode  : tgm_cycle_m0\n"
        "\tZLP file name : " + (dir / "project.zlp") + "\n"
        "\tCFO file name : " + (dir / "out.cfo") + "\n"
        "\tUser descr.   : None\n"
        "\tLinking time  : 1970/01/01 - 00:00:00";
    const std::size_t first = U32At(run->image, 0x84), length = U32At(run->image, 0x8C);
    EXPECT_EQ(run->image.substr(512 * first, length), expected);
}

// The fields of a read-me read back from its text; other texts are no read-me.
TEST(Readme, FieldsReadBack) {
    const ReadmeFields cases[] = {
        {"Zelta-900", "TGM_BIN_M0", "p%s%d.zlp", "i.cfo", "", 2026, 3, 5, 9, 4, 7},
        {"Zelta-900", "tgm_cycle_m0", "C:\\p.zlp", "out.cfo", "a: b\tc\nd", 1970, 1, 1, 0, 0, 0},
        {"Zelta-900", "TGM_HGPS2_M2", "", "", "None", 12345, 12, 31, 23, 59, 59},
    };
    for (const ReadmeFields& f : cases) {
        const std::string text = FormatReadme(f);
        EXPECT_EQ(text.find('\r'), std::string::npos);
        EXPECT_EQ(ParseReadme(text), f) << text;
        EXPECT_FALSE(ParseReadme(text + "x"));
        EXPECT_FALSE(ParseReadme(text.substr(1)));
    }
    const std::string text = FormatReadme(cases[0]);
    EXPECT_NE(text.find("\tZLP file name : p%s%d.zlp\n"), std::string::npos);  // a '%' in a path prints literally
    EXPECT_NE(text.find("\tUser descr.   : \n"), std::string::npos);
    EXPECT_TRUE(text.ends_with("\tLinking time  : 2026/03/05 - 09:04:07")) << text;
    EXPECT_FALSE(ParseReadme(text.substr(0, text.size() - 2) + "xx"));
}

TEST(Readme, PageRule) {
    // Grow the description to make texts of 512 and 513 bytes.
    struct Case {
        std::size_t length;
        unsigned pages;
    } cases[] = {{512, 1}, {513, 2}, {1500, 3}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.length);
        TempDir dir;
        const std::size_t base =
            FormatReadme({"Zelta-900", "TGM_SINGLE_M0", dir / "project.zlp", dir / "out.cfo", "", 1970, 1, 1, 0, 0, 0})
                .size();
        std::string description(c.length - base, 'd');
        auto run = Link(dir, MinimalProject("Description=" + description + "\n"));
        ASSERT_TRUE(run->ok);
        EXPECT_EQ(U32At(run->image, 0x8C), c.length);
        EXPECT_EQ(U32At(run->image, 0x88), c.pages);
        const std::size_t end = 512ull * U32At(run->image, 0x84) + c.length;
        EXPECT_EQ(run->image.substr(end), std::string(512 * c.pages - c.length, '\0'));
    }
}

}  // namespace
}  // namespace zlt::test
