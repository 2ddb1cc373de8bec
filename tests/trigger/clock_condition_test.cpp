#include "trigger/clock_condition.h"

#include <gtest/gtest.h>

namespace zlt {
namespace {

// A condition text gives its word, and the word gives back the text in the
// shortest form that gives it.
TEST(ClockCondition, TextsWordsAndBack) {
    struct Case {
        const char* text;
        std::uint32_t word;    // 0: no form matches, "Inavlid code"
        const char* back;      // nullptr: the text itself
    } cases[] = {
        {"8:30", 0x803F47DE, nullptr},
        {"MON~FRI/8~17:0", 0x800D4440, nullptr},
        {"DEC-25/8:30", 0xE67F47DE, nullptr},
        {"dec-25/8:30", 0xE67F47DE, "DEC-25/8:30"},
        {"MON/8:30", 0x800F47DE, nullptr},
        {"XYZ/8:30", 0x800747DE, "SUN/8:30"},      // unknown weekday: Sunday
        {"FOO-3/8:30", 0x88FF47DE, "JAN-3/8:30"},  // unknown month: January
        {"8:30x", 0x803F47DE, "8:30"},             // text after the last number is ignored
        {"MON-FRI/8:30", 0x800747DE, "SUN/8:30"},  // a hyphen: one unknown weekday name
        {" 08 : 05", 0, nullptr},
        {" 08:05", 0x803F47C5, "8:5"},
        {"DEC-24/8~20:15", 0xE63F450F, nullptr},
        {"DEC-0/8:30", 0xE03F47DE, nullptr},
        {"MON~FRI/12:0", 0x800D67C0, nullptr},
        {"SAT/9~12:30", 0x80374B1E, nullptr},
        {"8~17:0", 0x803F4440, nullptr},
        {"0:0", 0x803F07C0, nullptr},
        {"31~31:63", 0x803FFFFF, "31:63"},    // last hour 31 is no hour range
        {"JAN-31/0:0", 0x8FFF07C0, nullptr},
        {"32:0", 0, nullptr},                      // hour wider than 5 bits
        {"8:64", 0, nullptr},                      // minute wider than 6 bits
        {"8~32:0", 0, nullptr},
        {"DEC-32/8:30", 0, nullptr},
        {"-1:0", 0, nullptr},
        {"99999999999:0", 0, nullptr},
        {"DECEMBER-25/8:30", 0, nullptr},          // a name over 7 characters is no name
        {"8", 0, nullptr},
        {":30", 0, nullptr},
        {"MON/8", 0, nullptr},
        {"", 0, nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        const std::optional<std::uint32_t> word = ClockConditionWord(c.text);
        ASSERT_EQ(word.value_or(0), c.word) << std::hex << word.value_or(0);
        if (word) {
            EXPECT_EQ(ClockConditionText(*word).value_or("-"), c.back ? c.back : c.text);
        }
    }
}

// Words that no text gives have no text.
TEST(ClockCondition, WordsOfNoText) {
    for (std::uint32_t word : {0x00000000u, 0x003F47DEu, 0xE60F47DEu /* a date with a weekday */,
                               0x817F47DEu /* a day without a month */, 0xEE7F47DEu /* month 13 */,
                               0x803847DEu /* a last weekday without a first */}) {
        EXPECT_FALSE(ClockConditionText(word)) << std::hex << word;
    }
}

}  // namespace
}  // namespace zlt
