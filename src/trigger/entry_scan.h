// A bounded cursor over one text that reads it the way the C library's scan
// formats do: character-class fields with a width limit, literal characters,
// white space and unsigned numbers.
#pragma once

#include <cstdint>
#include <string_view>

namespace zlt {

class TextScanner {
public:
    explicit TextScanner(std::string_view text) : rest_(text) {}

    std::string_view Rest() const { return rest_; }

    // A white-space directive: skips any number of white-space characters.
    void SkipSpace();

    // A literal character of the format; false if the next character differs.
    bool Literal(char c);

    // "%[^...]": one or more characters none of which is in `stop`. False when
    // none can be read, or when more than maxWidth would be read (the field
    // does not fit its buffer; then `tooLong` is set).
    bool Field(std::string_view stop, std::size_t maxWidth, std::string_view& out,
               bool* tooLong = nullptr);

    // "%u": optional white space, an optional sign, decimal digits. A minus
    // sign negates as unsigned arithmetic does. False without a digit;
    // `overflow` is set when the digits exceed 32 bits.
    bool Unsigned(std::uint32_t& out, bool& overflow);

private:
    std::string_view rest_;
};

// Fields read by ScanPattern, in the order the pattern names them.
struct ScannedFields {
    std::string_view names[2];
    std::uint32_t numbers[4] = {};
    int nameCount = 0;
    int numberCount = 0;
    bool overflow = false;  // a number had more than 32 bits
};

// Runs a scan format of the directives ' ', "%[^...]", "%u" and literal
// characters over `text`. True when every conversion of the pattern was
// read; text after the last one is ignored. Each "%[^...]" field holds at
// most maxName characters.
bool ScanPattern(std::string_view pattern, std::string_view text, std::size_t maxName,
                 ScannedFields& out);

// The C library's isspace in the "C" locale.
constexpr bool IsScanSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

}  // namespace zlt
