#include "link/pipeline.h"

#include "support/link_fixture.h"

#include <gtest/gtest.h>

namespace zlt::test {
namespace {

// A failure in the paths given, in the head check before the image is
// opened, and in each stage after it: the link ends with its own lines; an
// older file at the image path stays until the image is opened and is gone
// after, and no temporary file is left. That each mistake stops the link with
// its own line is proven against the checker; the write failures of each
// section are in the word fault tests. The links run in a fresh folder, with
// paths relative to it.
TEST(Pipeline, EachFailureEndsWithItsOwnLinesAndLeavesNoImage) {
    const std::string head = "[ZLP.Head]\nSignature=NVK\nVersion=1.0\n";
    const std::string target = "[ZLP.System]\nTarget=ZELTA_900\nTG_Mode=TGM_SINGLE_M0\n";
    const std::string longImage = std::string(300, 'x') + ".cfo";
    const std::string invalid = "\nErr: Invalid ZLP file project.zlp";
    const struct {
        const char* name;
        std::string project;            // project.zlp
        std::vector<std::string> tail;  // the last lines
        bool opened;                    // the image was opened
        const char* projectPath = "project.zlp";
        const char* imagePath = "out.cfo";
    } cases[] = {
        {"missing project", "",
         {"\nInitial Linker for Zelta-900", "\nInitial missing.zlp", "\nErr: Can not load file missing.zlp"}, false,
         "missing.zlp"},
        {"folder as project", "", {"\nErr: Can not load file ."}, false, "."},
        {"no project path", "", {"\nInitial Linker for Zelta-900", "\nErr: No file path given"}, false, nullptr},
        {"overlong image path", head + target, {"\nErr: Path longer than 255 characters: " + longImage}, false,
         "project.zlp", longImage.c_str()},
        {"wrong signature", "[ZLP.Head]\nSignature=NVX\nVersion=1.0\n" + target, {invalid}, false},
        {"no version", "[ZLP.Head]\nSignature=NVK\n" + target, {invalid}, false},
        {"target letter case", head + "[ZLP.System]\nTarget=Zelta_900\nTG_Mode=TGM_SINGLE_M0\n",
         {"\nProcess Target", invalid}, true},
        {"baud", head + target + "[ZLP.Firmware.UartMode]\nBaudRate=19200\n",
         {"\nParsing Option-Table", "\nErr: Unknown or Unsupport serial baud !!!"}, true},
        {"quoted blank in trigger mode", head + "[ZLP.System]\nTarget=ZELTA_900\nTG_Mode=\" TGM_SINGLE_M0\"\n",
         {"\nProcess System-K", "\nErr: Unknown or Undefine TG_MODE !!!"}, true},
        {"word stage", head + target + "[ZLP.Word]\nW0001=/nonexistent/w.snx\n",
         {"\nParsing Word-Table", "\nErr: Can not access file /nonexistent/w.snx"}, true},
        {"step reference past the 64 steps", head + target + "[ZLP.Sentence]\nS0000=^JZ_STEP64+M10\n",
         {"\n        Parsing S0000", "\nErr: STEP referance fail, in S0000(Step000) of file project.zlp"}, true},
        {"block jump first in its sentence", head + target + "[ZLP.Sentence]\nS0000=M10\nS0001=^JMP_Nowhere\n",
         {"\nErr: BLK referance fail, at S0001 of file project.zlp", "\n     BlkLabel = Nowhere"}, true},
        {"trigger stage", head + target + "[ZLP.Trigger]\nT0001=LUN + S0005\n",
         {"\nParsing Trigger-Table", "\nErr: S0005 referance fail, in T0001 of file project.zlp"}, true},
    };
    TempDir dir;
    WorkingDirectory cwd(dir.path());
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        WriteFile("project.zlp", c.project);
        WriteFile("out.cfo", "an older image");
        auto ctx = std::make_unique<LinkContext>();  // alive while the files are checked
        MessageLog log;
        EXPECT_FALSE(MakeZltCfo(*ctx, c.projectPath, c.imagePath));
        const auto& lines = log.lines();
        ASSERT_GE(lines.size(), c.tail.size());
        EXPECT_EQ(std::vector<std::string>(lines.end() - static_cast<long>(c.tail.size()), lines.end()), c.tail);
        EXPECT_EQ(fs::exists("out.cfo"), !c.opened);
        EXPECT_EQ(std::distance(fs::directory_iterator("."), fs::directory_iterator()), c.opened ? 1 : 2);
    }
}

// Lenient spellings of the head and of the trigger mode pass, the mode
// choosing its firmware; a second link with the same context starts from
// cleared tables.
TEST(Pipeline, LenientSpellingsPassAndASecondLinkStartsAfresh) {
    TempDir dir;
    auto run = Link(dir, "[zlp.head]\nSIGNATURE = NVK\nversion = 1\n[ZLP.System]\nTarget=ZELTA_900\n"
                         "TG_Mode=tgm_Pbin_M2\n[ZLP.Firmware]\nBUSY_Signal=7\n");
    ASSERT_TRUE(run->ok) << run->log.Text();
    EXPECT_EQ(run->ctx->triggerModeName, "tgm_Pbin_M2");
    EXPECT_EQ(run->log.lines()[12], "\n        PageSize = 77");
    EXPECT_NE(run->ctx->keyTable[0x58], 0);
    run->ctx->triggerTable[5] = 9;
    WriteFile(dir / "project.zlp", MinimalProject());
    ASSERT_TRUE(MakeZltCfo(*run->ctx, (dir / "project.zlp").c_str(), (dir / "out.cfo").c_str()));
    EXPECT_EQ(run->ctx->keyTable[0x58], 0);
    EXPECT_EQ(run->ctx->triggerTable[5], 0);
}

}  // namespace
}  // namespace zlt::test
