// The CFO image container: the 512-byte header with its section directory,
// the sections it describes, and the image file that a link writes.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace zlt {

// Header: magic (4 bytes), format version (u16), slot count (u16), 8 bytes
// reserved, then the directory slots 1 to 31 of 16 bytes each.
inline constexpr char kImageMagic[4] = {'C', 'F', 'O', '\0'};
inline constexpr std::uint16_t kImageFormatVersion = 0x0300;
inline constexpr std::uint16_t kImageSlotCount = 31;
inline constexpr std::size_t kImageHeaderSize = 512;
inline constexpr std::size_t kDirSlotSize = 16;

// Section types; each names its directory slot.
enum SectionType : std::uint16_t {
    kSectionFirmware = 2,
    kSectionKeyTable = 3,
    kSectionTriggerTable = 4,
    kSectionSentenceTable = 5,
    kSectionWordTable = 6,
    kSectionWordImage = 7,
    kSectionReadme = 8,
};

// Byte lengths of the four fixed-size table sections, whole pages each.
inline constexpr std::uint32_t kKeyTableBytes = 9216;
inline constexpr std::uint32_t kTriggerTableBytes = 16384;
inline constexpr std::uint32_t kSentenceTableBytes = 65536;
inline constexpr std::uint32_t kWordTableBytes = 65536;

// What the container knows of a section.
struct SectionKind {
    SectionType type;
    std::string_view name;    // as messages and listings name it
    std::uint32_t fixedBytes; // 0 when the length varies
    bool wholePages;          // its byte length is always its pages x 512
};

// Every section, in the order of the image.
inline constexpr SectionKind kSectionKinds[] = {
    {kSectionFirmware, "System-K", 0, false},
    {kSectionKeyTable, "ZLT_KTAB.BIN", kKeyTableBytes, true},
    {kSectionTriggerTable, "ZLT_TTAB.BIN", kTriggerTableBytes, true},
    {kSectionSentenceTable, "ZLT_STAB.BIN", kSentenceTableBytes, true},
    {kSectionWordTable, "ZLT_WTAB.BIN", kWordTableBytes, true},
    {kSectionWordImage, "ZLT_WIMG.BIN", 0, true},
    {kSectionReadme, "ReadMe.txt", 0, false},
};

// The kind of section type t; nullptr for a slot that holds no section.
const SectionKind* SectionKindOf(unsigned t);

// One 16-byte directory slot.
struct DirSlot {
    std::uint16_t type = 0;
    std::uint32_t firstPage = 0;
    std::uint32_t pageCount = 0;
    std::uint32_t byteLength = 0;
};

struct ImageHeader {
    std::array<DirSlot, kImageSlotCount + 1> slots{};  // slots[0] is unused

    void Clear() { slots = {}; }
    DirSlot& Slot(unsigned t) { return slots.at(t); }
    const DirSlot& Slot(unsigned t) const { return slots.at(t); }
    // The 512 bytes as they stand in the file.
    std::array<std::uint8_t, kImageHeaderSize> Serialize() const;
};

// Reads the header of a whole image file and checks the container: magic,
// version, slot count and reserved bytes; every section in its slot, back to
// back from page 1, of its fixed size where it has one, its bytes within its
// pages and its padding zero; the file exactly as long as the directory says.
// On a fault returns nothing and describes it in `error`.
std::optional<ImageHeader> ParseImageHeader(std::span<const std::uint8_t> file, std::string& error);

// The byteLength bytes of a section of a file whose header parsed.
std::span<const std::uint8_t> SectionBytes(std::span<const std::uint8_t> file, const DirSlot& slot);

// The image file being written. It is written beside the image path under a
// temporary name and moved into place by Commit, so a link that fails or is
// killed never leaves a torn image at the image path. Where no file can be
// made beside it, or the path names something other than a regular file (a
// device, a FIFO), the path itself is written.
class ImageFile {
public:
    ImageFile() = default;
    ImageFile(const ImageFile&) = delete;
    ImageFile& operator=(const ImageFile&) = delete;
    ~ImageFile() { Discard(); }

    bool Open(const std::string& path);
    bool IsOpen() const { return stream_ != nullptr; }

    // Each returns true when every byte was written.
    bool Write(const void* data, std::size_t size);
    bool WriteZeros(std::size_t size);
    // Pads with zero bytes from `written` bytes up to the next page boundary.
    bool PadToPage(std::uint64_t written);
    bool Rewind();

    // Flushes, closes and moves the image into place.
    bool Commit();
    // Makes every write fail once `bytes` more bytes have been written, as a
    // full device would; for tests of the failure paths.
    void FailWritesAfter(std::uint64_t bytes) { writeBudget_ = bytes; }

    // Closes and removes what this link made: the temporary file, and the
    // regular file at the image path (a failed link leaves no image behind).
    // Devices and other non-regular files are never removed.
    void Discard();

private:
    std::FILE* stream_ = nullptr;
    std::string path_;      // the image path as the caller named it
    std::string target_;    // the file that Commit replaces (symbolic links resolved)
    std::string tempPath_;  // empty when writing in place
    bool removeOnDiscard_ = false;
    std::uint64_t writeBudget_ = UINT64_MAX;
};

}  // namespace zlt
