#include "zlt900-snx/output.h"

#include "word/clip_writer.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <set>
#include <sys/stat.h>
#include <unistd.h>

namespace zlt::snx {

namespace fs = std::filesystem;

std::optional<std::vector<std::string>> PlanOutputs(const std::vector<std::string>& inputs, const char* output,
                                                    std::string& error) {
    std::vector<std::string> paths;
    std::error_code ec;
    const bool folder = output != nullptr && (std::string_view(output).ends_with('/') || fs::is_directory(output, ec));
    if (output != nullptr && !folder && inputs.size() > 1) {
        error = std::string("with several inputs, -o must name a folder; ") + output + " is none";
        return std::nullopt;
    }
    std::set<fs::path> taken;
    for (const std::string& in : inputs) {
        fs::path out;
        if (output == nullptr)
            out = fs::path(in).replace_extension(".snx");
        else if (folder)
            out = fs::path(output) / fs::path(in).filename().replace_extension(".snx");
        else
            out = output;
        if (!taken.insert(out.lexically_normal()).second) {
            error = "two inputs would both be written to " + out.string();
            return std::nullopt;
        }
        paths.push_back(out.string());
    }
    return paths;
}

bool WriteWhole(const std::string& path, std::span<const std::uint8_t> bytes, std::string& error) {
    const fs::path target(path);
    const fs::path dir = target.has_parent_path() ? target.parent_path() : fs::path(".");
    std::string temp = (dir / ("." + target.filename().string() + ".XXXXXX")).string();
    const int fd = ::mkstemp(temp.data());
    if (fd < 0) {
        error = std::strerror(errno);
        return false;
    }
    ::close(fd);
    // mkstemp makes the file private; a clip gets the usual permissions.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    if (!WriteClipFile(temp, bytes) || ::chmod(temp.c_str(), 0666 & ~mask) != 0 ||
        std::rename(temp.c_str(), path.c_str()) != 0) {
        error = std::strerror(errno);
        std::remove(temp.c_str());
        return false;
    }
    return true;
}

}  // namespace zlt::snx
