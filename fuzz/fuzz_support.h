// Helpers shared by the fuzz targets.
#pragma once

#include "base/diagnostic.h"

#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>
#include <unistd.h>
#include <vector>

namespace zlt::fuzz {

inline int Discard(const char*) { return 0; }

// The first error line sent since it was last cleared, by an output
// callback that keeps nothing else.
inline std::string& FirstErrorLine() {
    static std::string line;
    return line;
}
inline int KeepFirstError(const char* text) {
    if (FirstErrorLine().empty() && std::string_view(text).starts_with("\nErr: ")) FirstErrorLine() = text;
    return 0;
}

// The error line of the diagnostic that a check flags as where a link
// stops; empty when there is none.
inline std::string FlaggedLine(const std::vector<Diagnostic>& found) {
    for (const Diagnostic& d : found)
        if (d.stopsLink) return d.linkLine;
    return {};
}

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
