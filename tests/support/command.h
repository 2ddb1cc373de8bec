// Runs a shell command and collects its exit status and output.
#pragma once

#include <string>

namespace zlt::test {

struct CommandResult {
    int status;
    std::string out;  // standard output and standard error together
};

CommandResult RunCommand(const std::string& command);

}  // namespace zlt::test
