// The project-file reader, table-wise with the tricky inputs. That it takes
// any bytes is proven by its fuzz target.
#include "project/ini_file.h"

#include "support/link_fixture.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace zlt::test {
namespace {

// What a read returns, and where the value stands for the checker's
// messages: line, column and length; {} when the key is absent. Double
// quotes that keep blanks are read by the golden "blocks" project.
TEST(IniFile, ReadsAndLocatesValues) {
    const struct {
        const char* name;
        std::string text;
        const char* section;
        const char* key;
        std::string expected;  // "<none>": the default
        std::tuple<unsigned, unsigned, unsigned> at;
    } cases[] = {
        {"section and key ignore case", "[ZLP.Word]\nW0001=a.snx\n", "zlp.word", "w0001", "a.snx", {2, 7, 5}},
        {"blanks and tabs around key and value", "[A]\n\t k \t=  v w  \n", "A", "k", "v w", {2, 9, 3}},
        {"first '=' separates", "[A]\nk=a=b\n", "A", "k", "a=b", {2, 3, 3}},
        {"single quotes", "[A]\nk='v'\n", "A", "k", "v", {2, 4, 1}},
        {"unmatched quotes stay", "[A]\nk=\"v'\n", "A", "k", "\"v'", {2, 3, 3}},
        {"one quote alone stays", "[A]\nk=\"\n", "A", "k", "\"", {2, 3, 1}},
        {"only the outer pair goes", "[A]\nk=\"\"v\"\"\n", "A", "k", "\"v\"", {2, 4, 3}},
        {"no inline comments", "[A]\nk=W1+W2 ; x # y\n", "A", "k", "W1+W2 ; x # y", {2, 3, 13}},
        {"first occurrence wins across sections", "[A]\nk=1\n[B]\nk=3\n[a]\nk=2\nj=4\n", "A", "k", "1", {2, 3, 1}},
        {"repeated section adds keys", "[A]\nk=1\n[B]\nk=3\n[a]\nk=2\nj=4\n", "A", "j", "4", {7, 3, 1}},
        {"a ';' line is a comment", "[A]\n;k=1\n", "A", ";k", "<none>", {}},
        {"so is a '#' line, also after blanks", "[A]\n  #k=1\n", "A", "#k", "<none>", {}},
        {"comments and blank lines count as lines", "; c\n\n[A]\n# c\nk=1\n", "A", "k", "1", {5, 3, 1}},
        {"a line without '=' holds no key", "[A]\njunk\n", "A", "junk", "<none>", {}},
        {"keys before first section ignored", "k=1\n[A]\n", "A", "k", "<none>", {}},
        {"CRLF", "[A]\r\nx=1\r\nk=22\r\n", "A", "k", "22", {3, 3, 2}},
        {"byte-order mark", "\xEF\xBB\xBF[A]\nk=v\n", "A", "k", "v", {2, 3, 1}},
        {"blanks inside brackets", "[ A ]\nk=v\n", "A", "k", "v", {2, 3, 1}},
        {"missing key", "[A]\nk=v\n", "A", "x", "<none>", {}},
        {"missing section", "[A]\nk=v\n", "B", "k", "<none>", {}},
        {"empty value is present", "[A]\nk=\n", "A", "k", "", {2, 3, 0}},
        {"no final line break", "[A]\nk=v", "A", "k", "v", {2, 3, 1}},
        {"NUL bytes kept in values", std::string("[A]\nk=a\0b\n", 10), "A", "k", std::string("a\0b", 3), {2, 3, 3}},
    };
    for (const auto& c : cases) {
        const auto ini = IniFile::Parse(c.text);
        EXPECT_EQ(ini->ReadString(c.section, c.key, "<none>"), c.expected) << c.name;
        const KeyLine* line = ini->Locate(c.section, c.key);
        const TextSpan at = line ? line->valueAt : TextSpan{};
        EXPECT_EQ(std::tuple(at.line, at.column, at.length), c.at) << c.name;
    }
}

// The options of the golden projects read a lower-case 0x and the words on,
// off, no, yes and false as well.
TEST(IniFile, NumbersBooleansAndFloats) {
    const struct {
        const char* value;
        std::uint32_t asUnsigned;  // default 77 when unreadable
        int asBool;                // -1: default
        double asFloat;            // 7.5 when unreadable
    } cases[] = {
        {"0", 0, 0, 0.0},        {"+12", 12, 1, 12.0},       {"-1", 0xFFFFFFFFu, 1, -1.0},  {"0XfF", 255, 1, 7.5},
        {"$ff", 255, 1, 7.5},    {"-$10", 0xFFFFFFF0u, 1, 7.5}, {"12x", 77, -1, 7.5},       {"", 77, -1, 7.5},
        {"4294967295", 0xFFFFFFFFu, 1, 4294967295.0},        {"4294967296", 77, -1, 4294967296.0},
        {"0x", 77, -1, 7.5},     {"+-1", 77, -1, 7.5},       {"0.9", 77, -1, 0.9},          {"YES", 77, 1, 7.5},
        {"True", 77, 1, 7.5},    {"False", 77, 0, 7.5},      {"maybe", 77, -1, 7.5},        {"nan", 77, -1, 7.5},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.value);
        auto ini = IniFile::Parse(std::string("[S]\nk=") + c.value + "\n");
        EXPECT_EQ(ini->ReadUnsigned("S", "k", 77), c.asUnsigned);
        EXPECT_EQ(ini->ReadInteger("S", "k", 77), static_cast<std::int32_t>(c.asUnsigned));
        EXPECT_EQ(ini->ReadBool("S", "k", true), c.asBool != 0);
        EXPECT_EQ(ini->ReadBool("S", "k", false), c.asBool == 1);
        EXPECT_DOUBLE_EQ(ini->ReadFloat("S", "k", 7.5), c.asFloat);
    }
}

TEST(IniFile, StrCmpIsExactAndNeedsTheKey) {
    auto ini = IniFile::Parse("[H]\nSignature=NVK\nEmpty=\n");
    EXPECT_TRUE(ini->StrCmp("h", "signature", "NVK") == 0 && ini->StrCmp("H", "Empty", "") == 0);
    for (const auto& [key, text] : {std::pair{"Signature", "nvk"}, {"Signature", "NVK "}, {"Missing", ""}})
        EXPECT_NE(ini->StrCmp("H", key, text), 0) << key << "=" << text;
}

// A missing file and a folder are refused by the link's first check.
TEST(IniFile, LoadRefusesAFifoWithoutWaiting) {
    TempDir dir;
    ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0600), 0);
    EXPECT_EQ(IniFile::Load((dir / "fifo").c_str()), nullptr);
}

}  // namespace
}  // namespace zlt::test
