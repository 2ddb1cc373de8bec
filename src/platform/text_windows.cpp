// Sentence text through the wide characters of Windows, in the system's ANSI
// code page, so that a multibyte character is always taken whole.
#include "platform/text.h"

#include <windows.h>

#include <climits>

namespace zlt::platform {

std::string ThroughAnsiCodePage(std::string_view text) {
    if (text.empty() || text.size() > INT_MAX / 2) return std::string(text);
    const int size = static_cast<int>(text.size());
    std::wstring wide(text.size(), L'\0');  // never more characters than bytes
    const int chars = MultiByteToWideChar(CP_ACP, 0, text.data(), size, wide.data(), size);
    if (chars <= 0) return std::string(text);
    const int bytes = WideCharToMultiByte(CP_ACP, 0, wide.data(), chars, nullptr, 0, nullptr, nullptr);
    if (bytes <= 0) return std::string(text);
    std::string out(static_cast<std::size_t>(bytes), '\0');
    WideCharToMultiByte(CP_ACP, 0, wide.data(), chars, out.data(), bytes, nullptr, nullptr);
    return out;
}

}  // namespace zlt::platform
