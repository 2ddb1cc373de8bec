#include "word/clip_path.h"

#include "base/code_page.h"
#include "support/stage_fixture.h"

#include <gtest/gtest.h>

namespace zlt::test {
namespace {

// Clip paths as a project made on Windows writes them, linked in a folder
// that holds clips/beep.snx, café.snx and Привет.snx (UTF-8 names).
struct PathCase {
    const char* name;
    unsigned codePage;
    std::string written;
    std::string error;  // "" when the link succeeds
};

TEST(ClipPath, WindowsProjectsFindTheirClips) {
    const PathCase cases[] = {
        {"literal", 1252, "clips/beep.snx", ""},
        {"backslashes", 1252, "clips\\beep.snx", ""},
        {"Windows-1252 name", 1252, "caf\xE9.snx", ""},
        {"Windows-1251 name", 1251, "\xCF\xF0\xE8\xE2\xE5\xF2.snx", ""},
        {"wrong code page", 1252, "\xCF\xF0\xE8\xE2\xE5\xF2.snx",
         "Err: Can not access file \xCF\xF0\xE8\xE2\xE5\xF2.snx"},
        {"drive letter", 1252, "C:\\voice\\beep.snx",
         "Err: Can not access file C:\\voice\\beep.snx (a Windows drive path: name the clip "
         "relative to the folder the link runs in)"},
        {"missing", 1252, "clips\\none.snx", "Err: Can not access file clips\\none.snx"},
    };
    TempDir dir;
    fs::create_directory(dir.path() / "clips");
    ClipFields f;
    f.dataLength = 32;
    const auto clip = MakeClip16(f, std::vector<std::int16_t>(16, 100));
    for (const char* name : {"clips/beep.snx", "café.snx", "Привет.snx"}) WriteClipFile(dir / name, clip);
    WorkingDirectory cwd(dir.path());
    for (const PathCase& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(SetAnsiCodePage(c.codePage));
        auto run = Link(dir, MinimalProject("[ZLP.Word]\nW0001=" + c.written +
                                            "\n[ZLP.Sentence]\nS0000=W0001\n"));
        EXPECT_EQ(run->ok, c.error.empty());
        if (!c.error.empty()) {
            EXPECT_EQ(run->log.lines().back(), "\n" + c.error);
        }
    }
    EXPECT_FALSE(SetAnsiCodePage(65001));
    EXPECT_EQ(AnsiCodePage(), 1252u);
}

}  // namespace
}  // namespace zlt::test
