#include "trigger/entry_scan.h"

namespace zlt {

void TextScanner::SkipSpace() {
    while (!rest_.empty() && IsScanSpace(rest_.front())) rest_.remove_prefix(1);
}

bool TextScanner::Literal(char c) {
    if (rest_.empty() || rest_.front() != c) return false;
    rest_.remove_prefix(1);
    return true;
}

bool TextScanner::Field(std::string_view stop, std::size_t maxWidth, std::string_view& out,
                        bool* tooLong) {
    std::size_t n = 0;
    while (n < rest_.size() && stop.find(rest_[n]) == std::string_view::npos) ++n;
    if (tooLong != nullptr) *tooLong = n > maxWidth;
    if (n == 0 || n > maxWidth) return false;
    out = rest_.substr(0, n);
    rest_.remove_prefix(n);
    return true;
}

bool TextScanner::Unsigned(std::uint32_t& out, bool& overflow) {
    SkipSpace();
    std::string_view s = rest_;
    bool negative = false;
    if (!s.empty() && (s.front() == '+' || s.front() == '-')) {
        negative = s.front() == '-';
        s.remove_prefix(1);
    }
    if (s.empty() || s.front() < '0' || s.front() > '9') return false;
    std::uint64_t value = 0;
    overflow = false;
    while (!s.empty() && s.front() >= '0' && s.front() <= '9') {
        value = value * 10 + static_cast<unsigned>(s.front() - '0');
        if (value > 0xFFFFFFFFu) {
            overflow = true;
            value = 0xFFFFFFFFu;
        }
        s.remove_prefix(1);
    }
    out = static_cast<std::uint32_t>(value);
    if (negative) out = 0u - out;
    rest_ = s;
    return true;
}

bool ScanPattern(std::string_view pattern, std::string_view text, std::size_t maxName,
                 ScannedFields& out) {
    out = ScannedFields{};
    TextScanner scan(text);
    std::size_t i = 0;
    while (i < pattern.size()) {
        const char c = pattern[i];
        if (c == ' ') {
            scan.SkipSpace();
            ++i;
        } else if (pattern.substr(i, 2) == "%u") {
            if (out.numberCount == 4) return false;
            bool overflow = false;
            if (!scan.Unsigned(out.numbers[out.numberCount], overflow)) return false;
            out.overflow |= overflow;
            ++out.numberCount;
            i += 2;
        } else if (pattern.substr(i, 3) == "%[^") {
            const std::size_t close = pattern.find(']', i + 3);
            if (close == std::string_view::npos || out.nameCount == 2) return false;
            if (!scan.Field(pattern.substr(i + 3, close - i - 3), maxName, out.names[out.nameCount]))
                return false;
            ++out.nameCount;
            i = close + 1;
        } else {
            if (!scan.Literal(c)) return false;
            ++i;
        }
    }
    return true;
}

}  // namespace zlt
