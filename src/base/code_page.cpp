#include "base/code_page.h"

#include <array>
#include <cstdint>

namespace zlt {

namespace {

struct CodePage {
    unsigned id;
    std::array<std::uint16_t, 128> high;  // code points of bytes 0x80-0xFF
};

constexpr CodePage kCodePages[] = {
#include "base/code_page_tables.inc"
};

const CodePage* g_codePage = nullptr;  // null until set: the default

const CodePage* Find(unsigned id) {
    for (const CodePage& cp : kCodePages)
        if (cp.id == id) return &cp;
    return nullptr;
}

void AppendUtf8(std::string& out, std::uint32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

}  // namespace

bool SetAnsiCodePage(unsigned codePage) {
    const CodePage* cp = Find(codePage);
    if (cp == nullptr) return false;
    g_codePage = cp;
    return true;
}

unsigned AnsiCodePage() { return g_codePage ? g_codePage->id : kDefaultAnsiCodePage; }

std::optional<std::string> AnsiToUtf8(std::string_view text) {
    const CodePage* cp = g_codePage ? g_codePage : Find(kDefaultAnsiCodePage);
    std::string out;
    out.reserve(text.size() * 2);
    for (char ch : text) {
        const auto b = static_cast<std::uint8_t>(ch);
        const std::uint32_t c = b < 0x80 ? b : cp->high[b - 0x80];
        if (c == 0 && b != 0) return std::nullopt;
        AppendUtf8(out, c);
    }
    return out;
}

}  // namespace zlt
