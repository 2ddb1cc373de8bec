#include "project/ini_file.h"

#include "support/link_fixture.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace zlt::test {
namespace {

struct StringCase {
    const char* name;
    std::string text;
    const char* section;
    const char* key;
    const char* expected;  // nullptr: the default "<none>"
};

TEST(IniFile, ReadStringSemantics) {
    const StringCase cases[] = {
        {"plain", "[A]\nk=v\n", "A", "k", "v"},
        {"section and key ignore case", "[ZLP.Word]\nW0001=a.snx\n", "zlp.word", "w0001", "a.snx"},
        {"blanks around key and value", "[A]\n \t k \t=\t  v w  \n", "A", "k", "v w"},
        {"first '=' separates", "[A]\nk=a=b\n", "A", "k", "a=b"},
        {"double quotes keep blanks", "[A]\nk=\"  v ; x  \"\n", "A", "k", "  v ; x  "},
        {"single quotes", "[A]\nk='v'\n", "A", "k", "v"},
        {"unmatched quotes stay", "[A]\nk=\"v'\n", "A", "k", "\"v'"},
        {"one quote alone stays", "[A]\nk=\"\n", "A", "k", "\""},
        {"only the outer pair goes", "[A]\nk=\"\"v\"\"\n", "A", "k", "\"v\""},
        {"no inline comments", "[A]\nk=W1+W2 ; x # y\n", "A", "k", "W1+W2 ; x # y"},
        {"first occurrence wins", "[A]\nk=1\nk=2\n", "A", "k", "1"},
        {"also across repeated sections", "[A]\nk=1\n[B]\nk=3\n[a]\nk=2\nj=4\n", "A", "k", "1"},
        {"repeated section adds keys", "[A]\nk=1\n[B]\n[a]\nj=4\n", "A", "j", "4"},
        {"comment lines", "[A]\n;k=1\n#k=2\n  ; k=3\nk=4\n", "A", "k", "4"},
        {"line without '=' ignored", "[A]\njunk\nk=5\n", "A", "k", "5"},
        {"keys before first section ignored", "k=1\n[A]\n", "A", "k", nullptr},
        {"CRLF", "[A]\r\nk=v\r\n", "A", "k", "v"},
        {"byte-order mark", "\xEF\xBB\xBF[A]\nk=v\n", "A", "k", "v"},
        {"blanks inside brackets", "[ A ]\nk=v\n", "A", "k", "v"},
        {"missing key", "[A]\nk=v\n", "A", "x", nullptr},
        {"missing section", "[A]\nk=v\n", "B", "k", nullptr},
        {"empty value is present", "[A]\nk=\n", "A", "k", ""},
        {"no final line break", "[A]\nk=v", "A", "k", "v"},
        {"NUL bytes kept in values", std::string("[A]\nk=a\0b\n", 10), "A", "k", nullptr},
    };
    for (const StringCase& c : cases) {
        SCOPED_TRACE(c.name);
        auto ini = IniFile::Parse(c.text);
        if (std::string(c.name) == "NUL bytes kept in values") {
            EXPECT_EQ(ini->ReadString(c.section, c.key, "<none>"), std::string("a\0b", 3));
            continue;
        }
        EXPECT_EQ(ini->ReadString(c.section, c.key, "<none>"), c.expected ? c.expected : "<none>");
    }
}

TEST(IniFile, LocatesValuesKeysAndSections) {
    struct Case {
        const char* name;
        std::string text;
        const char* section;
        const char* key;
        TextSpan value;  // line 0: the key is absent
    } cases[] = {
        {"plain", "[A]\nk=v\n", "A", "k", {2, 3, 1}},
        {"blanks and tabs before", "[A]\n\t k \t=  value w  \n", "A", "k", {2, 9, 7}},
        {"quotes are not part of it", "[A]\nk=\" v \"\n", "A", "k", {2, 4, 3}},
        {"empty value", "[A]\nk=\n", "A", "k", {2, 3, 0}},
        {"comments and blank lines count", "; c\n\n[A]\n# c\nk=1\n", "A", "k", {5, 3, 1}},
        {"CRLF", "[A]\r\nx=1\r\nk=22\r\n", "A", "k", {3, 3, 2}},
        {"byte-order mark not a column", "\xEF\xBB\xBFk=0\n[A]\nk=1\n", "A", "k", {3, 3, 1}},
        {"the first of a repeated key", "[A]\nk=1\n[B]\n[a]\nk=2\n", "A", "k", {2, 3, 1}},
        {"absent", "[A]\nk=1\n", "A", "j", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto ini = IniFile::Parse(c.text);
        const KeyLine* line = ini->Locate(c.section, c.key);
        ASSERT_EQ(line != nullptr, c.value.line != 0);
        if (!line) continue;
        EXPECT_EQ(line->valueAt.line, c.value.line);
        EXPECT_EQ(line->valueAt.column, c.value.column);
        EXPECT_EQ(line->valueAt.length, c.value.length);
    }
    // Every key line as written, repeats pointing at the line that counts.
    auto ini = IniFile::Parse("[ZLP.Word]\nW1=a\n [ zlp.word ]\n  w1 = b\nW2=c\n");
    ASSERT_EQ(ini->Sections().size(), 2u);
    EXPECT_EQ(ini->Sections()[1].name, "zlp.word");
    EXPECT_EQ(ini->Sections()[1].at.column, 4u);
    ASSERT_EQ(ini->Keys().size(), 3u);
    EXPECT_EQ(ini->Keys()[1].key, "w1");
    EXPECT_EQ(ini->Keys()[1].keyAt.column, 3u);
    EXPECT_EQ(ini->Keys()[1].section, 1u);
    EXPECT_EQ(ini->Keys()[1].first, 0u);
    EXPECT_EQ(ini->Keys()[2].first, 2u);
    EXPECT_EQ(ini->LocateSection("ZLP.WORD"), &ini->Sections()[0]);
}

TEST(IniFile, NumbersBooleansAndFloats) {
    struct Case {
        const char* value;
        std::uint32_t asUnsigned;  // default 77 when unreadable
        int asBool;                // -1: default
        double asFloat;            // 7.5 when unreadable
    } cases[] = {
        {"0", 0, 0, 0.0},
        {"300", 300, 1, 300.0},
        {"+12", 12, 1, 12.0},
        {"-1", 0xFFFFFFFFu, 1, -1.0},
        {"0x1F", 31, 1, 7.5},
        {"0XfF", 255, 1, 7.5},
        {"$ff", 255, 1, 7.5},
        {"-$10", 0xFFFFFFF0u, 1, 7.5},
        {"4294967295", 0xFFFFFFFFu, 1, 4294967295.0},
        {"4294967296", 77, -1, 4294967296.0},
        {"12x", 77, -1, 7.5},
        {"", 77, -1, 7.5},
        {"0x", 77, -1, 7.5},
        {"--1", 77, -1, 7.5},
        {"+-1", 77, -1, 7.5},
        {"1.0", 77, -1, 1.0},
        {"0.9", 77, -1, 0.9},
        {"true", 77, 1, 7.5},
        {"YES", 77, 1, 7.5},
        {"On", 77, 1, 7.5},
        {"False", 77, 0, 7.5},
        {"no", 77, 0, 7.5},
        {"OFF", 77, 0, 7.5},
        {"maybe", 77, -1, 7.5},
        {"inf", 77, -1, 7.5},
        {"nan", 77, -1, 7.5},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.value);
        auto ini = IniFile::Parse(std::string("[S]\nk=") + c.value + "\n");
        EXPECT_EQ(ini->ReadUnsigned("S", "k", 77), c.asUnsigned);
        EXPECT_EQ(ini->ReadInteger("S", "k", 77), static_cast<std::int32_t>(c.asUnsigned));
        if (c.asBool < 0) {
            EXPECT_TRUE(ini->ReadBool("S", "k", true));
            EXPECT_FALSE(ini->ReadBool("S", "k", false));
        } else {
            EXPECT_EQ(ini->ReadBool("S", "k", c.asBool == 0), c.asBool == 1);
        }
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

TEST(IniFile, LoadRefusesWhatIsNotAReadableRegularFile) {
    TempDir dir;
    EXPECT_EQ(IniFile::Load((dir / "missing").c_str()), nullptr);
    EXPECT_EQ(IniFile::Load(dir.path().c_str()), nullptr);
    ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0600), 0);
    EXPECT_EQ(IniFile::Load((dir / "fifo").c_str()), nullptr);  // refused, not blocked
    WriteFile(dir / "p.zlp", "[A]\nk=v\n");
    auto ini = IniFile::Load((dir / "p.zlp").c_str());
    ASSERT_NE(ini, nullptr);
    EXPECT_EQ(ini->ReadString("A", "k", ""), "v");
}

TEST(IniFile, LongLinesJunkAndManyKeys) {
    std::string longValue(1 << 20, 'x');
    std::string junk;
    for (int i = 0; i < 4096; ++i) junk += static_cast<char>((i * 131) & 0xFF);
    std::string text = "[A]\nlong=" + longValue + "\n" + junk + "\n[B]\n";
    for (int i = 0; i < 50000; ++i) {
        const std::string n = std::to_string(i);
        text.append("K").append(n).append("=").append(n).append("\n");
    }
    auto ini = IniFile::Parse(text);
    EXPECT_EQ(ini->ReadString("A", "long", "").size(), longValue.size());
    EXPECT_EQ(ini->ReadUnsigned("B", "k49999", 0), 49999u);
    EXPECT_EQ(ini->ReadUnsigned("B", "K0", 1), 0u);
}

}  // namespace
}  // namespace zlt::test
