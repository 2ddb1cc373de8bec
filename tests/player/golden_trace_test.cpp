// The demo played by zlt900-play: every command of tests/golden/demo.play.txt
// (a line "$ zlt900-play ARGS") is run in a copy of the demo project, beside
// the demo's golden image as demo.cfo, and must print the lines that follow
// it, then "[exit N]" when it fails. tests/golden/regenerate.sh rewrites the
// file from the same commands.
#include "support/command.h"
#include "support/link_fixture.h"

#include <gtest/gtest.h>

#include <sstream>

namespace zlt::test {
namespace {

TEST(PlayerGolden, DemoTracesAndAgenda) {
    const fs::path source = ZLT_SOURCE_DIR;
    TempDir dir;
    fs::copy(source / "examples/demo", dir.path(), fs::copy_options::recursive);
    fs::copy_file(source / "tests/golden/demo.cfo", dir / "demo.cfo");
    std::istringstream golden(ReadFile((source / "tests/golden/demo.play.txt").string()));
    const std::string prompt = "$ zlt900-play ";
    std::string line, want, got;
    while (std::getline(golden, line)) {
        want += line + "\n";
        if (!line.starts_with(prompt)) continue;
        got += line + "\n";
        const CommandResult r =
            RunCommand("cd '" + dir.path().string() + "' && " ZLT_PLAY_TOOL " " + line.substr(prompt.size()));
        got += r.out + (r.status != 0 ? "[exit " + std::to_string(r.status) + "]\n" : "");
    }
    EXPECT_FALSE(got.empty());
    EXPECT_EQ(got, want);
}

}  // namespace
}  // namespace zlt::test
