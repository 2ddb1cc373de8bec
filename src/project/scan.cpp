#include "project/scan.h"

namespace zlt::scan {

namespace {

int HexDigitValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

int DecimalDigitValue(char c) { return c >= '0' && c <= '9' ? c - '0' : -1; }

// Accumulates digits of the given base from the start of text, saturating
// at kMagnitudeLimit. Returns the number of digits taken.
std::size_t Accumulate(std::string_view text, int base, int (*digit)(char),
                       std::int64_t& magnitude) {
    std::size_t i = 0;
    magnitude = 0;
    for (; i < text.size() && digit(text[i]) >= 0; ++i) {
        magnitude = magnitude * base + digit(text[i]);
        if (magnitude > kMagnitudeLimit) magnitude = kMagnitudeLimit;
    }
    return i;
}

// Shared frame of Decimal and Hex: white space, sign, optional prefix, digits.
std::optional<std::int64_t> Number(std::string_view& text, int base, int (*digit)(char)) {
    std::string_view rest = SkipSpace(text);
    bool negative = false;
    if (!rest.empty() && (rest[0] == '+' || rest[0] == '-')) {
        negative = rest[0] == '-';
        rest.remove_prefix(1);
    }
    // A 0x prefix counts only when a digit follows it; otherwise the 0 alone
    // is the number and the x stays unread.
    if (base == 16 && rest.size() > 2 && rest[0] == '0' && (rest[1] == 'x' || rest[1] == 'X') &&
        digit(rest[2]) >= 0)
        rest.remove_prefix(2);
    std::int64_t magnitude = 0;
    std::size_t taken = Accumulate(rest, base, digit, magnitude);
    if (taken == 0) return std::nullopt;
    text = rest.substr(taken);
    return negative ? -magnitude : magnitude;
}

}  // namespace

std::string_view SkipSpace(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && IsSpace(text[i])) ++i;
    return text.substr(i);
}

bool Literal(std::string_view& text, std::string_view literal) {
    if (!text.starts_with(literal)) return false;
    text.remove_prefix(literal.size());
    return true;
}

std::optional<std::int64_t> Decimal(std::string_view& text) {
    return Number(text, 10, DecimalDigitValue);
}

std::optional<std::int64_t> Hex(std::string_view& text) { return Number(text, 16, HexDigitValue); }

std::optional<std::string_view> Span(std::string_view& text, const CharSet& set,
                                     std::size_t maxWidth) {
    std::size_t n = 0;
    while (n < text.size() && set.Contains(text[n])) ++n;
    if (n == 0 || n > maxWidth) return std::nullopt;
    std::string_view field = text.substr(0, n);
    text.remove_prefix(n);
    return field;
}

std::optional<std::string_view> NextToken(std::string_view& text, const CharSet& separators) {
    std::size_t start = 0;
    while (start < text.size() && separators.Contains(text[start])) ++start;
    if (start == text.size()) return std::nullopt;
    std::size_t end = start;
    while (end < text.size() && !separators.Contains(text[end])) ++end;
    std::string_view token = text.substr(start, end - start);
    text.remove_prefix(end);
    return token;
}

bool Pattern(std::string_view pattern, std::string_view text, std::size_t maxField,
             PatternFields& out) {
    out = PatternFields{};
    while (!pattern.empty()) {
        if (pattern.front() == ' ') {
            text = SkipSpace(text);
            pattern.remove_prefix(1);
        } else if (pattern.starts_with("%u")) {
            std::optional<std::int64_t> n = out.numberCount < 4 ? Decimal(text) : std::nullopt;
            if (!n) return false;
            out.numbers[out.numberCount++] = *n;
            pattern.remove_prefix(2);
        } else if (pattern.starts_with("%[^")) {
            const std::size_t close = pattern.find(']', 3);
            if (close == std::string_view::npos || out.textCount == 2) return false;
            std::optional<std::string_view> field =
                Span(text, CharSet::Except(pattern.substr(3, close - 3)), maxField);
            if (!field) return false;
            out.texts[out.textCount++] = *field;
            pattern.remove_prefix(close + 1);
        } else {
            if (!Literal(text, pattern.substr(0, 1))) return false;
            pattern.remove_prefix(1);
        }
    }
    out.rest = text;
    return true;
}

}  // namespace zlt::scan
