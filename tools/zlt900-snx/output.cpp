#include "zlt900-snx/output.h"

#include "platform/files.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <set>

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
        // Also through links: an output must not be any of the inputs.
        const platform::FileInfo target = platform::InfoOf(out.string());
        for (const std::string& other : inputs) {
            if (target.kind != platform::FileKind::kNone && platform::InfoOf(other).id == target.id) {
                error = out.string() + " is the input " + other + "; nothing was written";
                return std::nullopt;
            }
        }
        paths.push_back(out.string());
    }
    return paths;
}

bool WriteWhole(const std::string& path, std::span<const std::uint8_t> bytes, std::string& error) {
    // A FIFO with a reader takes the clip: it is complete before a byte goes out.
    platform::WholeFile file;
    if (!file.Open(path, {.allowFifo = true, .lockFolder = false}) || !file.Write(bytes.data(), bytes.size()) ||
        !file.Commit()) {
        error = file.Reason();
        if (error.empty()) error = std::strerror(errno);
        return false;
    }
    return true;
}

}  // namespace zlt::snx
