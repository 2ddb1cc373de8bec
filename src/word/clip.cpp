#include "word/clip.h"

#include "base/bytes.h"
#include "base/message.h"
#include "base/progress.h"
#include "platform/files.h"
#include "word/clip_path.h"

#include <bit>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zlt {

namespace {

constexpr char kSignature[] = "Sonorium Format";
constexpr char kFormatTag[] = "SNX";

// A text field matches when it holds the text and its NUL.
bool FieldIs(const ClipHeader& h, std::size_t offset, const char* text, std::size_t size) {
    return std::memcmp(&h[offset], text, size) == 0;
}

bool IsRegular(const struct stat& st) { return S_ISREG(st.st_mode); }

}  // namespace

ClipFormat FormatOf(const ClipHeader& h) {
    ClipFormat f;
    f.channels = GetU16(&h[clip_field::kChannels]);
    f.bitsPerChannel = GetU16(&h[clip_field::kBitsPerChannel]);
    f.sampleRate = GetU32(&h[clip_field::kSampleRate]);
    f.dataLength = GetU32(&h[clip_field::kDataLength]);
    f.version = GetU32(&h[clip_field::kVersion]);
    return f;
}

std::uint32_t DataOffsetOf(const ClipHeader& h) { return GetU32(&h[clip_field::kDataOffset]); }

std::optional<ClipKey> KeyOf(const ClipHeader& h) {
    unsigned a = h[clip_field::kKeyIndexA];
    unsigned b = h[clip_field::kKeyIndexB];
    if (a > kMaxKeyIndex || b > kMaxKeyIndex) return std::nullopt;
    return ClipKey{h[clip_field::kKeyArea + a], h[clip_field::kKeyArea + b]};
}

ClipFault HeaderFault(const ClipHeader& h) {
    if (!FieldIs(h, clip_field::kSignature, kSignature, sizeof kSignature) ||
        !FieldIs(h, clip_field::kFormatTag, kFormatTag, sizeof kFormatTag))
        return ClipFault::kSignature;
    const ClipFormat f = FormatOf(h);
    if (f.version < kClipVersionFirst || f.version > kClipVersionLast) return ClipFault::kVersion;
    if (f.channels < 1 || f.channels > 2) return ClipFault::kChannels;
    if (f.bitsPerChannel != 8 && f.bitsPerChannel != 16) return ClipFault::kBitsPerChannel;
    if (f.sampleRate < 2100 || f.sampleRate > 48000) return ClipFault::kSampleRate;
    if (f.dataLength == 0) return ClipFault::kDataLength;
    // A key byte must come from inside the header; the format defines no
    // clip whose key index points past it.
    if (!KeyOf(h)) return ClipFault::kKeyIndex;
    return ClipFault::kNone;
}

namespace {

// Why the clip at path cannot be accessed, for the located message.
std::string AccessProblem(const char* path) {
    if (IsForeignDrivePath(path))
        return "names a Windows drive, which is no file here; name the clip relative to the folder the link runs in";
    struct stat st {};
    if (::stat(ClipFileName(path).c_str(), &st) != 0) {
        if (path[0] == '/') return "is not found";
        char cwd[4096];
        return std::string("is not found (relative to ") + (::getcwd(cwd, sizeof cwd) ? cwd : ".") + ")";
    }
    return IsRegular(st) ? "cannot be read" : "is not a regular file";
}

}  // namespace

bool ReportClipFault(Reporter& report, ClipFault fault, const ClipFormat& f, const char* path,
                     const ClipSite& site) {
    const std::string word = site.key.empty() ? "a word" : site.key;
    const std::string& key = site.key;
    const TextSpan at = site.at;
    switch (fault) {
    case ClipFault::kNone:
        return true;
    case ClipFault::kAccess:
        if (IsForeignDrivePath(path))
            return report.Fail(Found<Diag::kClipMissing>(at, key, path, word, AccessProblem(path)),
                               "\nErr: Can not access file %s (a Windows drive path: name the clip "
                               "relative to the folder the link runs in)", path);
        return report.Fail(Found<Diag::kClipMissing>(at, key, path, word, AccessProblem(path)),
                           "\nErr: Can not access file %s", path);
    case ClipFault::kOpen:
        return report.Fail(Found<Diag::kClipUnreadable>(at, key, path, word, "cannot be opened"),
                           "\nErr: Can not open file %s", path);
    case ClipFault::kRead:
        return report.Fail(Found<Diag::kClipUnreadable>(at, key, path, word, "is shorter than its 128-byte header"),
                           "\nErr: Can not read file %s", path);
    case ClipFault::kSignature:
        return report.Fail(Found<Diag::kClipSignature>(at, key, path, word),
                           "\nErr: Invalid SNX-Signature of file %s", path);
    case ClipFault::kVersion:
        return report.Fail(Found<Diag::kClipVersion>(at, key, path, word, FormatText("0x%0.8X", f.version)),
                           "\nErr: Unsupported SNX-Version of file %s", path);
    case ClipFault::kChannels:
        return report.Fail(Found<Diag::kClipChannels>(at, key, path, word, std::to_string(f.channels)),
                           "\nErr: ZLT unsupported SNX-Channels(%d) of file %s", int{f.channels}, path);
    case ClipFault::kBitsPerChannel:
        return report.Fail(Found<Diag::kClipBits>(at, key, path, word, std::to_string(f.bitsPerChannel)),
                           "\nErr: ZLT unsupported SNX-BitsPerChannel(%d) of file %s", int{f.bitsPerChannel},
                           path);
    case ClipFault::kSampleRate:
        return report.Fail(Found<Diag::kClipRate>(at, key, path, word, std::to_string(f.sampleRate)),
                           "\nErr: ZLT unsupported SNX-SampleRate (%dHz) of file %s",
                           static_cast<int>(f.sampleRate), path);
    case ClipFault::kDataLength:
        return report.Fail(Found<Diag::kClipDataLength>(at, key, path, word, "0"),
                           "\nErr: Invalid SNX-DataLength of file %s", path);
    case ClipFault::kKeyIndex:
        return report.Fail(Found<Diag::kClipKeyIndex>(at, key, path, word),
                           "\nErr: Invalid SNX-KeyIndex of file %s", path);
    case ClipFault::kDataTooLong:
        // LengthUnits would lose the high bits of the length.
        return report.Fail(Found<Diag::kClipDataLength>(at, key, path, word, std::to_string(f.dataLength)),
                           "\nErr: ZLT unsupported SNX-DataLength(%u) of file %s", f.dataLength, path);
    case ClipFault::kDataShort:
        return report.Fail(Found<Diag::kClipDataShort>(at, key, path, word, std::to_string(f.dataLength)),
                           "\nErr: Can not read file %s", path);
    }
    return false;
}

bool CheckClipHeader(const char* path, ClipHeader& h) {
    const ClipFault fault = HeaderFault(h);
    if (fault != ClipFault::kNone) {
        Reporter link;
        return ReportClipFault(link, fault, FormatOf(h), path, {});
    }
    PutU32(&h[clip_field::kDataLength], GetU32(&h[clip_field::kDataLength]) & ~3u);
    return true;
}

bool ClipAccessible(const char* path) {
    const std::string file = ClipFileName(path);
    struct stat st {};
    return ::stat(file.c_str(), &st) == 0 && IsRegular(st) && ::access(file.c_str(), R_OK) == 0;
}

ClipFile::~ClipFile() {
    if (fd_ >= 0) ::close(fd_);
}

ClipFile::Opened ClipFile::Open(const char* written) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    const std::string path = ClipFileName(written);
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0 && !IsRegular(st)) return Opened::kNotRegular;
    // Non-blocking, so that a FIFO put in the file's place after the test
    // above cannot stall the open; the descriptor's own type decides.
    int fd = platform::OpenForReading(path.c_str());
    if (fd < 0) return Opened::kFailed;
    if (::fstat(fd, &st) != 0 || !IsRegular(st)) {
        ::close(fd);
        return Opened::kNotRegular;
    }
#ifdef POSIX_FADV_SEQUENTIAL
    ::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
#endif
    fd_ = fd;
    ReportInput(path.c_str());
    return Opened::kOk;
}

std::size_t ClipFile::Read(void* into, std::size_t size) {
    auto* p = static_cast<std::uint8_t*>(into);
    std::size_t done = 0;
    while (done < size) {
        ssize_t n = ::read(fd_, p + done, size - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        done += static_cast<std::size_t>(n);
    }
    return done;
}

bool ClipFile::Seek(std::uint64_t offset) {
    return ::lseek(fd_, static_cast<off_t>(offset), SEEK_SET) == static_cast<off_t>(offset);
}

std::uint64_t ClipFile::Size() const {
    struct stat st {};
    return ::fstat(fd_, &st) == 0 ? static_cast<std::uint64_t>(st.st_size) : 0;
}

ClipFault OpenClip(const char* path, ClipFile& file, ClipHeader& header) {
    switch (file.Open(path)) {
    case ClipFile::Opened::kOk:
        break;
    case ClipFile::Opened::kNotRegular:
        return ClipFault::kAccess;
    case ClipFile::Opened::kFailed:
        return ClipFault::kOpen;
    }
    return file.Read(header.data(), header.size()) == header.size() ? ClipFault::kNone : ClipFault::kRead;
}

bool ReadClipHeader(Reporter& report, const char* path, const ClipSite& site, ClipFormat& format,
                    std::uint32_t* dataOffset, std::uint64_t* fileSize) {
    format = ClipFormat{};
    ClipFile file;
    ClipHeader header{};
    ClipFault fault = OpenClip(path, file, header);
    if (fault == ClipFault::kNone) fault = HeaderFault(header);
    if (fault != ClipFault::kNone) return ReportClipFault(report, fault, FormatOf(header), path, site);
    format = FormatOf(header);
    format.dataLength &= ~3u;
    if (dataOffset) *dataOffset = DataOffsetOf(header);
    if (fileSize) *fileSize = file.Size();
    return true;
}

bool ReadClipHeader(const char* path, ClipFormat& format) {
    Reporter link;
    return ReadClipHeader(link, path, {}, format);
}

// The block transform works on 64-bit words read and written little-endian,
// so that byte n of a block is always bits 8n to 8n+7 of its word.
namespace {

constexpr std::uint64_t kLowBytes = 0x00FF00FF00FF00FFull;

std::uint64_t LoadLE64(const std::uint8_t* p) {
    std::uint64_t v;
    std::memcpy(&v, p, sizeof v);
    if constexpr (std::endian::native == std::endian::big) v = __builtin_bswap64(v);
    return v;
}

void StoreLE64(std::uint8_t* p, std::uint64_t v) {
    if constexpr (std::endian::native == std::endian::big) v = __builtin_bswap64(v);
    std::memcpy(p, &v, sizeof v);
}

// Swaps the two bytes of every 16-bit lane.
std::uint64_t SwapPairs(std::uint64_t v) { return ((v & kLowBytes) << 8) | ((v >> 8) & kLowBytes); }

}  // namespace

BlockTransform::BlockTransform(ClipKey key, unsigned bitsPerChannel) : wide_(bitsPerChannel == 16) {
    // Key bytes of pair p: KA + p for its first byte, KB - p for its second.
    std::uint8_t* bytes = mask_.data();
    constexpr std::size_t kPairs = kClipBlockSize / 2;
    for (std::size_t p = 0; p < kPairs; ++p) {
        auto ka = static_cast<std::uint8_t>(key.a + p);
        auto kb = static_cast<std::uint8_t>(key.b - p);
        if (wide_) {
            bytes[p] = ka;
            bytes[kPairs + p] = static_cast<std::uint8_t>(kb ^ 0x80);
        } else {
            bytes[2 * p] = ka;
            bytes[2 * p + 1] = kb;
        }
    }
}

void BlockTransform::Apply(const std::uint8_t* in, std::uint8_t* out, std::size_t blocks) const {
    for (std::size_t b = 0; b < blocks; ++b) {
        if (wide_)
            Apply16(in + b * kClipBlockSize, out + b * kClipBlockSize);
        else
            Apply8(in + b * kClipBlockSize, out + b * kClipBlockSize);
    }
}

void BlockTransform::Apply8(const std::uint8_t* in, std::uint8_t* out) const {
    for (std::size_t w = 0; w < kWords; ++w)
        StoreLE64(out + 8 * w, SwapPairs(LoadLE64(in + 8 * w)) ^ LoadLE64(&mask_[8 * w]));
    // The 16 bytes from (m | 1) on are XORed with the first byte m; they lie
    // within bytes 1 to 270, so out[0] itself stays as it is.
    const std::uint8_t m = out[0];
    const std::uint64_t x = m * 0x0101010101010101ull;
    std::uint8_t* p = out + (m | 1);
    StoreLE64(p, LoadLE64(p) ^ x);
    StoreLE64(p + 8, LoadLE64(p + 8) ^ x);
}

void BlockTransform::Apply16(const std::uint8_t* in, std::uint8_t* out) const {
    // Word j of the block is bytes 2j (low) and 2j+1 (high). The pair
    // transform swaps them, so the page's low byte of word j comes from input
    // byte 2j+1 and its high byte from input byte 2j. This is a fixed shuffle
    // of the whole block, which compilers turn into vector instructions; it
    // runs about four times as fast as packing bytes within 64-bit words.
    constexpr std::size_t kHalf = kClipBlockSize / 2;
    const std::uint8_t* mask = mask_.data();
    for (std::size_t j = 0; j < kHalf; ++j) {
        out[j] = in[2 * j + 1] ^ mask[j];
        out[kHalf + j] = in[2 * j] ^ mask[kHalf + j];
    }
}

}  // namespace zlt
