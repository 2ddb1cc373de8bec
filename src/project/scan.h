// Bounded scanning of project values.
//
// The step language and the trigger texts are read the way the C library's
// strtoul, "%X" and "%[...]" conversions read text, but with every field
// bounded: each helper looks only at the view it is given, never writes into
// a fixed buffer, and refuses a field that is longer than its stated width
// instead of cutting it.
//
// Text is handled as 8-bit bytes. Every helper is total: on success it
// returns what it read and advances `text` past it; on failure it returns
// nothing (or false) and leaves `text` unchanged.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

namespace zlt::scan {

// White space as the C library's isspace sees it in the "C" locale:
// blank, tab, line feed, vertical tab, form feed, carriage return.
constexpr bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// A set of bytes, like the class of a "%[...]" conversion.
class CharSet {
public:
    // The bytes listed in `chars`.
    static constexpr CharSet Of(std::string_view chars) {
        CharSet set;
        for (char c : chars) set.bits_[static_cast<unsigned char>(c)] = true;
        return set;
    }
    // Every byte except those listed, like "%[^...]".
    static constexpr CharSet Except(std::string_view chars) {
        CharSet set;
        set.bits_.fill(true);
        for (char c : chars) set.bits_[static_cast<unsigned char>(c)] = false;
        return set;
    }
    static constexpr CharSet Digits() { return Of("0123456789"); }

    constexpr bool Contains(char c) const { return bits_[static_cast<unsigned char>(c)]; }

private:
    std::array<bool, 256> bits_{};
};

// Magnitudes of numbers are saturated here, so that a number too large for
// any 32-bit field stays recognisably too large instead of wrapping.
inline constexpr std::int64_t kMagnitudeLimit = std::int64_t{1} << 32;

// Drops leading white space (IsSpace).
std::string_view SkipSpace(std::string_view text);

// Matches `literal` byte for byte at the start of text.
bool Literal(std::string_view& text, std::string_view literal);

// Reads a decimal number as strtoul(text, &end, 10) does: leading white
// space, an optional sign, then one or more decimal digits. A minus sign
// yields a negative value (strtoul would wrap it; any caller's range check
// refuses both alike). Nothing is read when no digit follows.
std::optional<std::int64_t> Decimal(std::string_view& text);

// Reads a hexadecimal number as the scan conversion "%X" does: leading white
// space, an optional sign, an optional 0x or 0X, then hexadecimal digits of
// either case. A 0x not followed by a hexadecimal digit reads as the number
// 0 and leaves the x unread. Nothing is read when no digit follows.
std::optional<std::int64_t> Hex(std::string_view& text);

// Reads the longest run of bytes of `set`, like "%[...]" with a field of
// maxWidth bytes. Fails when the run is empty or longer than maxWidth: an
// over-long field is refused, never cut.
std::optional<std::string_view> Span(std::string_view& text, const CharSet& set,
                                     std::size_t maxWidth);

// Splits text at separators, as strtok does: skips leading separators and
// returns the bytes up to the next separator (or the end). Runs of
// separators count as one; nothing is returned once only separators remain.
std::optional<std::string_view> NextToken(std::string_view& text, const CharSet& separators);

// Fields read by Pattern, in the order the pattern names them.
struct PatternFields {
    std::string_view texts[2];
    std::int64_t numbers[4] = {};
    int textCount = 0;
    int numberCount = 0;
    std::string_view rest;  // the text after the last conversion, not read
};

// Runs a scan format made of the directives ' ' (any white space), "%[^...]"
// (a field of at most maxField bytes), "%u" (a Decimal) and literal bytes over
// text. True when every conversion of the pattern was read; what follows the
// last one is ignored (it is left in `rest`). At most two fields and four
// numbers.
bool Pattern(std::string_view pattern, std::string_view text, std::size_t maxField,
             PatternFields& out);

}  // namespace zlt::scan
