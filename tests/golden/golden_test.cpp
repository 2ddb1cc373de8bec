// Whole projects linked end to end: every byte of the image and every line
// of the log against stored expectations.
//
// The expected images were checked once by hand against the image layouts,
// with od on the bytes: the header and directory (first pages, page counts,
// byte lengths), the key table (magic, Model-ID, the constant 512, the time
// stamp 2023/11/14 22:13:20 Tuesday, every option field of "blocks", the
// attribute bytes and the clock slots 0x803FBFFB and 0x800D4440), the
// sentence units of "blocks" (pad units at 1 and 7, CALL 0x8018 and JMP
// 0xC001 after block resolution, step distances 0x1000, 0x1803 and 0x19FD),
// the word table entries (0x25000000 0x81000023, 0x17000002 0x84000044, the
// unused 0x17000000 0x0900001E) and the trigger table values 1, 6, 20, 47,
// 63, 65. The word image pages are covered by the transform tests.
//
// tests/golden/regenerate.sh has this test rewrite the expectations; use it
// only for a change that is meant to alter the output, and check the new
// bytes again.
#include "link/pipeline.h"
#include "platform/clock.h"
#include "support/link_fixture.h"

#include <gtest/gtest.h>

#include <cstdlib>


namespace zlt::test {
namespace {

struct GoldenCase {
    const char* name;
    const char* folder;   // relative to the source tree
    const char* project;  // file name inside the folder
};

TEST(Golden, ProjectsLinkToTheirStoredImagesAndLogs) {
    const GoldenCase cases[] = {
        {"minimal", "tests/golden/minimal", "project.zlp"},
        {"blocks", "tests/golden/blocks", "project.zlp"},
        {"demo", "examples/demo", "demo.zlp"},
    };
    const fs::path source = ZLT_SOURCE_DIR;
    for (const GoldenCase& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        fs::copy(source / c.folder, dir.path(), fs::copy_options::recursive);
        auto ctx = std::make_unique<LinkContext>();
        MessageLog log;
        bool ok;
        {
            WorkingDirectory cwd(dir.path());
            SetFixedLinkTime(1700000000);
            ok = MakeZltCfo(*ctx, c.project, "out.cfo");
            SetFixedLinkTime(-1);
        }
        EXPECT_TRUE(ok);
        const std::string golden = (source / "tests/golden" / c.name).string();
        if (std::getenv("ZLT_REGENERATE") != nullptr) {  // tests/golden/regenerate.sh
            WriteFile(golden + ".log", log.Text() + "\n");
            WriteFile(golden + ".cfo", ReadFile(dir / "out.cfo"));
            continue;
        }
        const std::string expectedLog = ReadFile(golden + ".log");
        EXPECT_EQ(log.Text() + "\n", expectedLog);
        const std::string expectedImage = ReadFile(golden + ".cfo");
        const std::string image = ReadFile(dir / "out.cfo");
        ASSERT_EQ(image.size(), expectedImage.size());
        for (std::size_t i = 0; i < image.size(); ++i)
            ASSERT_EQ(image[i], expectedImage[i]) << "first difference at byte " << i;
    }
}

}  // namespace
}  // namespace zlt::test
