// Helpers shared by the fuzz targets, each of which includes this first: the
// output callbacks, the oracle that a check agrees with a link, files in a
// folder of the process, and std::abort and std::fprintf for the findings.
#pragma once

#include "base/bytes.h"
#include "base/diagnostic.h"
#include "base/message.h"
#include "word/clip_writer.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>
#include <unistd.h>
#include <vector>

namespace zlt::fuzz {

inline int Discard(const char*) { return 0; }

// The first error line sent since it was last cleared, by an output
// callback that keeps nothing else.
inline std::string firstErrorLine;
inline int KeepFirstError(const char* text) {
    if (firstErrorLine.empty() && std::string_view(text).starts_with("\nErr: ")) firstErrorLine = text;
    return 0;
}

// A run in link mode: whether it succeeds and the first error line it sends.
struct LinkRun {
    bool ok;
    std::string errorLine;
};
// Runs `link` with its output discarded but for its first error line.
template <typename Link>
LinkRun RunInLinkMode(Link link) {
    firstErrorLine.clear();
    SetOutputCallback(KeepFirstError);
    const bool ok = link();
    SetOutputCallback(Discard);
    return {ok, firstErrorLine};
}

// A check of the same input finds an error exactly when the link fails, and
// flags the link's error line as where it stops.
inline void RequireCheckAgrees(const LinkRun& link, const std::vector<Diagnostic>& found) {
    const bool error = std::ranges::any_of(found, [](const Diagnostic& d) { return d.severity == Severity::kError; });
    const auto flagged = std::ranges::find_if(found, &Diagnostic::stopsLink);
    const std::string flaggedLine = flagged == found.end() ? "" : flagged->linkLine;
    if (error == link.ok || flaggedLine != link.errorLine) {
        std::fprintf(stderr, "the link %s (%s), the check finds %s error (%s)\n", link.ok ? "succeeds" : "fails",
                     link.errorLine.c_str(), error ? "an" : "no", flaggedLine.c_str());
        std::abort();
    }
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
    [[maybe_unused]] static const int cleanup = std::atexit([] {
        std::error_code ec;
        std::filesystem::remove_all(WorkFolder(), ec);
    });
    return dir;
}

inline void WriteFile(const std::string& path, std::span<const std::uint8_t> bytes) {
    if (!WriteClipFile(path, bytes)) std::abort();
}

inline std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) std::abort();
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

}  // namespace zlt::fuzz
