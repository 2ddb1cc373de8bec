// The CFO image container: the 512-byte header with its section directory,
// the sections it describes, and the image file that a link writes.
#pragma once

#include "platform/files.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
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

// The header checks alone, on the first 512 bytes of a file (or all of a
// shorter one): sets fileLength to the length the directory describes, so
// that a reader can refuse a file of another length before reading it.
std::optional<ImageHeader> ParseDirectory(std::span<const std::uint8_t> header, std::uint64_t& fileLength,
                                          std::string& error);

// The byteLength bytes of a section of a file whose header parsed.
std::span<const std::uint8_t> SectionBytes(std::span<const std::uint8_t> file, const DirSlot& slot);

// The image file being written, completely or not at all: a regular file is
// written as a temporary file in its folder and put in place by Commit, so a
// link that fails or is killed never leaves a torn image (platform/files.h).
// A symbolic link keeps itself and the file it names is written; a device is
// written in place. The folder of the image stays locked from Open to the end
// of the link, so that two links to one image take turns.
class ImageFile {
public:
    ImageFile() = default;
    ImageFile(const ImageFile&) = delete;
    ImageFile& operator=(const ImageFile&) = delete;
    ~ImageFile() { Discard(); }

    // False when no image can be made at path; NamesFifo tells when that is
    // because path names a FIFO, which takes no image.
    bool Open(const std::string& path);
    bool IsOpen() const { return file_.IsOpen(); }
    bool NamesFifo() const { return file_.fault() == platform::WholeFile::Fault::kFifo; }

    // True when inputPath names the file that the image would replace. The
    // link then refuses it, and Discard leaves that file alone.
    bool Overwrites(const std::string& inputPath);

    // Each returns true when every byte was written.
    bool Write(const void* data, std::size_t size);
    bool WriteZeros(std::size_t size);
    // Pads with zero bytes from `written` bytes up to the next page boundary.
    bool PadToPage(std::uint64_t written);
    bool Rewind();

    // Writes out what is buffered and puts the complete image in place.
    bool Commit();
    // Makes every write fail once `bytes` more bytes have been written, as a
    // full device would; for tests of the failure paths.
    void FailWritesAfter(std::uint64_t bytes) { writeBudget_ = bytes; }

    // Drops what was written and, after a link that opened its image, removes
    // the regular file it found at the image path: a failed link leaves no
    // image behind. Devices, and inputs of the link, are never removed.
    void Discard();

private:
    bool Flush();

    platform::WholeFile file_;
    std::unique_ptr<std::uint8_t[]> buffer_;
    std::size_t buffered_ = 0;
    bool keepFound_ = false;
    std::uint64_t writeBudget_ = UINT64_MAX;
};

}  // namespace zlt
