#include "base/image.h"

#include "base/bytes.h"

#include <cstring>
#include <utility>

namespace zlt {

std::array<std::uint8_t, kImageHeaderSize> ImageHeader::Serialize() const {
    std::array<std::uint8_t, kImageHeaderSize> out{};
    std::memcpy(out.data(), "CFO", 4);
    PutU16(&out[4], kImageFormatVersion);
    PutU16(&out[6], kImageSlotCount);
    for (unsigned t = 1; t <= kImageSlotCount; ++t) {
        std::uint8_t* p = &out[16 * t];
        PutU16(p, slots[t].type);
        PutU32(p + 4, slots[t].firstPage);
        PutU32(p + 8, slots[t].pageCount);
        PutU32(p + 12, slots[t].byteLength);
    }
    return out;
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
