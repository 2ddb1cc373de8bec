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
#include <fstream>
#include <sstream>

namespace zlt::test {
namespace {

struct DocExample {
    std::string name;     // test name: file and line
    std::string where;    // file:line, for messages
    std::string project;  // the project text
    bool fails = false;
    std::string error;    // expected lines from the last error line on
    std::string problem;  // set when the markup around the example is broken
};

struct Fence {
    std::string info;
    std::string body;
    std::size_t line;  // 1-based line of the opening fence
};

std::vector<Fence> Fences(const std::string& text) {
    std::vector<Fence> out;
    std::istringstream in(text);
    std::string line;
    std::size_t number = 0;
    Fence* open = nullptr;
    while (std::getline(in, line)) {
        ++number;
        if (!line.starts_with("```")) {
            if (open) open->body += line + "\n";
            continue;
        }
        if (open) {
            open = nullptr;
        } else {
            out.push_back({line.substr(3), "", number});
            open = &out.back();
        }
    }
    return out;
}

std::string TestName(const std::string& file, std::size_t line) {
    std::string name = file.substr(0, file.find('.')) + "_line" + std::to_string(line);
    std::replace_if(name.begin(), name.end(), [](char c) { return !std::isalnum(static_cast<unsigned char>(c)); }, '_');
    return name;
}

std::vector<DocExample> Examples() {
    std::vector<DocExample> out;
    std::vector<fs::path> files;
    for (const auto& entry : fs::directory_iterator(fs::path(ZLT_SOURCE_DIR) / "docs"))
        if (entry.path().extension() == ".md") files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    for (const fs::path& path : files) {
        const std::string file = path.filename().string();
        const std::vector<Fence> fences = Fences(ReadFile(path.string()));
        for (std::size_t i = 0; i < fences.size(); ++i) {
            const Fence& f = fences[i];
            if (f.info != "ini zlp" && f.info != "ini zlp-error") continue;
            DocExample e;
            e.name = TestName(file, f.line);
            e.where = file + ":" + std::to_string(f.line);
            e.project = f.body;
            if (f.info == "ini zlp-error") {
                e.fails = true;
                if (i + 1 < fences.size() && fences[i + 1].info == "text")
                    e.error = fences[i + 1].body;
                else
                    e.problem = "an ini zlp-error block needs a text block with the error after it";
                while (!e.error.empty() && e.error.back() == '\n') e.error.pop_back();
            }
            out.push_back(std::move(e));
        }
    }
    return out;
}

// What the linker sent from its last error line on, as a user reads it.
std::string ErrorTail(const std::vector<std::string>& lines, const std::string& projectPath) {
    std::size_t from = lines.size();
    for (std::size_t i = 0; i < lines.size(); ++i)
        if (lines[i].starts_with("\nErr: ")) from = i;
    std::string tail;
    for (std::size_t i = from; i < lines.size(); ++i) tail += lines[i];
    if (tail.starts_with("\n")) tail.erase(0, 1);
    for (std::size_t at; (at = tail.find(projectPath)) != std::string::npos;)
        tail.replace(at, projectPath.size(), "project.zlp");
    return tail;
}

// Failures name the example by its place in the documentation.
void PrintTo(const DocExample& e, std::ostream* os) { *os << e.where; }

class DocsExample : public testing::TestWithParam<DocExample> {};

// Writes a short clip for every word the example names, at its path taken
// from the example's folder.
void MakeClips(const TempDir& dir, const std::string& project) {
    auto ini = IniFile::Parse(project);
    const std::vector<std::int16_t> samples(1000, 1234);
    for (unsigned n = 0; n < kEntryCount; ++n) {
        const std::string path = ini->ReadString("ZLP.Word", WordKey(n), "");
        if (path.empty()) continue;
        const fs::path clip = dir.path() / path;
        fs::create_directories(clip.parent_path());
        ASSERT_TRUE(WriteClipFile(clip.string(), MakeClip16(ClipFields{}, samples)));
    }
}

TEST_P(DocsExample, LinksAsDocumented) {
    const DocExample& e = GetParam();
    ASSERT_TRUE(e.problem.empty()) << e.where << ": " << e.problem;
    TempDir dir;
    MakeClips(dir, e.project);
    WorkingDirectory cwd(dir.path());
    auto run = Link(dir, e.project);
    if (!e.fails) {
        EXPECT_TRUE(run->ok) << e.where << " does not link:" << run->log.Text();
        return;
    }
    EXPECT_FALSE(run->ok) << e.where << " links, but is documented to fail";
    EXPECT_TRUE(run->image.empty()) << e.where << ": a failed link left an image";
    EXPECT_EQ(ErrorTail(run->log.lines(), dir / "project.zlp"), e.error) << e.where;
}

INSTANTIATE_TEST_SUITE_P(Docs, DocsExample, testing::ValuesIn(Examples()),
                         [](const testing::TestParamInfo<DocExample>& info) { return info.param.name; });

// The test above would pass with no examples at all: the documentation
// keeps both kinds.
TEST(DocsExamples, BothKindsArePresent) {
    const std::vector<DocExample> all = Examples();
    EXPECT_TRUE(std::any_of(all.begin(), all.end(), [](const DocExample& e) { return !e.fails; }));
    EXPECT_TRUE(std::any_of(all.begin(), all.end(), [](const DocExample& e) { return e.fails; }));
}

}  // namespace
}  // namespace zlt::test
