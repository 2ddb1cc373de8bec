#include "studio/project_edits.h"

#include <gtest/gtest.h>

namespace zlt::studio {
namespace {

TEST(ProjectEdits, RewriteOnlyTheLinesOfChangedKeys) {
    const EntryName kW1{"ZLP.Word", "W0001"}, kW2{"ZLP.Word", "W0002"}, kS0{"ZLP.Sentence", "S0000"};
    // Each case: its name, the text, the edits, the text they make.
    const std::tuple<const char*, std::string, Edits, std::string> cases[] = {
        {"blanks around the value kept", "[ZLP.Word]\nW0001 =  abc  \n", {{kW1, "x"}}, "[ZLP.Word]\nW0001 =  x  \n"},
        {"quotes kept", "[ZLP.Word]\nW0001=\"beep.snx\"\n", {{kW1, "x.snx"}}, "[ZLP.Word]\nW0001=\"x.snx\"\n"},
        {"empty value filled", "[ZLP.Word]\nW0001=\n", {{kW1, "x.snx"}}, "[ZLP.Word]\nW0001=x.snx\n"},
        {"key spelled as written", "[zlp.word]\nw0001=a\n", {{kW1, "b"}}, "[zlp.word]\nw0001=b\n"},
        {"byte-order mark", "\xEF\xBB\xBF[ZLP.Word]\nW0001=a\n", {{kW1, "b"}}, "\xEF\xBB\xBF[ZLP.Word]\nW0001=b\n"},
        {"CRLF, comments and new key after the section's last key",
         "; demo\r\n[ZLP.Word]\r\nW0001=a\r\n; the sentences\r\n\r\n[ZLP.Sentence]\r\nS0000=W0001\r\n",
         {{kW2, "b.snx"}, {kS0, "W0002"}},
         "; demo\r\n[ZLP.Word]\r\nW0001=a\r\nW0002=b.snx\r\n; the sentences\r\n\r\n[ZLP.Sentence]\r\nS0000=W0002\r\n"},
        {"new key takes the section's separator", "[ZLP.Trigger]\nT0001 = LUN + S0001\n\n",
         {{{"ZLP.Trigger", "T0002"}, "EHI + S0001"}}, "[ZLP.Trigger]\nT0001 = LUN + S0001\nT0002 = EHI + S0001\n\n"},
        {"first key of a section", "[ZLP.Word]\n; none yet\n", {{kW1, "a"}}, "[ZLP.Word]\nW0001=a\n; none yet\n"},
        {"new section at the end of a file without a last line end", "[ZLP.Head]\nSignature=NVK",
         {{kS0, "W0001"}}, "[ZLP.Head]\nSignature=NVK\n\n[ZLP.Sentence]\nS0000=W0001\n"},
        {"removed key loses all its lines, repeats included", "[ZLP.Word]\nW0001=a\nW0002=b\nW0001=c\n",
         {{kW1, std::nullopt}}, "[ZLP.Word]\nW0002=b\n"},
        {"repeated key: first only", "[ZLP.Word]\nW0001=a\nW0001=c\n", {{kW1, "b"}}, "[ZLP.Word]\nW0001=b\nW0001=c\n"},
        {"unknown keys and other sections untouched", "[X]\nW0001=a\n[ZLP.Word]\nFoo = bar\n", {{kW1, "b"}},
         "[X]\nW0001=a\n[ZLP.Word]\nFoo = bar\nW0001 = b\n"},
    };
    for (const auto& [name, text, edits, expected] : cases) EXPECT_EQ(ApplyEdits(text, edits), expected) << name;
}

TEST(ProjectEdits, EntryNamesAsTheReaderTakesThem) {
    const std::pair<const char*, std::optional<EntryName>> cases[] = {
        {"W0012", EntryName{"ZLP.Word", "W0012"}},   {"s8191", EntryName{"ZLP.Sentence", "S8191"}},
        {"T7935", EntryName{"ZLP.Trigger", "T7935"}}, {"baudrate", EntryName{"ZLP.Firmware.UartMode", "BaudRate"}},
        {"Reset_Beep", EntryName{"ZLP.Firmware", "Reset_Beep"}}, {"tg_mode", EntryName{"ZLP.System", "TG_Mode"}},
        {"S8192", std::nullopt}, {"W12", std::nullopt}, {"X0001", std::nullopt}, {"Target", std::nullopt},
        {"W00a1", std::nullopt},
    };
    for (const auto& [key, expected] : cases) EXPECT_EQ(EntryOf(key), expected) << key;
}

}  // namespace
}  // namespace zlt::studio
