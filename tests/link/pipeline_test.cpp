#include "link/pipeline.h"

#include "support/link_fixture.h"

#include <gtest/gtest.h>

namespace zlt::test {
namespace {

// "{P}" in an expected line stands for the project path.
std::string Expand(std::string line, const TempDir& dir) {
    if (const auto at = line.find("{P}"); at != std::string::npos) line.replace(at, 3, dir / "project.zlp");
    return line;
}

// A failure in the head check, before the image is opened, and in each
// stage after it, with sentence faults at their bounds. That each mistake stops the link with its own line is
// proven against the checker; the write failures of each section are in the
// word fault tests.
TEST(Pipeline, EachFailureEndsWithItsOwnLineAndLeavesNoImage) {
    const std::string head = "[ZLP.Head]\nSignature=NVK\nVersion=1.0\n";
    const std::string target = "[ZLP.System]\nTarget=ZELTA_900\nTG_Mode=TGM_SINGLE_M0\n";
    const struct {
        const char* name;
        std::string project;
        std::vector<std::string> tail;  // the last lines
        bool imageInitialized;          // "\nInitial <image>" was sent
    } cases[] = {
        {"wrong signature", "[ZLP.Head]\nSignature=NVX\nVersion=1.0\n" + target,
         {"\nErr: Invalid ZLP file {P}"}, false},
        {"no version", "[ZLP.Head]\nSignature=NVK\n" + target,
         {"\nErr: Invalid ZLP file {P}"}, false},
        {"target letter case", head + "[ZLP.System]\nTarget=Zelta_900\nTG_Mode=TGM_SINGLE_M0\n",
         {"\nProcess Target", "\nErr: Invalid ZLP file {P}"}, true},
        {"baud", head + target + "[ZLP.Firmware.UartMode]\nBaudRate=19200\n",
         {"\nParsing Option-Table", "\nErr: Unknown or Unsupport serial baud !!!"}, true},
        {"quoted blank in trigger mode", head + "[ZLP.System]\nTarget=ZELTA_900\nTG_Mode=\" TGM_SINGLE_M0\"\n",
         {"\nProcess System-K", "\nErr: Unknown or Undefine TG_MODE !!!"}, true},
        {"word stage", head + target + "[ZLP.Word]\nW0001=/nonexistent/w.snx\n",
         {"\nParsing Word-Table", "\nErr: Can not access file /nonexistent/w.snx"}, true},
        {"trigger stage", head + target + "[ZLP.Trigger]\nT0001=LUN + S0005\n",
         {"\nParsing Trigger-Table", "\nErr: S0005 referance fail, in T0001 of file {P}"}, true},
        // Sentence stage faults at their bounds.
        {"step reference past the 64 steps", head + target + "[ZLP.Sentence]\nS0000=^JZ_STEP64+M10\n",
         {"\n        Parsing S0000", "\nErr: STEP referance fail, in S0000(Step000) of file {P}"}, true},
        {"block jump first in its sentence", head + target + "[ZLP.Sentence]\nS0000=M10\nS0001=^JMP_Nowhere\n",
         {"\nErr: BLK referance fail, at S0001 of file {P}", "\n     BlkLabel = Nowhere"}, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        WriteFile(dir / "out.cfo", "an older image");
        auto run = Link(dir, c.project);
        EXPECT_FALSE(run->ok);
        const auto& lines = run->log.lines();
        ASSERT_GE(lines.size(), 2 + c.tail.size());
        EXPECT_EQ(lines[1], Expand("\nInitial {P}", dir));
        EXPECT_EQ(lines.size() > 2 && lines[2] == "\nInitial " + dir / "out.cfo", c.imageInitialized);
        std::vector<std::string> tail(lines.end() - static_cast<long>(c.tail.size()), lines.end());
        std::vector<std::string> expected;
        for (const auto& l : c.tail) expected.push_back(Expand(l, dir));
        EXPECT_EQ(tail, expected);
        // Before the image is opened an older file stays; after, no file remains.
        EXPECT_EQ(fs::exists(dir / "out.cfo"), !c.imageInitialized);
        EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()),
                  c.imageInitialized ? 1 : 2);  // no temporary file left behind
    }
}

TEST(Pipeline, UnreadableProjectGivesThreeLinesAndCreatesNothing) {
    TempDir dir;
    auto ctx = std::make_unique<LinkContext>();
    MessageLog log;
    const std::string project = dir / "missing.zlp";
    const std::string image = dir / "out.cfo";
    EXPECT_FALSE(MakeZltCfo(*ctx, project.c_str(), image.c_str()));
    EXPECT_EQ(log.lines(), (std::vector<std::string>{"\nInitial Linker for Zelta-900",
                                                     "\nInitial " + project,
                                                     "\nErr: Can not load file " + project}));
    EXPECT_FALSE(fs::exists(image));
    // A folder is not a project file either.
    log.Clear();
    EXPECT_FALSE(MakeZltCfo(*ctx, dir.path().c_str(), image.c_str()));
    EXPECT_EQ(log.lines().back(), "\nErr: Can not load file " + dir.path().string());
}

TEST(Pipeline, VersionOfExactlyOneAndMixedCaseTriggerModePass) {
    TempDir dir;
    auto run = Link(dir, "[zlp.head]\nSIGNATURE = NVK\nversion = 1\n"
                         "[ZLP.System]\nTarget=ZELTA_900\nTG_Mode=tgm_Pbin_M2\n");
    ASSERT_TRUE(run->ok) << run->log.Text();
    EXPECT_EQ(run->ctx->triggerModeName, "tgm_Pbin_M2");
    EXPECT_EQ(run->log.lines()[12], "\n        PageSize = 77");
}

TEST(Pipeline, SecondLinkStartsFromClearedTables) {
    TempDir dir;
    auto run = Link(dir, MinimalProject("[ZLP.Firmware]\nBUSY_Signal=7\n"));
    ASSERT_TRUE(run->ok);
    run->ctx->triggerTable[5] = 9;
    WriteFile(dir / "project.zlp", MinimalProject());
    std::string image = dir / "out.cfo";
    ASSERT_TRUE(MakeZltCfo(*run->ctx, (dir / "project.zlp").c_str(), image.c_str()));
    EXPECT_EQ(run->ctx->keyTable[0x58], 0);
    EXPECT_EQ(run->ctx->triggerTable[5], 0);
}

TEST(Pipeline, OverlongPathsAreRefusedBeforeAnythingIsCreated) {
    TempDir dir;
    WriteFile(dir / "project.zlp", MinimalProject());
    const std::string project = dir / "project.zlp";
    const std::string longImage = dir / (std::string(300, 'x') + ".cfo");
    auto ctx = std::make_unique<LinkContext>();
    MessageLog log;
    EXPECT_FALSE(MakeZltCfo(*ctx, project.c_str(), longImage.c_str()));
    EXPECT_EQ(log.lines().back().rfind("\nErr: Path longer than 255 characters: ", 0), 0u);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1);
    EXPECT_FALSE(MakeZltCfo(*ctx, nullptr, longImage.c_str()));
    EXPECT_EQ(log.lines().back(), "\nErr: No file path given");
}

}  // namespace
}  // namespace zlt::test
