// zlt900-studio as a command: what it refuses before it serves. Serving and
// stopping with Ctrl-C are the browser test's.
#include "support/command.h"
#include "support/link_fixture.h"

#include <gtest/gtest.h>

namespace zlt::test {
namespace {

TEST(StudioCommand, SaysWhatItCannotServe) {
    TempDir dir;
    fs::create_directory(dir.path() / "empty");
    fs::create_directory(dir.path() / "two");
    WriteFile(dir / "two/a.zlp", "");
    WriteFile(dir / "two/b.zlp", "");
    const struct {
        std::string args;
        int status;
        const char* says;
    } cases[] = {
        {"--help", 0, "Usage: zlt900-studio [OPTION]... [DIR | PROJECT]"},
        {"--port=70000 .", 2, "bad port '70000'"},
        {"a b", 2, "give one folder or project file"},
        {"--frobnicate", 2, "unknown option --frobnicate"},
        {dir / "empty" + " < /dev/null", 1, "holds no project; start one with zlt900-link --init"},
        {dir / "two", 1, "holds 2 projects; name the one to open"},
        {dir / "none.zlp", 1, "none.zlp: No such file or directory"},
    };
    for (const auto& c : cases) {
        const CommandResult r = RunCommand(Bounded(std::string(ZLT_STUDIO_TOOL) + " --no-browser " + c.args));
        EXPECT_EQ(r.status, c.status) << c.args << "\n" << r.out;
        EXPECT_NE(r.out.find(c.says), std::string::npos) << c.args << "\n" << r.out;
    }
}

}  // namespace
}  // namespace zlt::test
