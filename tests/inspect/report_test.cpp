// The demo image's summary, its sentences disassembled, as checked in. The
// expected text was read against the demo project: the same triggers, mode
// letters and clock conditions, words, and each sentence with its code
// blocks named by their units and its step references by recovered steps.
// The JSON report and the command line are in tests/golden/inspect.txt.
#include "inspect/report.h"

#include "base/bytes.h"
#include "support/link_fixture.h"

#include <gtest/gtest.h>

namespace zlt::test {
namespace {

TEST(Report, DemoImageSummary) {
    const std::string source = ZLT_SOURCE_DIR;
    std::string error;
    const std::string demo = ReadFile(source + "/tests/golden/demo.cfo");
    auto image = ReadImage(AsBytes(demo), error);
    ASSERT_TRUE(image) << error;
    std::vector<SentenceListing> sentences;
    ASSERT_TRUE(ListSentences(*image, sentences, error)) << error;
    EXPECT_EQ(inspect::TextReport(*image, sentences), ReadFile(source + "/tests/golden/demo.inspect.txt"));
}

}  // namespace
}  // namespace zlt::test
