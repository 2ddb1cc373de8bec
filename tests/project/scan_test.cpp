// The scanning helpers, table-wise with the tricky inputs: a number or
// field read, and the text left after it (the whole input when nothing was
// read).
#include "project/scan.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <tuple>
#include <vector>

namespace zlt::scan {
namespace {

// Each case: the input, the number read and the text left.
using NumberCases = std::vector<std::tuple<std::string, std::optional<std::int64_t>, std::string>>;

void ExpectNumbers(std::optional<std::int64_t> (*read)(std::string_view&), const NumberCases& cases) {
    for (const auto& [input, value, rest] : cases) {
        std::string_view text = input;
        EXPECT_EQ(read(text), value) << '"' << input << '"';
        EXPECT_EQ(text, rest) << '"' << input << '"';
    }
}

// Decimal reads like strtoul: leading white space and a sign, base 10 only.
// Hex reads like %x: an optional 0x, and the 0 is the number when no digit
// follows it. Both saturate and never wrap.
TEST(Scan, NumbersReadLikeStrtoulAndPercentX) {
    ExpectNumbers(Decimal, {
        {"12x", 12, "x"},   {"0012", 12, ""},         {" \t12", 12, ""},        {"+7", 7, ""},
        {"-5", -5, ""},     {"", {}, ""},             {"x1", {}, "x1"},         {"-", {}, "-"},
        {"+-1", {}, "+-1"}, {" ", {}, " "},           {"0x10", 0, "x10"},       {"4294967295", 4294967295, ""},
        {"99999999999999999999999", kMagnitudeLimit, ""}, {"-99999999999999999999999", -kMagnitudeLimit, ""},
    });
    ExpectNumbers(Hex, {
        {"0A", 0x0A, ""},   {"1f", 0x1F, ""},         {"FFz", 0xFF, "z"},       {"0X1f", 0x1F, ""},
        {"0x", 0, "x"},     {"0xg", 0, "xg"},         {"x1", {}, "x1"},         {"", {}, ""},
        {"G", {}, "G"},     {"  -1", -1, ""},         {"+0x100", 0x100, ""},    {"-0x", 0, "x"},
        {"FFFFFFFFFFFFFFFFFFFF", kMagnitudeLimit, ""},
    });
}

// A field of at most `width` characters of a set; an empty or overlong one fails.
TEST(Scan, SpanReadsOneBoundedField) {
    const CharSet name = CharSet::Except(" _"), digits = CharSet::Digits(), word = CharSet::Except(" ");
    const std::tuple<std::string, CharSet, std::optional<std::string>, std::string> cases[] = {
        {"R1_R2", name, "R1", "_R2"},    {"_R2", name, {}, "_R2"},      {"", name, {}, ""},
        {"123abc", digits, "123", "abc"}, {"abc", digits, {}, "abc"},
        {std::string(31, 'a'), word, std::string(31, 'a'), ""},         {std::string(32, 'a'), word, {}, std::string(32, 'a')},
        {"\xE4\xB8\xAD;", CharSet::Except(";"), "\xE4\xB8\xAD", ";"},  // bytes above 0x7F
    };
    for (const auto& [input, set, field, rest] : cases) {
        std::string_view text = input;
        const auto read = Span(text, set, 31);
        EXPECT_EQ(read ? std::optional<std::string>(*read) : std::nullopt, field) << '"' << input << '"';
        EXPECT_EQ(text, rest) << '"' << input << '"';
    }
}

}  // namespace
}  // namespace zlt::scan
