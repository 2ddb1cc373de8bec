// The scanning helpers, table-wise with the tricky inputs: a number or
// field read, and the text left after it (the whole input when nothing was
// read).
#include "project/scan.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace zlt::scan {
namespace {

struct NumberCase {
    std::string input;
    std::optional<std::int64_t> value;
    std::string rest;
};

void ExpectNumbers(std::optional<std::int64_t> (*read)(std::string_view&), const std::vector<NumberCase>& cases) {
    for (const auto& c : cases) {
        std::string_view text = c.input;
        EXPECT_EQ(read(text), c.value) << '"' << c.input << '"';
        EXPECT_EQ(text, c.rest) << '"' << c.input << '"';
    }
}

// Like strtoul: leading white space and a sign, base 10 only; it saturates
// and never wraps.
TEST(Scan, DecimalReadsLikeStrtoul) {
    ExpectNumbers(Decimal, {
        {"12", 12, ""},     {"12x", 12, "x"},         {"0", 0, ""},             {"0012", 12, ""},
        {" \t12", 12, ""},  {"+7", 7, ""},            {"-5", -5, ""},           {"-0", 0, ""},
        {"", {}, ""},       {"x1", {}, "x1"},         {"-", {}, "-"},           {"+-1", {}, "+-1"},
        {" ", {}, " "},     {"1 2", 1, " 2"},         {"0x10", 0, "x10"},       {"4294967295", 4294967295, ""},
        {"99999999999999999999999", kMagnitudeLimit, ""}, {"-99999999999999999999999", -kMagnitudeLimit, ""},
    });
}

// Like %x: an optional 0x, and the 0 is the number when no digit follows it.
TEST(Scan, HexReadsLikePercentX) {
    ExpectNumbers(Hex, {
        {"0A", 0x0A, ""},   {"10", 0x10, ""},         {"1f", 0x1F, ""},         {"FFz", 0xFF, "z"},
        {"0x1F", 0x1F, ""}, {"0X1f", 0x1F, ""},       {"0x", 0, "x"},           {"0xg", 0, "xg"},
        {"x1", {}, "x1"},   {"r1", {}, "r1"},         {"", {}, ""},             {"G", {}, "G"},
        {"  -1", -1, ""},   {"+0x100", 0x100, ""},    {"-0x", 0, "x"},          {"FFFFFFFFFFFFFFFFFFFF", kMagnitudeLimit, ""},
    });
}

// A field of at most `width` characters of a set; an empty or overlong one fails.
TEST(Scan, SpanReadsOneBoundedField) {
    const CharSet name = CharSet::Except(" _"), digits = CharSet::Digits(), word = CharSet::Except(" ");
    const struct {
        std::string input;
        CharSet set;
        std::optional<std::string> field;
        std::string rest;
    } cases[] = {
        {"R1_R2", name, "R1", "_R2"},    {"_R2", name, {}, "_R2"},      {"", name, {}, ""},
        {"R1 x", name, "R1", " x"},      {"123abc", digits, "123", "abc"}, {"abc", digits, {}, "abc"},
        {std::string(31, 'a'), word, std::string(31, 'a'), ""},         {std::string(32, 'a'), word, {}, std::string(32, 'a')},
        {"\xE4\xB8\xAD;", CharSet::Except(";"), "\xE4\xB8\xAD", ";"},  // bytes above 0x7F
    };
    for (const auto& c : cases) {
        std::string_view text = c.input;
        auto field = Span(text, c.set, 31);
        EXPECT_EQ(field ? std::optional<std::string>(std::string(*field)) : std::nullopt, c.field) << '"' << c.input << '"';
        EXPECT_EQ(text, c.rest) << '"' << c.input << '"';
    }
}

}  // namespace
}  // namespace zlt::scan
