#include "link/pipeline.h"

#include "support/link_fixture.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace zlt::test {
namespace {

std::vector<std::string> SuccessTrace(const std::string& project, const std::string& image,
                                      int firmwarePages, int readmePages) {
    return {"\nInitial Linker for Zelta-900",
            "\nInitial " + project,
            "\nInitial " + image,
            "\nProcess Target",
            "\n        Model-ID = ZLT-900",
            "\nParsing Option-Table",
            "\nParsing Word-Table",
            "\nParsing Sentence-Table",
            "\n        Total used STEP = 1",
            "\nParsing Trigger-Table",
            "\nSorting Word-Table",
            "\nProcess System-K",
            "\n        PageSize = " + std::to_string(firmwarePages),
            "\nProcess ZLT_KTAB.BIN",
            "\n        PageSize = 18",
            "\nProcess ZLT_TTAB.BIN",
            "\n        PageSize = 32",
            "\nProcess ZLT_STAB.BIN",
            "\n        PageSize = 128",
            "\nProcess ZLT_WTAB.BIN",
            "\n        PageSize = 128",
            "\nProcess ZLT_WIMG.BIN",
            "\n        PageSize of ZLT_WIMG.BIN = 0",
            "\nProcess ReadMe.txt",
            "\n        PageSize = " + std::to_string(readmePages),
            "\nProcess OK !!!"};
}

TEST(Pipeline, EmptyProjectLinksWithEveryLineInOrder) {
    TempDir dir;
    auto run = Link(dir, MinimalProject());
    ASSERT_TRUE(run->ok) << run->log.Text();
    EXPECT_EQ(run->log.lines(), SuccessTrace(dir / "project.zlp", dir / "out.cfo", 74, 1));
    // Header, 74 firmware pages, the four tables, no word image, one read-me page.
    EXPECT_EQ(run->image.size(), 512u * (1 + 74 + 18 + 32 + 128 + 128 + 0 + 1));
}

}  // namespace
}  // namespace zlt::test
