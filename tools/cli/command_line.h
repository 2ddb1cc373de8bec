// What the command-line tools share: their exit statuses, the way they
// refuse a command line, and the reading of a number given to an option.
#pragma once

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <getopt.h>
#include <string>

namespace zlt::cli {

inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;  // the reason has gone to standard error
inline constexpr int kExitUsage = 2;

// Says what is wrong with the command line and where the help is; returns
// kExitUsage.
inline int UsageError(const char* tool, const std::string& what) {
    std::fprintf(stderr, "%s: %s\nTry '%s --help' for more information.\n", tool, what.c_str(), tool);
    return kExitUsage;
}

// The usage error for what getopt_long, run with opterr 0 and options that
// begin with ':', returned for an option it could not take: ':' for an
// option without its value, anything else for an unknown option.
inline int OptionError(const char* tool, int c, char* const* argv) {
    if (c == ':') return UsageError(tool, std::string("option ") + argv[optind - 1] + " needs a value");
    return UsageError(tool, optopt > 0 && optopt < 128 ? std::string("unknown option -") + char(optopt)
                                                       : std::string("unknown option ") + argv[optind - 1]);
}

// The whole text as an unsigned number in base 10 or 16, at most max: no
// sign, no blank, nothing after the digits.
inline bool Number(const char* text, int base, unsigned long long max, unsigned long long& out) {
    if (!std::isxdigit(static_cast<unsigned char>(*text))) return false;
    char* end = nullptr;
    errno = 0;
    out = std::strtoull(text, &end, base);
    return errno == 0 && *end == '\0' && out <= max;
}

}  // namespace zlt::cli
