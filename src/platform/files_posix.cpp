#include "platform/files.h"

#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zlt::platform {

namespace {

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

}  // namespace

int OpenForReading(const char* path) {
    return ::open(path, O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
}

bool IsRegularFile(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

std::string ReplacedFile(const std::string& path) {
    struct stat lst {};
    if (::lstat(path.c_str(), &lst) == 0 && S_ISLNK(lst.st_mode)) {
        // Replace the file the link points at, keeping the link.
        char resolved[PATH_MAX];
        if (::realpath(path.c_str(), resolved) != nullptr) return resolved;
    }
    return path;
}

int CreateBeside(const std::string& target, std::string& tempPath) {
    struct stat st {};
    bool targetExists = ::stat(target.c_str(), &st) == 0;
    tempPath = target + ".tmp-XXXXXX";
    int fd = ::mkstemp(tempPath.data());
    if (fd >= 0) ::fchmod(fd, targetExists ? (st.st_mode & 07777) : DefaultFileMode());
    return fd;
}

bool FlushToDevice(std::FILE* stream) { return ::fsync(::fileno(stream)) == 0; }

bool MoveIntoPlace(const std::string& from, const std::string& to) {
    return std::rename(from.c_str(), to.c_str()) == 0;
}

}  // namespace zlt::platform
