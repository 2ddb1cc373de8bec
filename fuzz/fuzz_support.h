// Helpers shared by the fuzz targets.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>

namespace zlt::fuzz {

inline int Discard(const char*) { return 0; }

// A folder of this process for the files a target writes, made once, on a
// memory file system where there is one (an image is fsync'ed before it is
// moved into place), and removed when the process exits normally.
inline const std::string& WorkFolder() {
    static const std::string dir = [] {
        namespace fs = std::filesystem;
        const fs::path base = fs::exists("/dev/shm") ? fs::path("/dev/shm") : fs::temp_directory_path();
        std::string templ = (base / "zlt900-fuzz-XXXXXX").string();
        if (::mkdtemp(templ.data()) == nullptr) std::abort();
        return templ;
    }();
    static const bool cleanup = std::atexit([] {
        std::error_code ec;
        std::filesystem::remove_all(WorkFolder(), ec);
    }) == 0;
    (void)cleanup;
    return dir;
}

}  // namespace zlt::fuzz
