#include "support/command.h"

#include <cstdio>
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

}  // namespace zlt::test
