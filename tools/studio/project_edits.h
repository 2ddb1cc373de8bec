// Edits of a project file that keep the user's text: the studio changes
// entries by key and writes back only the lines of the keys it changed.
#pragma once

#include <compare>
#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace zlt::studio {

// One entry of a project: a section and a key, spelled as the linker reads
// them (W0012, S0003, T7935, BaudRate, TG_Mode).
struct EntryName {
    std::string section;
    std::string key;
    auto operator<=>(const EntryName&) const = default;
};

// The entry a key names: a W, S or T key with four digits up to 8191, an
// option of the option table, or TG_Mode or Description of ZLP.System.
// Letter case is ignored as the reader ignores it; nothing for any other key.
std::optional<EntryName> EntryOf(std::string_view key);

// New values by entry; none removes the entry.
using Edits = std::map<EntryName, std::optional<std::string>>;

// The project text with the edits applied, every other byte kept:
// - a key that is there gets its new value in place of the old one; what
//   stands around the value on its line (blanks, quotes, the line end) stays;
// - a removed key loses every line it has in its section;
// - a new key goes on a new line after the last key line of its section, or
//   after its header when it has none; a section that is not there is added
//   at the end of the file.
// New lines take the line end of the file (CRLF or LF) and the key/value
// separator of their section's last key line ("=" or " = ").
std::string ApplyEdits(std::string_view text, const Edits& edits);

}  // namespace zlt::studio
