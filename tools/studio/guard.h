// The studio's guard: what a request must bring to be served, and which paths
// a request may name. The server asks these before it does anything.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace zlt::studio {

// A fresh token of 256 random bits from the system's random source, as 64
// hexadecimal digits.
std::string NewToken();

// Compares in time that depends only on the lengths, not on where the texts
// first differ.
bool SameToken(std::string_view given, std::string_view token);

// The Host header names this server: 127.0.0.1, localhost or [::1], with
// the port. Any other name may be a foreign site that points its name at the
// loopback address (DNS rebinding).
bool HostAllowed(std::string_view host, unsigned port);

// The Origin header is the studio's own page: http:// and an allowed host.
bool OriginAllowed(std::string_view origin, unsigned port);

// The value of cookie `name` in a Cookie header, or empty.
std::string CookieValue(std::string_view header, std::string_view name);

// The path a request names, taken inside folder (an absolute, canonical
// path): relative, without a ".." or an empty part, and still inside the
// folder once every symbolic link on the way is followed. Nothing otherwise.
std::optional<std::string> InsideFolder(const std::string& folder, std::string_view relative);

// A path the project itself names (a clip), relative to the folder or
// absolute, when it leads to a place inside the folder; nothing otherwise.
std::optional<std::string> ProjectPathInside(const std::string& folder, std::string_view written);

}  // namespace zlt::studio
