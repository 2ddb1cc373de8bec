// Files through the C runtime of Windows, opened in binary mode (the runtime
// would otherwise translate line ends), and moved into place with
// MoveFileExA, since the runtime's rename does not replace a file.
#include "platform/files.h"

#include <atomic>
#include <cerrno>
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <windows.h>

namespace zlt::platform {

int OpenForReading(const char* path) { return ::_open(path, _O_RDONLY | _O_BINARY | _O_NOINHERIT); }

// Windows programs meet no symbolic links in the paths they are given; a
// path is taken as it is.
bool IsRegularFile(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

std::string ReplacedFile(const std::string& path) { return path; }

int CreateBeside(const std::string& target, std::string& tempPath) {
    // A name no other file has: the process id, a tick count and a counter,
    // tried until the exclusive create succeeds.
    static std::atomic<unsigned> counter{0};
    for (int attempt = 0; attempt < 100; ++attempt) {
        char suffix[40];
        std::snprintf(suffix, sizeof suffix, ".tmp-%lx-%lx-%x", GetCurrentProcessId(), GetTickCount(),
                      counter.fetch_add(1) + 1);
        tempPath = target + suffix;
        int fd = ::_open(tempPath.c_str(), _O_RDWR | _O_CREAT | _O_EXCL | _O_BINARY | _O_NOINHERIT,
                         _S_IREAD | _S_IWRITE);
        if (fd >= 0 || errno != EEXIST) return fd;
    }
    return -1;
}

bool FlushToDevice(std::FILE* stream) { return ::_commit(::_fileno(stream)) == 0; }

bool MoveIntoPlace(const std::string& from, const std::string& to) {
    return MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

}  // namespace zlt::platform
