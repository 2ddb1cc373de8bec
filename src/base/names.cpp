#include "base/names.h"

#include <algorithm>
#include <vector>

namespace zlt {

namespace {

char Upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

// Optimal string alignment distance of a and b, letter case ignored.
std::size_t Distance(std::string_view a, std::string_view b) {
    const std::size_t w = b.size() + 1;
    std::vector<std::size_t> d((a.size() + 1) * w);
    for (std::size_t i = 0; i <= a.size(); ++i) d[i * w] = i;
    for (std::size_t j = 0; j <= b.size(); ++j) d[j] = j;
    for (std::size_t i = 1; i <= a.size(); ++i) {
        for (std::size_t j = 1; j <= b.size(); ++j) {
            const bool same = Upper(a[i - 1]) == Upper(b[j - 1]);
            std::size_t best = std::min({d[(i - 1) * w + j] + 1, d[i * w + j - 1] + 1,
                                         d[(i - 1) * w + j - 1] + (same ? 0 : 1)});
            if (i > 1 && j > 1 && Upper(a[i - 1]) == Upper(b[j - 2]) && Upper(a[i - 2]) == Upper(b[j - 1]))
                best = std::min(best, d[(i - 2) * w + j - 2] + 1);
            d[i * w + j] = best;
        }
    }
    return d[a.size() * w + b.size()];
}

}  // namespace

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (Upper(a[i]) != Upper(b[i])) return false;
    return true;
}

const char* Closest(std::string_view name, std::span<const char* const> candidates) {
    const std::size_t limit = std::max<std::size_t>(1, name.size() / 3);
    const char* best = nullptr;
    std::size_t bestDistance = limit + 1;
    for (const char* c : candidates) {
        const std::size_t d = Distance(name, c);
        if (d < bestDistance) {
            best = c;
            bestDistance = d;
        }
    }
    return best;
}

}  // namespace zlt
