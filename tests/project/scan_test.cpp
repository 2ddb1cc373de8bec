#include "project/scan.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace zlt::scan {
namespace {

// A number read, and the text left after it (the whole input when nothing
// was read).
struct NumberCase {
    std::string input;
    std::optional<std::int64_t> value;
    std::string rest;
};

void ExpectNumbers(std::optional<std::int64_t> (*read)(std::string_view&),
                   const std::vector<NumberCase>& cases) {
    for (const auto& c : cases) {
        std::string_view text = c.input;
        EXPECT_EQ(read(text), c.value) << '"' << c.input << '"';
        EXPECT_EQ(text, c.rest) << '"' << c.input << '"';
    }
}

TEST(Scan, DecimalReadsLikeStrtoul) {
    ExpectNumbers(Decimal, {
        {"12", 12, ""},
        {"12x", 12, "x"},
        {"0", 0, ""},
        {"0012", 12, ""},
        {" \t12", 12, ""},        // leading white space, tabs included
        {"+7", 7, ""},
        {"-5", -5, ""},
        {"-0", 0, ""},
        {"", std::nullopt, ""},
        {"x1", std::nullopt, "x1"},
        {"-", std::nullopt, "-"},
        {"+-1", std::nullopt, "+-1"},
        {" ", std::nullopt, " "},
        {"1 2", 1, " 2"},
        {"0x10", 0, "x10"},       // base 10: no prefix
        {"4294967295", 4294967295, ""},
        {"99999999999999999999999", kMagnitudeLimit, ""},  // saturates, never wraps
        {"-99999999999999999999999", -kMagnitudeLimit, ""},
    });
}

TEST(Scan, HexReadsLikePercentX) {
    ExpectNumbers(Hex, {
        {"0A", 0x0A, ""},
        {"10", 0x10, ""},
        {"1f", 0x1F, ""},
        {"FFz", 0xFF, "z"},
        {"0x1F", 0x1F, ""},
        {"0X1f", 0x1F, ""},
        {"0x", 0, "x"},           // the 0 is the number, the x stays
        {"0xg", 0, "xg"},
        {"x1", std::nullopt, "x1"},
        {"r1", std::nullopt, "r1"},
        {"", std::nullopt, ""},
        {"  -1", -1, ""},
        {"+0x100", 0x100, ""},
        {"-0x", 0, "x"},
        {"G", std::nullopt, "G"},
        {"FFFFFFFFFFFFFFFFFFFF", kMagnitudeLimit, ""},
    });
}

TEST(Scan, SpanReadsOneBoundedField) {
    struct Case {
        std::string input;
        CharSet set;
        std::size_t width;
        std::optional<std::string> field;
        std::string rest;
    };
    const CharSet notBlankOrUnderscore = CharSet::Except(" _");
    const std::vector<Case> cases = {
        {"R1_R2", notBlankOrUnderscore, 31, "R1", "_R2"},
        {"_R2", notBlankOrUnderscore, 31, std::nullopt, "_R2"},   // empty field fails
        {"", notBlankOrUnderscore, 31, std::nullopt, ""},
        {"R1 x", notBlankOrUnderscore, 31, "R1", " x"},
        {"123abc", CharSet::Digits(), 31, "123", "abc"},
        {"abc", CharSet::Digits(), 31, std::nullopt, "abc"},
        {std::string(31, 'a'), CharSet::Except(" "), 31, std::string(31, 'a'), ""},
        {std::string(32, 'a'), CharSet::Except(" "), 31, std::nullopt, std::string(32, 'a')},
        {"\xE4\xB8\xAD;", CharSet::Except(";"), 31, "\xE4\xB8\xAD", ";"},  // bytes above 0x7F
    };
    for (const auto& c : cases) {
        std::string_view text = c.input;
        auto field = Span(text, c.set, c.width);
        EXPECT_EQ(field ? std::optional<std::string>(std::string(*field)) : std::nullopt, c.field)
            << '"' << c.input << '"';
        EXPECT_EQ(text, c.rest) << '"' << c.input << '"';
    }
}

}  // namespace
}  // namespace zlt::scan
