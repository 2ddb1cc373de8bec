// The POSIX build has no ANSI code page: sentence text is kept byte for byte.
#include "platform/text.h"

namespace zlt::platform {

std::string ThroughAnsiCodePage(std::string_view text) { return std::string(text); }

}  // namespace zlt::platform
