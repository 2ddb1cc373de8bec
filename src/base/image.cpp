#include "base/image.h"

#include "base/bytes.h"
#include "base/format.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace zlt {

const SectionKind* SectionKindOf(unsigned t) {
    for (const SectionKind& k : kSectionKinds)
        if (k.type == t) return &k;
    return nullptr;
}

std::array<std::uint8_t, kImageHeaderSize> ImageHeader::Serialize() const {
    std::array<std::uint8_t, kImageHeaderSize> out{};
    std::memcpy(out.data(), kImageMagic, sizeof kImageMagic);
    PutU16(&out[4], kImageFormatVersion);
    PutU16(&out[6], kImageSlotCount);
    for (unsigned t = 1; t <= kImageSlotCount; ++t) {
        std::uint8_t* p = &out[kDirSlotSize * t];
        PutU16(p, slots[t].type);
        PutU32(p + 4, slots[t].firstPage);
        PutU32(p + 8, slots[t].pageCount);
        PutU32(p + 12, slots[t].byteLength);
    }
    return out;
}

namespace {

std::optional<ImageHeader> Fault(std::string& error, std::string text) {
    error = std::move(text);
    return std::nullopt;
}

bool AllZero(std::span<const std::uint8_t> bytes) {
    for (std::uint8_t b : bytes)
        if (b != 0) return false;
    return true;
}

}  // namespace

std::optional<ImageHeader> ParseDirectory(std::span<const std::uint8_t> file, std::uint64_t& fileLength,
                                          std::string& error) {
    if (file.size() < kImageHeaderSize)
        return Fault(error, FormatText("file is %u bytes, shorter than the 512-byte header",
                                       static_cast<unsigned>(file.size())));
    const std::uint8_t* h = file.data();
    if (std::memcmp(h, kImageMagic, sizeof kImageMagic) != 0) return Fault(error, "not a CFO image: wrong magic");
    if (GetU16(h + 4) != kImageFormatVersion)
        return Fault(error, FormatText("unsupported format version 0x%04X", unsigned{GetU16(h + 4)}));
    if (GetU16(h + 6) != kImageSlotCount)
        return Fault(error, FormatText("slot count is %u, not %u", unsigned{GetU16(h + 6)}, unsigned{kImageSlotCount}));
    for (unsigned i = 8; i < kDirSlotSize; ++i)
        if (h[i] != 0) return Fault(error, FormatText("reserved header byte %u is not zero", i));

    ImageHeader header;
    std::uint64_t next = 1;  // the page after the header and the sections so far
    for (unsigned t = 1; t <= kImageSlotCount; ++t) {
        const std::uint8_t* s = h + kDirSlotSize * t;
        const SectionKind* kind = SectionKindOf(t);
        if (kind == nullptr) {
            if (!AllZero({s, kDirSlotSize})) return Fault(error, FormatText("directory slot %u is not empty", t));
            continue;
        }
        if (GetU16(s) != t)
            return Fault(error, FormatText("directory slot %u holds section type %u", t, unsigned{GetU16(s)}));
        if (GetU16(s + 2) != 0)
            return Fault(error, FormatText("directory slot %u: reserved field is not zero", t));
        DirSlot& v = header.Slot(t);
        v = DirSlot{static_cast<std::uint16_t>(t), GetU32(s + 4), GetU32(s + 8), GetU32(s + 12)};
        if (v.firstPage != next)
            return Fault(error, FormatText("section %u starts at page %u, not at page %u after the one before", t,
                                           v.firstPage, static_cast<unsigned>(next)));
        if (kind->fixedBytes != 0 && (v.pageCount != PagesFor(kind->fixedBytes) || v.byteLength != kind->fixedBytes))
            return Fault(error, FormatText("section %u is %u pages and %u bytes, not %u pages", t, v.pageCount,
                                           v.byteLength, PagesFor(kind->fixedBytes)));
        if (v.byteLength > std::uint64_t{kPageSize} * v.pageCount)
            return Fault(error, FormatText("section %u: %u bytes do not fit its %u pages", t, v.byteLength,
                                           v.pageCount));
        if (kind->wholePages && v.byteLength != std::uint64_t{kPageSize} * v.pageCount)
            return Fault(error, FormatText("section %u: %u bytes for %u pages", t, v.byteLength, v.pageCount));
        if (!kind->wholePages && PagesFor(v.byteLength) != v.pageCount)
            return Fault(error, FormatText("section %u: %u pages for %u bytes", t, v.pageCount, v.byteLength));
        next += v.pageCount;
    }
    fileLength = kPageSize * next;
    return header;
}

std::optional<ImageHeader> ParseImageHeader(std::span<const std::uint8_t> file, std::string& error) {
    std::uint64_t next = 0;
    const std::optional<ImageHeader> parsed =
        ParseDirectory(file.first(std::min<std::size_t>(file.size(), kImageHeaderSize)), next, error);
    if (!parsed) return std::nullopt;
    const ImageHeader& header = *parsed;
    next /= kPageSize;
    if (file.size() != kPageSize * next)
        return Fault(error, FormatText("file is %u bytes, its directory describes %u", static_cast<unsigned>(file.size()),
                                       static_cast<unsigned>(kPageSize * next)));
    for (const SectionKind& kind : kSectionKinds) {
        const DirSlot& v = header.Slot(kind.type);
        const std::size_t from = std::size_t{kPageSize} * v.firstPage + v.byteLength;
        const std::size_t to = std::size_t{kPageSize} * (v.firstPage + std::size_t{v.pageCount});
        if (!AllZero(file.subspan(from, to - from)))
            return Fault(error, FormatText("section %u: padding is not zero", unsigned{kind.type}));
    }
    return header;
}

std::span<const std::uint8_t> SectionBytes(std::span<const std::uint8_t> file, const DirSlot& slot) {
    return file.subspan(std::size_t{kPageSize} * slot.firstPage, slot.byteLength);
}

namespace {
// Writes go out in blocks of this size; a larger write goes out directly.
constexpr std::size_t kBufferSize = 1 << 20;
}  // namespace

bool ImageFile::Open(const std::string& path) {
    Discard();
    if (!file_.Open(path, {.allowFifo = false, .lockFolder = true})) return false;
    if (!buffer_) buffer_ = std::make_unique_for_overwrite<std::uint8_t[]>(kBufferSize);
    return true;
}

bool ImageFile::Overwrites(const std::string& inputPath) {
    const platform::FileInfo& found = file_.Found();
    if (found.kind == platform::FileKind::kNone || platform::InfoOf(inputPath).id != found.id) return false;
    keepFound_ = true;
    return true;
}

bool ImageFile::Flush() {
    const std::size_t n = std::exchange(buffered_, 0);
    return n == 0 || file_.Write(buffer_.get(), n);
}

bool ImageFile::Write(const void* data, std::size_t size) {
    if (!buffer_ || !file_.IsOpen()) return false;
    bool whole = true;
    if (size > writeBudget_) {
        size = static_cast<std::size_t>(writeBudget_);
        whole = false;
    }
    if (writeBudget_ != UINT64_MAX) writeBudget_ -= size;
    if (buffered_ + size > kBufferSize && !Flush()) return false;
    if (size >= kBufferSize) return file_.Write(data, size) && whole;
    if (size > 0) std::memcpy(buffer_.get() + buffered_, data, size);
    buffered_ += size;
    return whole;
}

bool ImageFile::WriteZeros(std::size_t size) {
    static const std::uint8_t zeros[kPageSize] = {};
    while (size > 0) {
        std::size_t n = size < sizeof zeros ? size : sizeof zeros;
        if (!Write(zeros, n)) return false;
        size -= n;
    }
    return true;
}

bool ImageFile::PadToPage(std::uint64_t written) {
    std::uint64_t rest = written % kPageSize;
    return rest == 0 || WriteZeros(static_cast<std::size_t>(kPageSize - rest));
}

bool ImageFile::Rewind() { return Flush() && file_.Seek(0); }

bool ImageFile::Commit() {
    if (Flush() && file_.Commit()) return true;
    Discard();
    return false;
}

void ImageFile::Discard() {
    buffered_ = 0;
    file_.Discard(file_.IsOpen() && !keepFound_);
    keepFound_ = false;
}

}  // namespace zlt
