// The Sonorium clip format: the 128-byte clip header and its checks, the
// clip file reader, the key bytes and the block transform that turns clip
// data into word image pages.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>

namespace zlt {

inline constexpr std::size_t kClipHeaderSize = 128;
// A block of clip data becomes one 512-byte page of the word image.
inline constexpr std::size_t kClipBlockSize = 512;

// Byte offsets of the clip header fields; all numbers are little-endian.
namespace clip_field {
inline constexpr std::size_t kSignature = 0;   // "Sonorium Format" and a NUL
inline constexpr std::size_t kFormatTag = 16;  // "SNX" and a NUL
inline constexpr std::size_t kVersion = 20;    // u32
inline constexpr std::size_t kKeyIndexA = 24;  // u8
inline constexpr std::size_t kKeyIndexB = 25;  // u8
inline constexpr std::size_t kKeyArea = 26;    // 62 bytes; a key index counts from here
inline constexpr std::size_t kChannels = 88;   // u16
inline constexpr std::size_t kBitsPerChannel = 92;  // u16
inline constexpr std::size_t kSampleRate = 96;      // u32
inline constexpr std::size_t kDataOffset = 100;     // u32, from the start of the file
inline constexpr std::size_t kDataLength = 104;     // u32, bytes of sample data
}  // namespace clip_field

inline constexpr std::uint32_t kClipVersionFirst = 0x00020001;
inline constexpr std::uint32_t kClipVersionLast = 0x00020002;
// The highest key index whose byte still lies inside the header.
inline constexpr unsigned kMaxKeyIndex = kClipHeaderSize - 1 - clip_field::kKeyArea;

using ClipHeader = std::array<std::uint8_t, kClipHeaderSize>;

// The format values of a clip header.
struct ClipFormat {
    std::uint16_t channels = 0;
    std::uint16_t bitsPerChannel = 0;
    std::uint32_t sampleRate = 0;
    std::uint32_t dataLength = 0;
};

ClipFormat FormatOf(const ClipHeader& header);
std::uint32_t DataOffsetOf(const ClipHeader& header);

// The two key bytes of a clip: the header bytes its key indexes select.
struct ClipKey {
    std::uint8_t a = 0;
    std::uint8_t b = 0;
};

// None when a key index points past the header.
std::optional<ClipKey> KeyOf(const ClipHeader& header);

// Checks a header held in memory; path serves only for the messages. On
// success the header's DataLength is rounded down to a multiple of 4.
// Reports the first fault and returns false.
bool CheckClipHeader(const char* path, ClipHeader& header);

// Opens, reads and checks the header of the clip file at path. The outputs
// are 0 unless it succeeds; the file is closed again on every path.
bool ReadClipHeader(const char* path, ClipFormat& format);

// True when path names a regular file this process may read.
bool ClipAccessible(const char* path);

// A clip file open for reading. Opening never blocks and never opens a FIFO,
// a device or a folder: only regular files are accepted.
class ClipFile {
public:
    enum class Opened { kOk, kNotRegular, kFailed };

    ClipFile() = default;
    ClipFile(const ClipFile&) = delete;
    ClipFile& operator=(const ClipFile&) = delete;
    ~ClipFile();

    // Opens the file that a clip path as the project wrote it names here
    // (see ClipFileName) and reports it to the host as read.
    Opened Open(const char* path);
    // Reads until size bytes or the end of the file; returns the count read.
    // A read error ends the reading like the end of the file.
    std::size_t Read(void* into, std::size_t size);
    bool Seek(std::uint64_t offset);

private:
    int fd_ = -1;
};

// Opens the clip at path and reads its header, reporting "Can not access",
// "Can not open" or "Can not read" faults; the header is not checked.
bool OpenClip(const char* path, ClipFile& file, ClipHeader& header);

// The transform from clip data to word image pages, for one clip's key
// bytes and sample width. Each 512-byte block goes through the pair
// transform (bytes of each pair swapped and XORed with the key bytes, which
// step by one per pair and start again with every block), then, for 8-bit
// samples, the 16-byte XOR with the block's first byte, or, for 16-bit
// samples, the sign flip and the split into a page of low bytes followed by
// a page half of high bytes.
class BlockTransform {
public:
    BlockTransform(ClipKey key, unsigned bitsPerChannel);

    // Transforms `blocks` whole blocks from in to out; in and out must not
    // overlap.
    void Apply(const std::uint8_t* in, std::uint8_t* out, std::size_t blocks) const;

private:
    static constexpr std::size_t kWords = kClipBlockSize / 8;
    void Apply8(const std::uint8_t* in, std::uint8_t* out) const;
    void Apply16(const std::uint8_t* in, std::uint8_t* out) const;

    // 8-bit: the key bytes of the pairs in block order. 16-bit: the same key
    // bytes in page order, the sign flip folded into the high half.
    std::array<std::uint8_t, kClipBlockSize> mask_{};
    bool wide_ = false;
};

}  // namespace zlt
