// The files of platform/files.h on POSIX systems, with Linux's unnamed
// temporary files (O_TMPFILE) where the kernel and file system have them.
#include "platform/files.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <mutex>
#include <pthread.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace zlt::platform {

namespace {

std::atomic<bool> g_unnamedAllowed{true};

FileInfo InfoOfStat(const struct stat& st) {
    FileInfo info;
    if (S_ISREG(st.st_mode))
        info.kind = FileKind::kRegular;
    else if (S_ISDIR(st.st_mode))
        info.kind = FileKind::kFolder;
    else if (S_ISCHR(st.st_mode) || S_ISBLK(st.st_mode))
        info.kind = FileKind::kDevice;
    else if (S_ISFIFO(st.st_mode))
        info.kind = FileKind::kFifo;
    else
        info.kind = FileKind::kOther;
    info.id = {static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)};
    info.size = static_cast<std::uint64_t>(st.st_size);
    info.permissions = static_cast<std::uint32_t>(st.st_mode & 07777);
    return info;
}

// The path with its symbolic links followed, also a last one that names
// nothing yet; empty (errno ELOOP) after too many links.
std::string FollowLinks(std::string path) {
    for (int hops = 0; hops < 40; ++hops) {
        struct stat st {};
        if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return path;
        std::string link(4096, '\0');
        const ssize_t n = ::readlink(path.c_str(), link.data(), link.size());
        if (n <= 0 || static_cast<std::size_t>(n) >= link.size()) return path;
        link.resize(static_cast<std::size_t>(n));
        const std::size_t slash = path.rfind('/');
        if (link[0] != '/' && slash != std::string::npos) link = path.substr(0, slash + 1) + link;
        path = link;
    }
    errno = ELOOP;
    return {};
}

std::string FolderOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

bool ClearNonBlocking(int fd) {
    const int flags = ::fcntl(fd, F_GETFL);
    return flags >= 0 && ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) == 0;
}

bool WriteAll(int fd, const void* data, std::size_t size) {
    const char* p = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t n = ::write(fd, p, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        p += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

// Named temporary files, removed when SIGINT, SIGTERM or SIGHUP ends the
// process. The handler reads only these fixed slots: a folder descriptor and
// a name each, enough for unlinkat, which may be called from a handler.
constexpr int kCleanupSignals[] = {SIGINT, SIGTERM, SIGHUP};
constexpr int kTempSlots = 16;
struct TempSlot {
    volatile std::sig_atomic_t used;
    int folderFd;
    char name[16];
};
TempSlot g_temps[kTempSlots];
struct sigaction g_previous[std::size(kCleanupSignals)];
bool g_installed[std::size(kCleanupSignals)];
int g_tempCount = 0;
std::mutex g_tempMutex;

extern "C" void RemoveTempFilesAndRaise(int sig) {
    const int saved = errno;
    for (TempSlot& t : g_temps) {
        if (t.used) {
            ::unlinkat(t.folderFd, t.name, 0);
            t.used = 0;
        }
    }
    // The signal goes on to what handled it before: by default, the end.
    for (std::size_t i = 0; i < std::size(kCleanupSignals); ++i)
        if (kCleanupSignals[i] == sig) ::sigaction(sig, &g_previous[i], nullptr);
    ::raise(sig);
    errno = saved;
}

void BlockCleanupSignals(sigset_t& saved) {
    sigset_t set;
    sigemptyset(&set);
    for (int sig : kCleanupSignals) sigaddset(&set, sig);
    ::pthread_sigmask(SIG_BLOCK, &set, &saved);
}

void RestoreSignals(const sigset_t& saved) { ::pthread_sigmask(SIG_SETMASK, &saved, nullptr); }

// Enters a named temporary file; -1 when all slots are taken.
int RegisterTemp(int folderFd, const std::string& name) {
    std::lock_guard<std::mutex> lock(g_tempMutex);
    for (int i = 0; i < kTempSlots; ++i) {
        TempSlot& t = g_temps[i];
        if (t.used) continue;
        t.folderFd = folderFd;
        std::snprintf(t.name, sizeof t.name, "%s", name.c_str());
        std::atomic_signal_fence(std::memory_order_seq_cst);
        t.used = 1;
        if (g_tempCount++ == 0) {
            // A signal that is ignored ends nothing; it keeps its disposition.
            struct sigaction action {};
            action.sa_handler = RemoveTempFilesAndRaise;
            sigemptyset(&action.sa_mask);
            for (int sig : kCleanupSignals) sigaddset(&action.sa_mask, sig);
            for (std::size_t s = 0; s < std::size(kCleanupSignals); ++s) {
                ::sigaction(kCleanupSignals[s], nullptr, &g_previous[s]);
                g_installed[s] = g_previous[s].sa_handler != SIG_IGN;
                if (g_installed[s]) ::sigaction(kCleanupSignals[s], &action, nullptr);
            }
        }
        return i;
    }
    return -1;
}

void UnregisterTemp(int slot) {
    if (slot < 0) return;
    std::lock_guard<std::mutex> lock(g_tempMutex);
    g_temps[slot].used = 0;
    if (--g_tempCount == 0) {
        for (std::size_t s = 0; s < std::size(kCleanupSignals); ++s)
            if (g_installed[s]) ::sigaction(kCleanupSignals[s], &g_previous[s], nullptr);
    }
}

}  // namespace

int OpenForReading(const char* path) {
    return ::open(path, O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
}

FileInfo InfoOf(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return {};
    return InfoOfStat(st);
}

bool ReadsWindowsPaths() { return false; }

void SetUnnamedTempFiles(bool allowed) { g_unnamedAllowed = allowed; }

bool WholeFile::FindTarget(const std::string& path, bool lockFolder) {
    target_ = FollowLinks(path);
    if (target_.empty()) return Fail(Fault::kOther, ELOOP);
    folder_ = FolderOf(target_);
    if (lockFolder) {
        // Without a folder or a lock the write goes on unlocked; creating the
        // file reports a missing folder.
        folderFd_ = ::open(folder_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (folderFd_ >= 0) {
            int r;
            while ((r = ::flock(folderFd_, LOCK_EX)) != 0 && errno == EINTR) {
            }
            locked_ = r == 0;
        }
    }
    found_ = InfoOf(target_);
    return true;
}

bool WholeFile::OpenInPlace(bool allowFifo) {
    const bool fifo = found_.kind == FileKind::kFifo;
    const int fd = ::open(target_.c_str(), O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fifo && !allowFifo) {
        // A reader waiting at the FIFO sees it end instead of waiting on.
        if (fd >= 0) ::close(fd);
        return Fail(Fault::kFifo, 0);
    }
    if (fd < 0) return Fail(fifo && errno == ENXIO ? Fault::kNoReader : Fault::kOther, errno);
    fd_ = fd;
    inPlace_ = open_ = true;
    return ClearNonBlocking(fd_) || Fail(Fault::kOther, errno);
}

bool WholeFile::OpenTemp() {
    // A file its owner made read-only is not replaced behind its back.
    if (found_.kind == FileKind::kRegular && ::faccessat(AT_FDCWD, target_.c_str(), W_OK, AT_EACCESS) != 0)
        return Fail(Fault::kOther, errno);
    auto failTemp = [this](int error) {
        const bool denied = error == EACCES || error == EPERM || error == EROFS || error == ENOSPC ||
                            error == EDQUOT;
        return Fail(denied ? Fault::kNoTemp : Fault::kOther, error);
    };
    if (g_unnamedAllowed) {
        fd_ = ::open(folder_.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0666);
        unnamed_ = fd_ >= 0;
        if (!unnamed_ && errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL) return failTemp(errno);
    }
    if (!unnamed_) {
        if (folderFd_ < 0) folderFd_ = ::open(folder_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (folderFd_ < 0) return failTemp(errno);
        for (int tries = 0; fd_ < 0 && tries < 100; ++tries) {
            const std::string name = TempName(static_cast<std::uint64_t>(::getpid()));
            sigset_t saved;
            BlockCleanupSignals(saved);
            fd_ = ::openat(folderFd_, name.c_str(), O_CREAT | O_EXCL | O_RDWR | O_CLOEXEC, 0666);
            const int error = errno;
            if (fd_ >= 0) {
                tempName_ = name;
                tempSlot_ = RegisterTemp(folderFd_, name);
            }
            RestoreSignals(saved);
            if (fd_ < 0 && error != EEXIST) return failTemp(error);
        }
        if (fd_ < 0) return failTemp(EEXIST);
    }
    // A file that is replaced keeps its permissions; a new one gets the
    // umask's, as the creating open gave them.
    if (found_.kind == FileKind::kRegular && ::fchmod(fd_, static_cast<mode_t>(found_.permissions)) != 0) {
        const int error = errno;
        Discard(false);
        return Fail(Fault::kOther, error);
    }
    open_ = true;
    return true;
}

bool WholeFile::Write(const void* data, std::size_t size) {
    if (fd_ < 0) return false;
    if (WriteAll(fd_, data, size)) return true;
    error_ = errno;
    return false;
}

bool WholeFile::Seek(std::uint64_t offset) {
    return fd_ >= 0 && ::lseek(fd_, static_cast<off_t>(offset), SEEK_SET) == static_cast<off_t>(offset);
}

bool WholeFile::LinkUnnamed() {
    char proc[64];
    std::snprintf(proc, sizeof proc, "/proc/self/fd/%d", fd_);
    auto linkTo = [&](const std::string& path) {
        return ::linkat(AT_FDCWD, proc, AT_FDCWD, path.c_str(), AT_SYMLINK_FOLLOW) == 0 ||
               (errno == ENOENT && ::linkat(fd_, "", AT_FDCWD, path.c_str(), AT_EMPTY_PATH) == 0);
    };
    if (found_.kind == FileKind::kNone) {
        if (linkTo(target_)) return true;
        if (errno != EEXIST) return false;
    }
    // A link never replaces a file: the complete file gets a name of its own
    // and is renamed over the old one. Signals that would end the process
    // wait meanwhile, so that only SIGKILL can leave that name behind.
    sigset_t saved;
    BlockCleanupSignals(saved);
    std::string temp;
    bool ok = false;
    for (int tries = 0; !ok && tries < 100; ++tries) {
        temp = folder_ + "/" + TempName(static_cast<std::uint64_t>(::getpid()));
        ok = linkTo(temp);
        if (!ok && errno != EEXIST) break;
    }
    if (ok && ::rename(temp.c_str(), target_.c_str()) != 0) {
        const int error = errno;
        ::unlink(temp.c_str());
        errno = error;
        ok = false;
    }
    const int error = errno;
    RestoreSignals(saved);
    errno = error;
    return ok;
}

int WholeFile::PutInPlace() {
    int error = 0;
    if (!inPlace_ && ::fsync(fd_) != 0) error = errno;
    if (error == 0 && unnamed_ && !LinkUnnamed()) error = errno;
    if (error == 0 && !tempName_.empty()) {
        if (::renameat(folderFd_, tempName_.c_str(), AT_FDCWD, target_.c_str()) != 0) {
            error = errno;
        } else {
            UnregisterTemp(std::exchange(tempSlot_, -1));
            tempName_.clear();
        }
    }
    if (::close(std::exchange(fd_, -1)) != 0 && error == 0 && inPlace_) error = errno;
    return error;
}

void WholeFile::DropFile() {
    if (fd_ >= 0) ::close(std::exchange(fd_, -1));
    if (!tempName_.empty()) {
        UnregisterTemp(std::exchange(tempSlot_, -1));
        ::unlinkat(folderFd_, tempName_.c_str(), 0);
        tempName_.clear();
    }
}

void WholeFile::RemoveFound() {
    struct stat st {};
    if (::lstat(target_.c_str(), &st) == 0 && S_ISREG(st.st_mode) && InfoOfStat(st).id == found_.id)
        ::unlink(target_.c_str());
}

void WholeFile::ReleaseFolder() {
    if (folderFd_ >= 0) ::close(std::exchange(folderFd_, -1));  // also ends the lock
    locked_ = false;
}

MappedFile::~MappedFile() {
    if (map_ != nullptr) ::munmap(map_, mapLength_);
    if (fd_ >= 0) ::close(fd_);
}

bool MappedFile::Open(const std::string& path) {
    fd_ = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    struct stat st {};
    if (fd_ < 0 || ::fstat(fd_, &st) != 0) {
        error_ = errno;
        return false;
    }
    info_ = InfoOfStat(st);
    return true;
}

std::size_t MappedFile::ReadAt(std::uint64_t offset, void* data, std::size_t size) {
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = ::pread(fd_, static_cast<char*>(data) + done, size - done,
                                  static_cast<off_t>(offset + done));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) error_ = errno;
        if (n <= 0) break;
        done += static_cast<std::size_t>(n);
    }
    return done;
}

bool MappedFile::Map(std::uint64_t length) {
    if (length == 0) return true;
    if (length > SIZE_MAX) {
        error_ = ENOMEM;
        return false;
    }
    void* p = ::mmap(nullptr, static_cast<std::size_t>(length), PROT_READ, MAP_PRIVATE, fd_, 0);
    if (p == MAP_FAILED) {
        error_ = errno;
        return false;
    }
    map_ = p;
    mapLength_ = static_cast<std::size_t>(length);
    bytes_ = std::string_view(static_cast<const char*>(p), mapLength_);
    return true;
}

}  // namespace zlt::platform
