// What every platform shares of platform/files.h: the names of kinds and
// faults, the temporary files' names, and the course of a whole file's open,
// commit and discard around the steps each platform takes its own way.
#include "platform/files.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>

namespace zlt::platform {

const char* KindName(FileKind kind) {
    switch (kind) {
    case FileKind::kNone: return "nothing";
    case FileKind::kRegular: return "a regular file";
    case FileKind::kFolder: return "a folder";
    case FileKind::kDevice: return "a device";
    case FileKind::kFifo: return "a FIFO";
    case FileKind::kOther: return "a socket";
    }
    return "";
}

std::string WholeFile::TempName(std::uint64_t process) {
    static std::atomic<std::uint64_t> counter{0};
    std::uint64_t x = process * 0x9E3779B97F4A7C15ull ^
                      static_cast<std::uint64_t>(
                          std::chrono::steady_clock::now().time_since_epoch().count()) ^
                      (counter.fetch_add(1) << 40);
    x ^= x >> 31;
    x *= 0xBF58476D1CE4E5B9ull;
    x ^= x >> 29;
    std::string name = ".zlt-";
    for (int i = 0; i < 8; ++i, x >>= 5) name += "abcdefghijklmnopqrstuvwxyz234567"[x & 31];
    return name;
}

bool WholeFile::Fail(Fault fault, int error) {
    fault_ = fault;
    error_ = error;
    return false;
}

std::string WholeFile::Reason() const {
    switch (fault_) {
    case Fault::kNone: return {};
    case Fault::kNoTemp: return std::string(std::strerror(error_)) + ": no new file can be made in its folder";
    case Fault::kFifo: return "a FIFO; only a regular file or a device is written";
    case Fault::kNoReader: return "a FIFO with no reader";
    case Fault::kOther: return std::strerror(error_);
    }
    return {};
}

bool WholeFile::Open(const std::string& path, Options options) {
    Discard(false);
    fault_ = Fault::kNone;
    error_ = 0;
    found_ = {};
    if (path.empty()) return Fail(Fault::kOther, ENOENT);
    if (!FindTarget(path, options.lockFolder)) return false;
    switch (found_.kind) {
    case FileKind::kFolder: return Fail(Fault::kOther, EISDIR);
    case FileKind::kOther: return Fail(Fault::kOther, ENXIO);
    case FileKind::kFifo:
    case FileKind::kDevice: return OpenInPlace(options.allowFifo);
    case FileKind::kRegular:
    case FileKind::kNone: return OpenTemp();
    }
    return Fail(Fault::kOther, EINVAL);
}

bool WholeFile::Commit() {
    if (fd_ < 0) return false;
    const int error = PutInPlace();
    if (error != 0) return Fail(Fault::kOther, error);
    open_ = false;
    found_ = {};
    ReleaseFolder();
    return true;
}

void WholeFile::Discard(bool removeFound) {
    DropFile();
    // Only the very file found there: not one that took its place, not
    // through a link that took its place.
    if (removeFound && found_.kind == FileKind::kRegular) RemoveFound();
    found_ = {};
    open_ = inPlace_ = unnamed_ = false;
    ReleaseFolder();
}

}  // namespace zlt::platform
