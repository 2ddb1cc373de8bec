#include "base/image.h"

#include "base/bytes.h"
#include "platform/files.h"

#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

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

constexpr std::size_t kStreamBuffer = 1 << 20;

using platform::IsRegularFile;

}  // namespace

bool ImageFile::Open(const std::string& path) {
    Discard();
    path_ = path;
    target_ = platform::ReplacedFile(path);
    struct stat st {};
    bool targetExists = ::stat(target_.c_str(), &st) == 0;
    bool regularTarget = !targetExists || S_ISREG(st.st_mode);

    if (regularTarget) {
        std::string templ;
        int fd = platform::CreateBeside(target_, templ);
        if (fd >= 0) {
            stream_ = ::fdopen(fd, "w+b");
            if (stream_ == nullptr) {
                ::close(fd);
                ::unlink(templ.c_str());
            } else {
                tempPath_ = templ;
            }
        }
    }
    if (stream_ == nullptr) {
        stream_ = std::fopen(target_.c_str(), "w+b");
        if (stream_ == nullptr) return false;
        removeOnDiscard_ = IsRegularFile(target_);
    } else {
        removeOnDiscard_ = true;
    }
    std::setvbuf(stream_, nullptr, _IOFBF, kStreamBuffer);
    return true;
}

bool ImageFile::Write(const void* data, std::size_t size) {
    if (size > writeBudget_) {
        std::fwrite(data, 1, static_cast<std::size_t>(writeBudget_), stream_);
        writeBudget_ = 0;
        return false;
    }
    if (writeBudget_ != UINT64_MAX) writeBudget_ -= size;
    return size == 0 || std::fwrite(data, 1, size, stream_) == size;
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

bool ImageFile::Rewind() { return std::fseek(stream_, 0, SEEK_SET) == 0; }

bool ImageFile::Commit() {
    bool ok = std::fflush(stream_) == 0;
    if (ok && !tempPath_.empty()) ok = platform::FlushToDevice(stream_);
    ok = (std::fclose(stream_) == 0) && ok;
    stream_ = nullptr;
    if (ok && !tempPath_.empty()) {
        ok = platform::MoveIntoPlace(tempPath_, target_);
        if (ok) tempPath_.clear();
    }
    if (!ok) {
        Discard();
        return false;
    }
    removeOnDiscard_ = false;
    return true;
}

void ImageFile::Discard() {
    if (stream_ != nullptr) {
        std::fclose(stream_);
        stream_ = nullptr;
    }
    if (!tempPath_.empty()) {
        ::unlink(tempPath_.c_str());
        tempPath_.clear();
    }
    if (removeOnDiscard_ && IsRegularFile(path_)) ::unlink(path_.c_str());
    removeOnDiscard_ = false;
}

}  // namespace zlt
