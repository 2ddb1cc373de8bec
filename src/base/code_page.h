// The ANSI code page of projects made on Windows: the single-byte code page
// in which their texts (clip file names among them) are written. Used to
// find, on this system's UTF-8 file names, the file such a text names.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace zlt {

inline constexpr unsigned kDefaultAnsiCodePage = 1252;

// Sets the code page (874, or 1250 to 1258). Returns false, keeping the
// current one, for a code page that is not known.
bool SetAnsiCodePage(unsigned codePage);
unsigned AnsiCodePage();

// The text in UTF-8, or nothing when it holds a byte that the code page
// leaves undefined.
std::optional<std::string> AnsiToUtf8(std::string_view text);

}  // namespace zlt
