// The project-file reader, table-wise with the tricky inputs. That it takes
// any bytes is proven by its fuzz target.
#include "project/ini_file.h"

#include "support/link_fixture.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace zlt::test {
namespace {

TEST(IniFile, ReadStringSemantics) {
    const struct {
        const char* name;
        std::string text;
        const char* section;
        const char* key;
        std::string expected;  // "<none>": the default
    } cases[] = {
        {"section and key ignore case", "[ZLP.Word]\nW0001=a.snx\n", "zlp.word", "w0001", "a.snx"},
        {"blanks around key and value", "[A]\n \t k \t=\t  v w  \n", "A", "k", "v w"},
        {"first '=' separates", "[A]\nk=a=b\n", "A", "k", "a=b"},
        {"double quotes keep blanks", "[A]\nk=\"  v ; x  \"\n", "A", "k", "  v ; x  "},
        {"single quotes", "[A]\nk='v'\n", "A", "k", "v"},
        {"unmatched quotes stay", "[A]\nk=\"v'\n", "A", "k", "\"v'"},
        {"one quote alone stays", "[A]\nk=\"\n", "A", "k", "\""},
        {"only the outer pair goes", "[A]\nk=\"\"v\"\"\n", "A", "k", "\"v\""},
        {"no inline comments", "[A]\nk=W1+W2 ; x # y\n", "A", "k", "W1+W2 ; x # y"},
        {"first occurrence wins, across repeated sections", "[A]\nk=1\n[B]\nk=3\n[a]\nk=2\nj=4\n", "A", "k", "1"},
        {"repeated section adds keys", "[A]\nk=1\n[B]\n[a]\nj=4\n", "A", "j", "4"},
        {"comment lines", "[A]\n;k=1\n#k=2\n  ; k=3\nk=4\n", "A", "k", "4"},
        {"a '#' line holds no key", "[A]\n#k=2\n", "A", "#k", "<none>"},
        {"line without '=' ignored", "[A]\njunk\nk=5\n", "A", "k", "5"},
        {"keys before first section ignored", "k=1\n[A]\n", "A", "k", "<none>"},
        {"CRLF", "[A]\r\nk=v\r\n", "A", "k", "v"},
        {"byte-order mark", "\xEF\xBB\xBF[A]\nk=v\n", "A", "k", "v"},
        {"blanks inside brackets", "[ A ]\nk=v\n", "A", "k", "v"},
        {"missing key", "[A]\nk=v\n", "A", "x", "<none>"},
        {"missing section", "[A]\nk=v\n", "B", "k", "<none>"},
        {"empty value is present", "[A]\nk=\n", "A", "k", ""},
        {"no final line break", "[A]\nk=v", "A", "k", "v"},
        {"NUL bytes kept in values", std::string("[A]\nk=a\0b\n", 10), "A", "k", std::string("a\0b", 3)},
    };
    for (const auto& c : cases) EXPECT_EQ(IniFile::Parse(c.text)->ReadString(c.section, c.key, "<none>"), c.expected) << c.name;
}

// Where a value stands, for the checker's messages.
TEST(IniFile, LocatesValues) {
    const struct {
        const char* name;
        std::string text;
        TextSpan value;  // of key k in section A; line 0: the key is absent
    } cases[] = {
        {"plain", "[A]\nk=v\n", {2, 3, 1}},
        {"blanks and tabs before", "[A]\n\t k \t=  value w  \n", {2, 9, 7}},
        {"quotes are not part of it", "[A]\nk=\" v \"\n", {2, 4, 3}},
        {"empty value", "[A]\nk=\n", {2, 3, 0}},
        {"comments and blank lines count", "; c\n\n[A]\n# c\nk=1\n", {5, 3, 1}},
        {"CRLF", "[A]\r\nx=1\r\nk=22\r\n", {3, 3, 2}},
        {"byte-order mark not a column", "\xEF\xBB\xBFk=0\n[A]\nk=1\n", {3, 3, 1}},
        {"the first of a repeated key", "[A]\nk=1\n[B]\n[a]\nk=2\n", {2, 3, 1}},
        {"absent", "[A]\nj=1\n", {}},
    };
    for (const auto& c : cases) {
        const auto ini = IniFile::Parse(c.text);
        const KeyLine* line = ini->Locate("A", "k");
        const TextSpan at = line ? line->valueAt : TextSpan{};
        EXPECT_EQ(std::tuple(at.line, at.column, at.length), std::tuple(c.value.line, c.value.column, c.value.length))
            << c.name;
    }
}

TEST(IniFile, NumbersBooleansAndFloats) {
    const struct {
        const char* value;
        std::uint32_t asUnsigned;  // default 77 when unreadable
        int asBool;                // -1: default
        double asFloat;            // 7.5 when unreadable
    } cases[] = {
        {"0", 0, 0, 0.0},        {"300", 300, 1, 300.0},     {"+12", 12, 1, 12.0},          {"-1", 0xFFFFFFFFu, 1, -1.0},
        {"0x1F", 31, 1, 7.5},    {"0XfF", 255, 1, 7.5},      {"$ff", 255, 1, 7.5},          {"-$10", 0xFFFFFFF0u, 1, 7.5},
        {"4294967295", 0xFFFFFFFFu, 1, 4294967295.0},        {"4294967296", 77, -1, 4294967296.0},
        {"12x", 77, -1, 7.5},    {"", 77, -1, 7.5},          {"0x", 77, -1, 7.5},           {"+-1", 77, -1, 7.5},
        {"0.9", 77, -1, 0.9},    {"YES", 77, 1, 7.5},        {"On", 77, 1, 7.5},            {"False", 77, 0, 7.5},
        {"no", 77, 0, 7.5},      {"OFF", 77, 0, 7.5},        {"maybe", 77, -1, 7.5},        {"nan", 77, -1, 7.5},
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
    EXPECT_EQ(ini->StrCmp("h", "signature", "NVK"), 0);
    EXPECT_NE(ini->StrCmp("H", "Signature", "nvk"), 0);
    EXPECT_NE(ini->StrCmp("H", "Signature", "NVK "), 0);
    EXPECT_EQ(ini->StrCmp("H", "Empty", ""), 0);
    EXPECT_NE(ini->StrCmp("H", "Missing", ""), 0);
}

// A missing file and a folder are refused by the link's first check.
TEST(IniFile, LoadRefusesAFifoWithoutWaiting) {
    TempDir dir;
    ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0600), 0);
    EXPECT_EQ(IniFile::Load((dir / "fifo").c_str()), nullptr);
}

}  // namespace
}  // namespace zlt::test
