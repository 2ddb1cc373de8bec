// The Sonorium clip format: the 128-byte clip header and its checks, the
// clip file reader, the key bytes and the block transform that turns clip
// data into word image pages.
#pragma once

#include "base/diagnostic.h"

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
    std::uint32_t version = 0;
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

// What can be wrong with a clip file, in the order the checks meet it. The
// last ones are the word table's narrower limits (word/word_table.h).
enum class ClipFault {
    kNone,
    kAccess,     // missing, not a regular file or not readable
    kOpen,       // cannot be opened
    kRead,       // shorter than its header
    kSignature,
    kVersion,
    kChannels,   // 0 or more than 2; a word: not 1
    kBitsPerChannel,
    kSampleRate, // outside 2100 to 48000 Hz; a word: not one of its rates
    kDataLength, // 0
    kKeyIndex,
    kDataTooLong,  // a word: 2^28 bytes or more
    kDataShort,    // the file ends before the sample data does
};

// The first fault of a header held in memory.
ClipFault HeaderFault(const ClipHeader& header);

// The word whose key names a clip, for the located form of a clip's fault.
struct ClipSite {
    std::string key;  // "W0005"; empty when the clip is not a word's
    TextSpan at;      // of the key's value
};

// Reports a fault of the clip at path through report, by its kind and with
// the line a link prints for it; returns false.
bool ReportClipFault(Reporter& report, ClipFault fault, const ClipFormat& format, const char* path,
                     const ClipSite& site);

// Checks a header held in memory; path serves only for the messages. On
// success the header's DataLength is rounded down to a multiple of 4.
// Reports the first fault and returns false.
bool CheckClipHeader(const char* path, ClipHeader& header);

// Opens, reads and checks the header of the clip file at path through
// report. The outputs are 0 unless it succeeds; the file is closed again on
// every path. fileSize, when given, receives the file's size.
bool ReadClipHeader(Reporter& report, const char* path, const ClipSite& site, ClipFormat& format,
                    std::uint32_t* dataOffset = nullptr, std::uint64_t* fileSize = nullptr);
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
    std::uint64_t Size() const;

private:
    int fd_ = -1;
};

// Opens the clip at path and reads its header, which is not checked:
// kAccess, kOpen, kRead or kNone.
ClipFault OpenClip(const char* path, ClipFile& file, ClipHeader& header);

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
