#include "base/image.h"

#include "base/bytes.h"
#include "base/format.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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

std::optional<ImageHeader> ParseImageHeader(std::span<const std::uint8_t> file, std::string& error) {
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

constexpr std::size_t kStreamBuffer = 1 << 20;

// The permission bits a newly created file gets from this process's umask.
mode_t DefaultFileMode() {
    mode_t mask = 022;
    if (std::FILE* f = std::fopen("/proc/self/status", "r")) {
        char line[256];
        while (std::fgets(line, sizeof line, f)) {
            unsigned m = 0;
            if (std::sscanf(line, "Umask: %o", &m) == 1) {
                mask = static_cast<mode_t>(m);
                break;
            }
        }
        std::fclose(f);
    }
    return static_cast<mode_t>(0666 & ~mask);
}

bool IsRegularFile(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

}  // namespace

bool ImageFile::Open(const std::string& path) {
    Discard();
    path_ = path;
    target_ = path;
    struct stat lst {};
    bool exists = ::lstat(path.c_str(), &lst) == 0;
    if (exists && S_ISLNK(lst.st_mode)) {
        // Replace the file the link points at, keeping the link.
        char resolved[PATH_MAX];
        if (::realpath(path.c_str(), resolved) != nullptr) target_ = resolved;
    }
    struct stat st {};
    bool targetExists = ::stat(target_.c_str(), &st) == 0;
    bool regularTarget = !targetExists || S_ISREG(st.st_mode);

    if (regularTarget) {
        std::string templ = target_ + ".tmp-XXXXXX";
        int fd = ::mkstemp(templ.data());
        if (fd >= 0) {
            ::fchmod(fd, targetExists ? (st.st_mode & 07777) : DefaultFileMode());
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
    if (ok && !tempPath_.empty()) ok = ::fsync(::fileno(stream_)) == 0;
    ok = (std::fclose(stream_) == 0) && ok;
    stream_ = nullptr;
    if (ok && !tempPath_.empty()) {
        ok = std::rename(tempPath_.c_str(), target_.c_str()) == 0;
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
