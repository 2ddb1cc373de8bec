// The inspector's report of the demo image, and recovery: generated projects
// linked, read back, recovered and linked again give identical images.
#include "inspect/recover.h"
#include "inspect/report.h"
#include "inspect/word_files.h"

#include "base/bytes.h"
#include "base/format.h"
#include "support/command.h"
#include "support/link_fixture.h"
#include "support/project_generator.h"

#include <gtest/gtest.h>

namespace zlt::test {
namespace {

// The summary with its sentences disassembled, as checked in. The expected
// text was read against the demo project: the same triggers, mode letters
// and clock conditions, words, and each sentence with its code blocks named
// by their units and its step references by recovered steps. The JSON
// report and the command line are in tests/golden/inspect.txt.
TEST(Report, DemoImageSummary) {
    const std::string golden = ZLT_SOURCE_DIR "/tests/golden/", demo = ReadFile(golden + "demo.cfo");
    std::string error;
    const std::optional<DecodedImage> image = ReadImage(AsBytes(demo), error);
    std::vector<SentenceListing> sentences;
    ASSERT_TRUE(image && ListSentences(*image, sentences, error)) << error;
    EXPECT_EQ(inspect::TextReport(*image, sentences), ReadFile(golden + "demo.inspect.txt"));
}

// The time stamp that --recover turns back into --timestamp is proven by
// tests/golden/inspect.txt, which links the recovered demo again.
TEST(Recover, GeneratedProjectsRelinkToIdenticalImages) {
    // Under valgrind, which watches memory and not the property, a fifth of them.
    const unsigned projects = UnderValgrind() ? 12 : 60;
    unsigned linked = 0;
    for (unsigned seed = 1; seed <= projects; ++seed) {
        SCOPED_TRACE(seed);
        TempDir dir;
        fs::create_directory(dir / "in");
        const auto first = Link(dir, ProjectGenerator(seed, dir / "in").Project());
        if (!first->ok) {
            // Generated step references may miss their sentence; those projects are not images.
            ASSERT_NE(first->log.Text().find("STEP referance fail"), std::string::npos) << first->log.Text();
            continue;
        }
        ++linked;
        std::string error;
        const std::optional<DecodedImage> image = ReadImage(AsBytes(first->image), error);
        std::vector<SentenceListing> sentences;
        ASSERT_TRUE(image && ListSentences(*image, sentences, error)) << error;
        const std::optional<std::string> recovered = inspect::RecoverProject(*image, sentences, error);
        ASSERT_TRUE(recovered) << error;
        for (const WordInfo& w : image->words) {
            const auto clip = inspect::RecoveredClip(AsBytes(first->image), *image, w);
            WriteFile(dir / FormatText("W%0.4u.snx", w.number), std::string(clip.begin(), clip.end()));
        }
        fs::remove_all(dir / "in");  // the relink reads only what was recovered
        WorkingDirectory here(dir.path());  // the project names its clips relative to its folder
        const auto second = Link(dir, *recovered);
        ASSERT_TRUE(second->ok) << second->log.Text() << "\n" << *recovered;
        ASSERT_TRUE(second->image == first->image) << *recovered;
    }
    EXPECT_GT(linked, projects / 2);
}

}  // namespace
}  // namespace zlt::test
