// Sentence text as each platform reads it (text_posix.cpp, text_windows.cpp).
#pragma once

#include <string>
#include <string_view>

namespace zlt::platform {

// The text read as characters of the system's ANSI code page and written
// back to it. Where the system has such a code page, characters it cannot
// hold come back as it converts them; where not, the bytes stay as they are.
std::string ThroughAnsiCodePage(std::string_view text);

}  // namespace zlt::platform
