#include "base/format.h"

#include <cstdarg>
#include <cstdio>

namespace zlt {

// The formats reaching here were checked by FormatString at compile time.
#pragma GCC diagnostic ignored "-Wformat-nonliteral"

std::string FormatAll(const char* format, ...) {
    va_list ap, again;
    va_start(ap, format);
    va_copy(again, ap);
    int n = std::vsnprintf(nullptr, 0, format, ap);
    va_end(ap);
    std::string text;
    if (n > 0) {
        text.resize(static_cast<std::size_t>(n));
        std::vsnprintf(text.data(), text.size() + 1, format, again);
    }
    va_end(again);
    return text;
}

}  // namespace zlt
