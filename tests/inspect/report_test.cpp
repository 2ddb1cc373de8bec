#include "inspect/report.h"

#include "base/bytes.h"
#include "support/command.h"
#include "support/link_fixture.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace zlt::test {
namespace {

// The demo image's summary, its sentences disassembled, as checked in. The
// expected text was read against the demo project: the same triggers, mode
// letters and clock conditions, words, and each sentence with its code
// blocks named by their units and its step references by recovered steps.
TEST(Report, DemoImageSummary) {
    const std::string source = ZLT_SOURCE_DIR;
    std::string error;
    const std::string demo = ReadFile(source + "/tests/golden/demo.cfo");
    auto image = ReadImage(AsBytes(demo), error);
    ASSERT_TRUE(image) << error;
    std::vector<SentenceListing> sentences;
    ASSERT_TRUE(ListSentences(*image, sentences, error)) << error;
    EXPECT_EQ(inspect::TextReport(*image, sentences), ReadFile(source + "/tests/golden/demo.inspect.txt"));
    const std::string json = inspect::JsonReport(*image, sentences);
    EXPECT_NE(json.find("\"text\": \"^BLK_L20+W0004+M50+^RET\""), std::string::npos);
    EXPECT_NE(json.find("{\"trigger\": 7935, \"modes\": \"LUN\", \"startUnit\": 11, \"sentence\": 2, "
                        "\"clock\": \"MON~FRI/8~17:0\"}"),
              std::string::npos);
}

TEST(Report, CommandLine) {
    TempDir dir;
    const std::string tool = ZLT_INSPECT_TOOL, demo = std::string(ZLT_SOURCE_DIR) + "/tests/golden/demo.cfo";
    WriteFile(dir / "short.cfo", "CFO");
    WriteFile(dir / "empty.cfo", "");
    // A sound header before 8 GiB that its directory does not describe.
    fs::copy_file(demo, dir / "huge.cfo");
    fs::resize_file(dir / "huge.cfo", 8ull << 30);
    ASSERT_EQ(mkfifo((dir / "fifo.cfo").c_str(), 0600), 0);
    struct Case {
        std::string args;
        int status;
        std::string contains;
    } cases[] = {
        {"--help", 0, "Usage: zlt900-inspect"},
        {"", 2, "expected one IMAGE"},
        {"--json --recover x " + demo, 2, "exclude each other"},
        {"--bogus " + demo, 2, "unknown option --bogus"},
        {"--recover", 2, "option --recover needs a value"},
        {"--force " + demo, 2, "--force goes with --recover"},
        {dir / "missing.cfo", 1, "cannot open: No such file or directory"},
        {dir / "short.cfo", 1, "file is 3 bytes, shorter than the 512-byte header"},
        {dir / "empty.cfo", 1, "file is 0 bytes, shorter than the 512-byte header"},
        {dir / "huge.cfo", 1, "file is 8589934592 bytes, its directory describes 238592"},
        {dir / "fifo.cfo", 1, "not an image file but a FIFO"},
        {"/dev/zero", 1, "not an image file but a device"},
        {dir.path().string(), 1, "not an image file but a folder"},
        {"--json " + demo, 0, "\"triggerMode\": \"TGM_BIN_M2\""},
        {"--extract-words " + (dir / "wav") + " " + demo, 0, "4 words written"},
        {"--recover " + (dir / "rec") + " " + demo, 0,
         "zlt900-link -C " + (dir / "rec") + " --timestamp=1700000000 project.zlp project.cfo"},
        // What was recovered stays unless --force.
        {"--recover " + (dir / "rec") + " " + demo, 1, "W0001.snx exists; nothing was written"},
        {"--recover " + (dir / "rec") + " --force " + demo, 0, "Wrote"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args);
        if (c.status == 1 && c.args.ends_with("rec " + demo)) WriteFile(dir / "rec/project.zlp", "mine");
        CommandResult run = RunCommand(Bounded(tool + " " + c.args));
        EXPECT_EQ(run.status, c.status) << run.out;
        EXPECT_NE(run.out.find(c.contains), std::string::npos) << run.out;
    }
    EXPECT_EQ(ReadFile(dir / "wav/W0002.wav").substr(0, 4), "RIFF");

    // The recovered demo, linked from its folder under the original names, is
    // the demo image again.
    fs::copy_file(dir / "rec/project.zlp", dir / "rec/demo.zlp");
    CommandResult link = RunCommand(std::string(ZLT_LINK_TOOL) + " -q -C " + (dir / "rec") +
                                    " --timestamp=1700000000 demo.zlp out.cfo");
    ASSERT_EQ(link.status, 0) << link.out;
    EXPECT_TRUE(ReadFile(dir / "rec/out.cfo") == ReadFile(demo));
}

}  // namespace
}  // namespace zlt::test
