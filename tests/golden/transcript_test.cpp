// The tools as a user runs them, in transcripts: demo.play.txt, link.txt,
// check.txt, inspect.txt, snx.txt and studio.txt hold lines "$ COMMAND" and after each what it
// prints (standard output and standard error), then "[exit N]" when it
// fails; lines that start with "#" are remarks. The commands of one file
// run in turn, each bounded in time and memory, in one copy of the demo
// project, beside the demo's golden image as demo.cfo, with the tools of
// this build first on the PATH.
// tests/golden/regenerate.sh has this test rewrite the files from the same
// commands.
#include "support/command.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <vector>

namespace zlt::test {
namespace {

namespace fs = std::filesystem;

class Transcript : public testing::TestWithParam<const char*> {};

TEST_P(Transcript, ToolsPrintWhatTheTranscriptHolds) {
    const fs::path source = ZLT_SOURCE_DIR;
    char templ[] = "/tmp/zlt900-transcript-XXXXXX";
    const fs::path dir = ::mkdtemp(templ);
    fs::copy(source / "examples/demo", dir, fs::copy_options::recursive);
    fs::copy_file(source / "tests/golden/demo.cfo", dir / "demo.cfo");
    std::ifstream golden(source / "tests/golden" / GetParam());
    // Each command with the lines that follow it, and the remarks after them.
    struct Block {
        std::string command, want, remarks;
    };
    std::string head;  // the remarks before the first command
    std::vector<Block> blocks;
    for (std::string line; std::getline(golden, line);) {
        if (line.starts_with("$ ")) blocks.push_back({line.substr(2), "", ""});
        else if (line.starts_with("#")) (blocks.empty() ? head : blocks.back().remarks) += line + "\n";
        else if (!blocks.empty()) blocks.back().want += line + "\n";
    }
    // With ZLT_REGENERATE set (tests/golden/regenerate.sh) the file is written
    // anew from what the tools print now.
    const bool regenerate = std::getenv("ZLT_REGENERATE") != nullptr;
    std::string now = head;
    for (const Block& b : blocks) {
        std::string quoted = "'";
        for (char c : "{ " + b.command + "\n} </dev/null") quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
        const CommandResult r = RunCommand("cd '" + dir.string() + "' && unset SOURCE_DATE_EPOCH && PATH='" +
                                           ZLT_TOOL_DIR + "':\"$PATH\" && " + Bounded("sh -c " + quoted + "'"));
        const std::string got = r.out + (r.status != 0 ? "[exit " + std::to_string(r.status) + "]\n" : "");
        if (!regenerate) {
            EXPECT_EQ(got, b.want) << "$ " << b.command;
        }
        now += "$ " + b.command + "\n" + got + b.remarks;
    }
    if (regenerate) std::ofstream(source / "tests/golden" / GetParam(), std::ios::binary) << now;
    fs::remove_all(dir);
    EXPECT_GT(blocks.size(), 5u);  // the file was found and read
}

INSTANTIATE_TEST_SUITE_P(Golden, Transcript, testing::Values("demo.play.txt", "link.txt", "check.txt", "inspect.txt", "snx.txt", "studio.txt"),
                         [](const auto& info) { return std::string(info.param).substr(0, std::string(info.param).find('.')); });

}  // namespace
}  // namespace zlt::test
