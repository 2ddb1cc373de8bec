#include "studio/guard.h"

#include "base/names.h"

#include <array>
#include <cstdio>
#include <filesystem>
#include <random>

namespace zlt::studio {

namespace {

namespace fs = std::filesystem;

std::string_view Trim(std::string_view s) {
    while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
    while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
    return s;
}

// The canonical path when it lies strictly inside folder.
std::optional<std::string> Within(const std::string& folder, const fs::path& path) {
    std::error_code ec;
    const std::string canonical = fs::weakly_canonical(path, ec).string();
    if (ec || !canonical.starts_with(folder + "/") || canonical.size() == folder.size() + 1) return std::nullopt;
    return canonical;
}

}  // namespace

std::string NewToken() {
    std::array<unsigned char, 32> bytes{};
    std::FILE* f = std::fopen("/dev/urandom", "rb");
    const bool read = f != nullptr && std::fread(bytes.data(), 1, bytes.size(), f) == bytes.size();
    if (f != nullptr) std::fclose(f);
    if (!read) {
        std::random_device device;
        for (unsigned char& b : bytes) b = static_cast<unsigned char>(device());
    }
    std::string token;
    for (unsigned char b : bytes) {
        token += "0123456789abcdef"[b >> 4];
        token += "0123456789abcdef"[b & 15];
    }
    return token;
}

bool SameToken(std::string_view given, std::string_view token) {
    unsigned difference = given.size() != token.size();
    for (std::size_t i = 0; i < token.size(); ++i)
        difference |= static_cast<unsigned char>(token[i]) ^ static_cast<unsigned char>(i < given.size() ? given[i] : 0);
    return difference == 0 && !token.empty();
}

bool HostAllowed(std::string_view host, unsigned port) {
    const std::string suffix = ":" + std::to_string(port);
    if (!host.ends_with(suffix)) return false;
    const std::string_view name = host.substr(0, host.size() - suffix.size());
    return name == "127.0.0.1" || name == "[::1]" || EqualsIgnoringCase(name, "localhost");
}

bool OriginAllowed(std::string_view origin, unsigned port) {
    constexpr std::string_view kScheme = "http://";
    return origin.starts_with(kScheme) && HostAllowed(origin.substr(kScheme.size()), port);
}

std::string CookieValue(std::string_view header, std::string_view name) {
    while (!header.empty()) {
        const std::size_t end = header.find(';');
        const std::string_view pair = Trim(header.substr(0, end));
        header.remove_prefix(end == std::string_view::npos ? header.size() : end + 1);
        if (pair.size() > name.size() && pair.starts_with(name) && pair[name.size()] == '=')
            return std::string(pair.substr(name.size() + 1));
    }
    return {};
}

std::optional<std::string> InsideFolder(const std::string& folder, std::string_view relative) {
    if (relative.empty() || relative.front() == '/' || relative.find_first_of(std::string_view("\\\0", 2)) != std::string_view::npos)
        return std::nullopt;
    for (std::string_view rest = relative; !rest.empty();) {
        const std::size_t slash = rest.find('/');
        const std::string_view part = rest.substr(0, slash);
        if (part.empty() || part == "..") return std::nullopt;
        rest.remove_prefix(slash == std::string_view::npos ? rest.size() : slash + 1);
        if (slash != std::string_view::npos && rest.empty()) return std::nullopt;  // a trailing slash
    }
    return Within(folder, fs::path(folder) / relative);
}

std::optional<std::string> ProjectPathInside(const std::string& folder, std::string_view written) {
    if (written.empty() || written.find('\0') != std::string_view::npos) return std::nullopt;
    const fs::path path(written);
    return Within(folder, path.is_absolute() ? path : fs::path(folder) / path);
}

}  // namespace zlt::studio
