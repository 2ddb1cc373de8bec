// Comparing and suggesting names: keys, sections, modes.
#pragma once

#include <span>
#include <string_view>

namespace zlt {

// Equal but for ASCII letter case.
bool EqualsIgnoringCase(std::string_view a, std::string_view b);

// The candidate closest to a misspelled name, letter case ignored: fewest
// single-character insertions, deletions, changes and swaps of neighbours,
// at most a third of the name's length (at least 1). Null when none is that
// close.
const char* Closest(std::string_view name, std::span<const char* const> candidates);

}  // namespace zlt
