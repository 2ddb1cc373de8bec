// Checked printf-style formats.
//
// Every message of the linker is a literal format. FormatString accepts only
// a string literal (its constructor is consteval) and checks at compile time
// that each conversion matches the argument's type, so a message can never
// take a path or project value as its format. The formats keep the system's
// own spelling ("%0.4d" and the like), which the compiler's own format check
// would flag for the ignored '0' flag.
#pragma once

#include <concepts>
#include <cstddef>
#include <string>
#include <string_view>
#include <type_traits>

namespace zlt {

namespace format_detail {

template <typename T>
consteval char KindOf() {
    using U = std::remove_cvref_t<T>;
    if constexpr (std::is_same_v<U, const char*> || std::is_same_v<U, char*>)
        return 's';
    else if constexpr (std::is_same_v<U, char> || std::is_same_v<U, bool>)
        return '?';
    else if constexpr (std::integral<U> && std::is_signed_v<U> && sizeof(U) <= sizeof(int))
        return 'd';
    else if constexpr (std::integral<U> && std::is_unsigned_v<U> && sizeof(U) <= sizeof(unsigned))
        return 'u';
    else
        return '?';
}

// True when conversion character c fits an argument of kind k. Integers of
// either sign fit the integer conversions: printf reads them as int.
consteval bool Fits(char c, char k) {
    switch (c) {
    case 'd': case 'i': case 'u': case 'x': case 'X': case 'o': case 'c':
        return k == 'd' || k == 'u';
    case 's':
        return k == 's';
    default:
        return false;
    }
}

}  // namespace format_detail

template <typename... Args>
struct FormatString {
    const char* text;

    template <std::size_t N>
    consteval FormatString(const char (&literal)[N]) : text(literal) {
        constexpr char kinds[] = {format_detail::KindOf<Args>()..., '\0'};
        std::size_t arg = 0;
        for (std::size_t i = 0; i + 1 < N; ++i) {
            if (literal[i] != '%')
                continue;
            ++i;
            if (literal[i] == '%')
                continue;
            while (literal[i] == '-' || literal[i] == '0' || literal[i] == '+' ||
                   literal[i] == ' ' || literal[i] == '#')
                ++i;
            while (literal[i] >= '0' && literal[i] <= '9') ++i;
            if (literal[i] == '.') {
                ++i;
                while (literal[i] >= '0' && literal[i] <= '9') ++i;
            }
            if (arg >= sizeof...(Args) || !format_detail::Fits(literal[i], kinds[arg]))
                throw "format conversion does not match its argument";
            ++arg;
        }
        if (arg != sizeof...(Args))
            throw "format has fewer conversions than arguments";
    }
};

// Identity alias that stops template argument deduction on the format.
template <typename... Args>
using Format = FormatString<std::type_identity_t<Args>...>;

// Formats the whole text, whatever its length.
std::string FormatAll(const char* format, ...);

template <typename... Args>
std::string FormatText(Format<Args...> format, Args... args) {
    return FormatAll(format.text, args...);
}

// A JSON string literal of 8-bit text: bytes outside ASCII are kept as the
// code points of the same value.
std::string JsonString(std::string_view text);

}  // namespace zlt
