// Link, read back, recover, relink: generated projects give identical images.
#include "inspect/recover.h"

#include "inspect/word_files.h"
#include "base/bytes.h"
#include "base/format.h"
#include "link/pipeline.h"
#include "platform/clock.h"
#include "support/command.h"
#include "support/link_fixture.h"
#include "support/project_generator.h"

#include <gtest/gtest.h>

namespace zlt::test {
namespace {


struct Linked {
    bool ok;
    std::string log;
    std::string image;
};

Linked LinkAt(const std::string& project, const std::string& image) {
    auto ctx = std::make_unique<LinkContext>();
    MessageLog log;
    SetFixedLinkTime(86400 * 365);
    bool ok = MakeZltCfo(*ctx, project.c_str(), image.c_str());
    SetFixedLinkTime(-1);
    return {ok, log.Text(), ReadFile(image)};
}

TEST(Recover, GeneratedProjectsRelinkToIdenticalImages) {
    // Under valgrind, which watches memory and not the property, a fifth of them.
    const unsigned projects = UnderValgrind() ? 12 : 60;
    unsigned linked = 0;
    for (unsigned seed = 1; seed <= projects; ++seed) {
        SCOPED_TRACE(seed);
        TempDir dir;
        const std::string project = dir / "p.zlp", imagePath = dir / "o.cfo";
        fs::create_directory(dir / "in");
        WriteFile(project, ProjectGenerator(seed, dir / "in").Project());
        Linked first = LinkAt(project, imagePath);
        if (!first.ok) {
            // Generated step references may miss their sentence; those projects are not images.
            ASSERT_NE(first.log.find("STEP referance fail"), std::string::npos) << first.log;
            continue;
        }
        ++linked;
        std::string error;
        std::optional<DecodedImage> image = ReadImage(AsBytes(first.image), error);
        ASSERT_TRUE(image) << error;
        std::vector<SentenceListing> sentences;
        ASSERT_TRUE(ListSentences(*image, sentences, error)) << error;
        std::optional<std::string> recovered = inspect::RecoverProject(*image, sentences, error);
        ASSERT_TRUE(recovered) << error;
        fs::create_directory(dir / "out");
        for (const WordInfo& w : image->words) {
            auto clip = inspect::RecoveredClip(AsBytes(first.image), *image, w);
            WriteFile(dir / FormatText("out/W%0.4u.snx", w.number), std::string(clip.begin(), clip.end()));
        }
        fs::remove_all(dir / "in");  // the relink reads only what was recovered
        EXPECT_EQ(inspect::FixedLinkTime(image->linkTime), 86400 * 365);

        WriteFile(project, *recovered);
        WorkingDirectory clips(dir / "out");  // the project names its clips relative to its folder
        Linked second = LinkAt(project, imagePath);
        ASSERT_TRUE(second.ok) << second.log << "\n" << *recovered;
        ASSERT_TRUE(second.image == first.image) << *recovered;
    }
    EXPECT_GT(linked, projects / 2);
}

}  // namespace
}  // namespace zlt::test
