// Runs a shell command and collects its exit status and output.
#pragma once

#include <string>

namespace zlt::test {

struct CommandResult {
    int status;
    std::string out;  // standard output and standard error together
};

CommandResult RunCommand(const std::string& command);

// True when the tests run under valgrind (scripts/memcheck.sh).
bool UnderValgrind();

// The command bounded in time (10 s) and memory (256 MiB). The memory bound is
// a limit of the address space; under AddressSanitizer, which reserves far more
// address space than that up front, it is the sanitizer's limit of resident
// memory instead. Under valgrind, which runs the command too, it is only a
// bound in time (2 minutes): the sanitizer suite checks the memory.
std::string Bounded(const std::string& command);

}  // namespace zlt::test
