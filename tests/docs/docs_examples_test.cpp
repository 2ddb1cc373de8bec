// The examples of the user documentation link as the documentation says.
//
// Every docs/*.md file is searched for fenced blocks with the info string
// "ini zlp" (a whole project file that links) and "ini zlp-error" (a project
// that fails), the latter followed by a "text" block that holds what the
// linker prints from its last error line on: the error line without its
// leading line break, and the detail lines that follow it. The project is
// linked as project.zlp, which is how the documentation names it in messages.
#include "support/link_fixture.h"
#include "word/clip_writer.h"
#include "word/word_table.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

namespace zlt::test {
namespace {

struct DocExample {
    std::string where;    // file:line of the opening fence
    std::string project;
    bool fails = false;
    std::string error;    // expected lines from the last error line on
};

std::vector<DocExample> Examples() {
    std::vector<fs::path> files;
    for (const auto& entry : fs::directory_iterator(fs::path(ZLT_SOURCE_DIR) / "docs"))
        if (entry.path().extension() == ".md") files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    std::vector<DocExample> out;
    for (const fs::path& path : files) {
        std::istringstream in(ReadFile(path.string()));
        std::string line, info, body;
        bool open = false, wantError = false;
        for (std::size_t number = 1; std::getline(in, line); ++number) {
            if (!line.starts_with("```")) {
                body += open ? line + "\n" : "";
            } else if ((open = !open)) {
                info = line.substr(3), body.clear();
                if (info.starts_with("ini zlp"))
                    out.push_back({path.filename().string() + ":" + std::to_string(number), "", false, ""});
            } else if (info == "ini zlp" || info == "ini zlp-error") {
                out.back().project = body, out.back().fails = wantError = info == "ini zlp-error";
            } else if (wantError) {  // the block after an ini zlp-error block
                out.back().error = info == "text" ? body.substr(0, body.find_last_not_of('\n') + 1) : "(no text block)";
                wantError = false;
            }
        }
    }
    return out;
}

// What the linker sent from its last error line on, as a user reads it.
std::string ErrorTail(const std::vector<std::string>& lines, const std::string& projectPath) {
    std::string tail;
    for (const std::string& line : lines) tail = line.starts_with("\nErr: ") ? line.substr(1) : tail + line;
    for (std::size_t at; (at = tail.find(projectPath)) != std::string::npos;)
        tail.replace(at, projectPath.size(), "project.zlp");
    return tail;
}

void PrintTo(const DocExample& e, std::ostream* os) { *os << e.where; }

class DocsExample : public testing::TestWithParam<DocExample> {};

TEST_P(DocsExample, LinksAsDocumented) {
    const DocExample& e = GetParam();
    TempDir dir;
    // A short clip for every word the example names, at its path.
    auto ini = IniFile::Parse(e.project);
    for (unsigned n = 0; n < kEntryCount; ++n) {
        const std::string path = ini->ReadString("ZLP.Word", WordKey(n), "");
        if (path.empty()) continue;
        fs::create_directories((dir.path() / path).parent_path());
        ASSERT_TRUE(WriteClipFile(dir / path, MakeClip16(ClipFields{}, std::vector<std::int16_t>(1000, 1234))));
    }
    WorkingDirectory cwd(dir.path());
    auto run = Link(dir, e.project);
    EXPECT_EQ(run->ok, !e.fails) << e.where << run->log.Text();
    if (!e.fails) return;
    EXPECT_TRUE(run->image.empty()) << e.where << ": a failed link left an image";
    EXPECT_EQ(ErrorTail(run->log.lines(), dir / "project.zlp"), e.error) << e.where;
}

INSTANTIATE_TEST_SUITE_P(Docs, DocsExample, testing::ValuesIn(Examples()));

// The test above would pass with either kind gone: the documentation keeps
// both.
TEST(DocsExamples, BothKindsArePresent) {
    const std::vector<DocExample> all = Examples();
    const auto failing = std::count_if(all.begin(), all.end(), [](const DocExample& e) { return e.fails; });
    EXPECT_TRUE(failing > 0 && failing < std::ssize(all)) << failing << " of " << all.size() << " fail";
}

}  // namespace
}  // namespace zlt::test
