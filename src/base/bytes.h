// Little-endian field access and the page rule of the image file.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

namespace zlt {

inline constexpr std::uint32_t kPageSize = 512;

// Pages that n bytes occupy: n / 512 rounded up, 0 for 0 bytes.
constexpr std::uint32_t PagesFor(std::uint64_t n) {
    return static_cast<std::uint32_t>((n + kPageSize - 1) / kPageSize);
}

inline void PutU16(std::uint8_t* p, std::uint16_t v) {
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
}

inline void PutU32(std::uint8_t* p, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

inline std::uint16_t GetU16(const std::uint8_t* p) {
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

inline std::uint32_t GetU32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

// A table of 16-bit values as it is stored: little-endian, in order.
template <std::size_t N>
std::array<std::uint8_t, 2 * N> LittleEndianBytes(const std::array<std::uint16_t, N>& values) {
    std::array<std::uint8_t, 2 * N> bytes;
    for (std::size_t i = 0; i < N; ++i) PutU16(&bytes[2 * i], values[i]);
    return bytes;
}

// The bytes of a text, for the readers and writers of byte layouts.
inline std::span<const std::uint8_t> AsBytes(std::string_view text) {
    return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

}  // namespace zlt
