#include "link/pipeline.h"

#include "support/link_fixture.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace zlt::test {
namespace {

struct FailureCase {
    const char* name;
    std::string project;           // project text ("" = no project file at all)
    std::vector<std::string> tail; // the last lines, after "\nInitial <project>"
    bool imageInitialized;         // "\nInitial <image>" was sent
};

// "{P}" and "{I}" in expected lines stand for the project and image paths.
std::string Expand(std::string line, const TempDir& dir) {
    for (auto [mark, value] : {std::pair{"{P}", dir / "project.zlp"}, {"{I}", dir / "out.cfo"}}) {
        for (std::size_t at; (at = line.find(mark)) != std::string::npos;)
            line.replace(at, 3, value);
    }
    return line;
}

TEST(Pipeline, EachFailureEndsWithItsOwnLineAndLeavesNoImage) {
    const std::string head = "[ZLP.Head]\nSignature=NVK\nVersion=1.0\n";
    const std::string target = "[ZLP.System]\nTarget=ZELTA_900\nTG_Mode=TGM_SINGLE_M0\n";
    const FailureCase cases[] = {
        {"wrong signature", "[ZLP.Head]\nSignature=NVX\nVersion=1.0\n" + target,
         {"\nErr: Invalid ZLP file {P}"}, false},
        {"signature letter case", "[ZLP.Head]\nSignature=nvk\nVersion=1.0\n" + target,
         {"\nErr: Invalid ZLP file {P}"}, false},
        {"version below 1.0", "[ZLP.Head]\nSignature=NVK\nVersion=0.9\n" + target,
         {"\nErr: Invalid ZLP file {P}"}, false},
        {"no version", "[ZLP.Head]\nSignature=NVK\n" + target,
         {"\nErr: Invalid ZLP file {P}"}, false},
        {"target letter case", head + "[ZLP.System]\nTarget=Zelta_900\nTG_Mode=TGM_SINGLE_M0\n",
         {"\nProcess Target", "\nErr: Invalid ZLP file {P}"}, true},
        {"no target", head + "[ZLP.System]\nTG_Mode=TGM_SINGLE_M0\n",
         {"\nProcess Target", "\nErr: Invalid ZLP file {P}"}, true},
        {"bits and parity", head + target + "[ZLP.Firmware.UartMode]\nBitsParity=83\nBaudRate=0\n",
         {"\nParsing Option-Table", "\nErr: Unknown or Unsupport serial bits and parity spec. !!!"},
         true},
        {"baud", head + target + "[ZLP.Firmware.UartMode]\nBaudRate=19200\n",
         {"\nParsing Option-Table", "\nErr: Unknown or Unsupport serial baud !!!"}, true},
        {"no trigger mode", head + "[ZLP.System]\nTarget=ZELTA_900\n",
         {"\nProcess System-K", "\nErr: Unknown or Undefine TG_MODE !!!"}, true},
        {"unknown trigger mode", head + "[ZLP.System]\nTarget=ZELTA_900\nTG_Mode=TGM_SINGLE\n",
         {"\nProcess System-K", "\nErr: Unknown or Undefine TG_MODE !!!"}, true},
        {"quoted blank in trigger mode", head + "[ZLP.System]\nTarget=ZELTA_900\nTG_Mode=\" TGM_SINGLE_M0\"\n",
         {"\nProcess System-K", "\nErr: Unknown or Undefine TG_MODE !!!"}, true},
        {"word stage", head + target + "[ZLP.Word]\nW0001=/nonexistent/w.snx\n",
         {"\nParsing Word-Table", "\nErr: Can not access file /nonexistent/w.snx"}, true},
        {"sentence stage", head + target + "[ZLP.Sentence]\nS0003=W1\n",
         {"\n        Parsing S0003", "\nErr: W0001 referance fail, in S0003(Step000) of file {P}"}, true},
        {"trigger stage", head + target + "[ZLP.Trigger]\nT0001=LUN + S0005\n",
         {"\nParsing Trigger-Table", "\nErr: S0005 referance fail, in T0001 of file {P}"}, true},
    };
    for (const FailureCase& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        WriteFile(dir / "out.cfo", "an older image");
        auto run = Link(dir, c.project);
        EXPECT_FALSE(run->ok);
        const auto& lines = run->log.lines();
        ASSERT_GE(lines.size(), 2 + c.tail.size());
        EXPECT_EQ(lines[1], Expand("\nInitial {P}", dir));
        EXPECT_EQ(lines.size() > 2 && lines[2] == Expand("\nInitial {I}", dir), c.imageInitialized);
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

TEST(Pipeline, AWriteFailureInEachSectionEndsTheLinkWithItsLine) {
    // Byte offsets at which each part of the minimal project's image starts.
    struct Case {
        const char* part;
        std::uint64_t offset;
        const char* progress;  // the progress line just before the error
    } cases[] = {
        {"provisional header", 0, "\nInitial {I}"},
        {"firmware", 512, "\nProcess System-K"},
        {"firmware padding", 512 + 37744, "\nProcess System-K"},
        {"key table", 512 * 75, "\nProcess ZLT_KTAB.BIN"},
        {"trigger table", 512 * 93, "\nProcess ZLT_TTAB.BIN"},
        {"sentence table", 512 * 125, "\nProcess ZLT_STAB.BIN"},
        {"word table", 512 * 253, "\nProcess ZLT_WTAB.BIN"},
        {"read-me", 512 * 381, "\nProcess ReadMe.txt"},
        {"read-me padding", 512 * 381 + 300, "\nProcess ReadMe.txt"},
        {"final header", 512 * 382, "\nProcess OK !!!"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.part);
        TempDir dir;
        WriteFile(dir / "project.zlp", MinimalProject());
        auto ctx = std::make_unique<LinkContext>();
        ctx->image.FailWritesAfter(c.offset);
        MessageLog log;
        const std::string image = dir / "out.cfo";
        EXPECT_FALSE(MakeZltCfo(*ctx, (dir / "project.zlp").c_str(), image.c_str()));
        const auto& lines = log.lines();
        ASSERT_GE(lines.size(), 2u);
        EXPECT_EQ(lines.back(), "\nErr: Can not wrtie file " + image);
        if (std::string(c.part) != "final header") {
            EXPECT_EQ(lines[lines.size() - 2], Expand(c.progress, dir));
        }
        // Only the project file is left: no image and no temporary file.
        EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1);
        EXPECT_FALSE(fs::exists(image));
    }
}

}  // namespace
}  // namespace zlt::test
