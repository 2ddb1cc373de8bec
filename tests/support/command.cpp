#include "support/command.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sys/wait.h>

namespace zlt::test {

CommandResult RunCommand(const std::string& command) {
    CommandResult result{-1, {}};
    FILE* p = popen((command + " 2>&1").c_str(), "r");
    if (p == nullptr) return result;
    char buf[4096];
    std::size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0) result.out.append(buf, n);
    const int status = pclose(p);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

#if defined(__SANITIZE_ADDRESS__)
#define ZLT_TEST_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define ZLT_TEST_ASAN 1
#endif
#endif

bool UnderValgrind() {
    const char* preload = std::getenv("LD_PRELOAD");
    return preload != nullptr && std::strstr(preload, "vgpreload") != nullptr;
}

std::string Bounded(const std::string& command) {
    if (UnderValgrind()) return "timeout 120 " + command;
#ifdef ZLT_TEST_ASAN
    const char* asan = std::getenv("ASAN_OPTIONS");
    return "ASAN_OPTIONS=" + std::string(asan ? asan : "") + ":hard_rss_limit_mb=256 timeout 10 " + command;
#else
    return "(ulimit -v 262144; exec timeout 10 " + command + ")";
#endif
}

}  // namespace zlt::test
