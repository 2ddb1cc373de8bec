// The checker against the link: a project with one mistake on a known line
// gives exactly one diagnostic of the expected kind and place, with the
// severity its kind is declared with; a link of the same project fails
// exactly on an error, with the error line that the diagnostic carries.
#include "check/checker.h"

#include "link/pipeline.h"
#include "support/sentence_fixture.h"
#include "support/link_fixture.h"
#include "support/project_generator.h"
#include "word/clip_writer.h"

#include <gtest/gtest.h>

#include <map>
#include <optional>

namespace zlt::test {
namespace {

// Lines 1 to 12; a case replaces some of them (a line with several) or adds line 13.
const char* const kBase[] = {
    "[ZLP.Head]",   "Signature=NVK", "Version=1.0",  "[ZLP.System]", "Target=ZELTA_900", "TG_Mode=TGM_SINGLE_M0",
    "[ZLP.Word]",   "W0001=ok.snx",  "[ZLP.Sentence]", "S0001=W0001", "[ZLP.Trigger]",  "T0000=LUN + S0001",
};
using Edits = std::map<unsigned, std::string>;

std::string Project(Edits edits) {
    for (unsigned line = 1; line <= 12; ++line) edits.try_emplace(line, kBase[line - 1]);
    std::string text;
    for (const auto& [line, part] : edits) text += part + "\n";
    return text;
}

// Clip files of every fault, beside the project.
void WriteClips(const TempDir& dir) {
    auto clip = [&](const char* name, auto change) {
        ClipFields f;
        f.dataLength = 64;
        change(f);
        WriteClipFile(dir / name, ClipFileBytes(BuildClipHeader(f), std::vector<std::uint8_t>(64)));
    };
    clip("ok.snx", [](ClipFields&) {});
    clip("a\\b.snx", [](ClipFields&) {});
    clip("sig.snx", [](ClipFields& f) { f.formatTag[3] = 'X'; });
    clip("ver.snx", [](ClipFields& f) { f.version = 0x00020003; });
    clip("two.snx", [](ClipFields& f) { f.channels = 2; });
    clip("bits.snx", [](ClipFields& f) { f.bitsPerChannel = 12; });
    clip("rate.snx", [](ClipFields& f) { f.sampleRate = 12000; });
    clip("zero.snx", [](ClipFields& f) { f.dataLength = 0; });
    clip("key.snx", [](ClipFields& f) { f.keyIndexA = 200; });
    clip("short.snx", [](ClipFields& f) { f.dataLength = 4000; });
    clip("huge.snx", [](ClipFields& f) { f.dataLength = 0x0FFFFFFF; });
    WriteFile(dir / "tiny.snx", "Sonorium Format");
}

std::string Messages(const std::vector<Diagnostic>& found) {
    std::string all;
    for (const Diagnostic& d : found) all += FormatText("\n%u:%u: %s", d.at.line, d.at.column, d.message.c_str());
    return all;
}

// `count` sentences from S0100 on that fill 65 code units each.
std::string Filler(int count) {
    std::string text;
    for (int n = 100; n < 100 + count; ++n) text += FormatText("S%0.4d=", n) + Repeat("M0", 64) + "\n";
    return text;
}

struct Case {
    const char* kind;
    Edits edits;
    unsigned line, column;
    const char* says = "";  // a part of the message
};

// The first error line of a link of the project; none when it links.
std::optional<std::string> LinkError(const std::string& project) {
    auto ctx = std::make_unique<LinkContext>();
    MessageLog log;
    if (MakeZltCfo(*ctx, project.c_str(), (project + ".cfo").c_str())) return std::nullopt;
    for (const std::string& l : log.lines())
        if (l.starts_with("\nErr: ")) return l;
    return "";
}

TEST(Checker, EachMistakeOnItsLineAgreesWithTheLink) {
    const std::string fw = "TG_Mode=TGM_SINGLE_M0\n[ZLP.Firmware]\n";
    const std::string uart = "TG_Mode=TGM_SINGLE_M0\n[ZLP.Firmware.UartMode]\n";
    const std::string bound2 = "T0000=LUN + S0001\nT0001=LUN + S0002";
    std::string huge;
    // Sixteen words of 2^19 pages: the word image is full at the last.
    for (int n = 1; n <= 16; ++n) huge += FormatText("W%0.4d=huge.snx%s", n, n < 16 ? "\n" : "");
    const Case cases[] = {
        {"bad-signature", {{2, "Signature=NV"}}, 2, 11},
        {"missing-key", {{2, "; Signature=NVK"}}, 1, 2},
        {"bad-version", {{3, "Version=0.9"}}, 3, 9},
        {"bad-target", {{5, "Target=zelta_900"}}, 5, 8},
        {"bad-trigger-mode", {{6, "TG_Mode=TGM_BIN_M3"}}, 6, 9},
        {"bad-bits-parity", {{6, uart + "BitsParity=83"}}, 8, 12},
        {"bad-baud-rate", {{6, uart + "BaudRate=19200"}}, 8, 10},
        {"clip-missing", {{8, "W0001=gone.snx"}}, 8, 7},
        {"clip-unreadable", {{8, "W0001=tiny.snx"}}, 8, 7},
        {"clip-signature", {{8, "W0001=sig.snx"}}, 8, 7},
        {"clip-version", {{8, "W0001=ver.snx"}}, 8, 7},
        {"clip-channels", {{8, "W0001=two.snx"}}, 8, 7},
        {"clip-bits", {{8, "W0001= bits.snx"}}, 8, 8},
        {"clip-rate", {{8, "W0001=rate.snx"}}, 8, 7},
        {"clip-data-length", {{8, "W0001=zero.snx"}}, 8, 7},
        {"clip-key-index", {{8, "W0001=key.snx"}}, 8, 7},
        {"clip-data-short", {{8, "W0001=short.snx"}}, 8, 7},
        {"word-image-full", {{8, huge}, {10, "S0001=W1+W2+W3+W4+W5+W6+W7+W8+W9+W10+W11+W12+W13+W14+W15+W16"}}, 23, 7},
        // The sentence stage points at the step, the trigger stage at the field.
        {"invalid-step", {{10, "S0001=W0001+X"}}, 10, 13, "begins with `W`, `M`, `N` or `^`"},
        {"invalid-step", {{10, "S0001=W0001;M51151"}}, 10, 13, "from 0 to 51150"},
        {"invalid-step", {{10, "S0001=W0001+^XCH_R1_05"}}, 10, 13, "as in `^XCH_R1_R2`"},
        {"unknown-instruction", {{10, "S0001=W0001+^MOVE_R2_03"}}, 10, 13, "did you mean `^MOV_`?"},
        {"undefined-word", {{10, "S0001=W0001+W0009"}}, 10, 13},
        {"bad-step-reference", {{10, "S0001=W0001+^JZ_STEP9"}}, 10, 13, "steps 0 to 2"},
        {"undeclared-block", {{10, "S0001=W0001+^CALL_Nowhere"}}, 10, 13},
        {"undeclared-block", {{10, "S0001=W0001+^CALL_chime\nS0002=^BLK_Chime+W1"}, {12, bound2}}, 10, 13,
         "`^BLK_Chime` differs only in letter case"},
        {"duplicate-block", {{10, "S0001=^BLK_A+W0001+^BLK_A"}}, 10, 20},
        {"block-placement", {{10, "S0001=W0001+^JMP_Z\n" + Filler(504) + "S0700=M0\nS0701=^BLK_Z+W0001"}}, 10, 13,
         "beyond the reach"},
        {"sentence-table-full", {{10, "S0001=W0001\n" + Filler(520)}}, 515, 22},
        {"invalid-trigger", {{12, "T0000=LUN + S0001\nT0001=LUN + X0001"}}, 13, 13},
        {"invalid-trigger", {{12, "T0000=LUN + S0001\nT0001=LUN +"}}, 13, 7},
        {"bad-mode-letter", {{12, "T0000=LUX + S0001"}}, 12, 9},
        {"bad-clock-condition", {{13, "T7808=LUN + S0001 + 8h30"}}, 13, 21, "none of the eight forms"},
        {"bad-clock-condition", {{13, "T7808=LUN + S0001"}}, 13, 7, "has no clock condition"},
        {"undefined-sentence", {{12, bound2}}, 13, 13},
        {"unknown-section", {{13, "[ZLP.Words]"}}, 13, 2},
        {"unknown-key", {{6, fw + "Reset_Bep=1"}}, 8, 1},
        {"malformed-key", {{8, "W0001=ok.snx\nW017=ok.snx"}}, 9, 1},
        {"duplicate-key", {{8, "W0001=ok.snx\nw0001 = ok.snx"}}, 9, 1},
        {"option-narrowed", {{6, fw + "BUSY_Signal=300"}}, 8, 13},
        {"option-unreadable", {{6, fw + "Reset_Beep=maybe"}}, 8, 12},
        {"trailing-text", {{6, uart + "BaudRate=2400 ; slow"}}, 8, 15},
        {"backslash-path", {{8, "W0001=a\\b.snx"}}, 8, 7},
        {"unused-word", {{8, "W0001=ok.snx\nW0002=ok.snx"}}, 9, 7},
        {"text-after-number", {{10, "S0001=W1x"}}, 10, 9},
        {"text-after-number", {{10, "S0001=W1+^JZ_STEP0;^MOV_R1_0Fh"}}, 10, 30},
        {"text-after-number", {{13, "T7808=LUN + S0001 + 8:30x"}}, 13, 25},
        {"text-after-blank", {{10, "S0001=W0001 W0015"}}, 10, 13},
        {"bad-register", {{10, "S0001=W1+^MOV_R9_R1"}}, 10, 15, "read as R0"},
        {"bad-register", {{10, "S0001=W1+^MOV_R2_r1"}}, 10, 18, "read as the number 0"},
        {"too-many-steps", {{10, "S0001=" + Repeat("W1", 70)}}, 10, 7 + 3 * 64, "70 steps"},
        {"unknown-weekday", {{13, "T7808=LUN + S0001 + SATUR/17:0"}}, 13, 21, "did you mean `SAT`?"},
        {"unknown-weekday", {{13, "T7808=LUN + S0001 + MON-FRI/8:30"}}, 13, 21, "`MON~FRI`"},
        {"unknown-month", {{13, "T7808=LUN + S0001 + FOO-3/8:30"}}, 13, 21, "read as JAN"},
        {"unreached-sentence", {{10, "S0001=W0001\nS0002=W0001"}}, 11, 7},
        {"empty-sentence", {{10, "S0001=W0001\nS0002=^REM_todo"}, {12, bound2}}, 14, 13},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.kind);
        TempDir dir;
        WriteClips(dir);
        WorkingDirectory cwd(dir.path());
        WriteFile("p.zlp", Project(c.edits));
        std::vector<Diagnostic> found = CheckProject("p.zlp");
        // The filler sentences of some rows are bound to no trigger.
        std::erase_if(found, [&](const Diagnostic& d) {
            return d.severity == Severity::kNote ||
                   (d.kind == Diag::kUnreachedSentence && std::string_view(c.kind) != "unreached-sentence");
        });
        ASSERT_EQ(found.size(), 1u) << Messages(found);
        const Diagnostic& d = found[0];
        EXPECT_STREQ(InfoOf(d.kind).name, c.kind);
        EXPECT_EQ(d.severity, InfoOf(d.kind).severity);
        EXPECT_EQ(std::tuple(d.at.line, d.at.column), std::tuple(c.line, c.column)) << d.message;
        EXPECT_NE(d.message.find(c.says), std::string::npos) << d.message;
        const std::optional<std::string> error = LinkError("p.zlp");
        EXPECT_EQ(error.has_value(), d.severity == Severity::kError);
        EXPECT_TRUE(!error || (d.stopsLink && d.linkLine == *error)) << d.linkLine << " | " << error.value_or("");
    }
}

// A clean project gives nothing (the demo project's check is the Python
// module's test); a project with six faulty entries gives each once, in file
// order, at the value, step or field, and the first a link meets is the one
// it stops at. A trigger bound to a faulty sentence is checked all the same.
TEST(Checker, ReportsEveryFaultyEntryAndNothingForACleanProject) {
    TempDir dir;
    WriteClips(dir);
    WorkingDirectory cwd(dir.path());
    WriteFile("clean.zlp", Project({}));
    EXPECT_TRUE(CheckProject("clean.zlp").empty());
    WriteFile("six.zlp", Project({{6, "TG_Mode=TGM_X\n[ZLP.Firmware.UartMode]\nBaudRate=1"},
                                  {8, "W0001=ok.snx\nW0002=gone.snx"},
                                  {10, "S0001=W0001+W0002\nS0002=W0001+X"},
                                  {12, "T0000=LUN + S0001\nT0001=LU + S0001\nT0002=LUX + S0002"}}));
    std::vector<std::tuple<unsigned, unsigned, bool>> errors;
    const std::vector<Diagnostic> found = CheckProject("six.zlp");
    for (const Diagnostic& d : found)
        if (d.severity == Severity::kError) errors.emplace_back(d.at.line, d.at.column, d.stopsLink);
    EXPECT_EQ(errors, (std::vector<std::tuple<unsigned, unsigned, bool>>{
                          {6, 9, false}, {8, 10, true}, {11, 7, false}, {14, 13, false}, {17, 7, false}, {18, 9, false}}))
        << Messages(found);
    // The project-unreadable kind is in the SARIF test and the link transcript.
    EXPECT_EQ(CheckProject(std::string(300, 'p').c_str()).at(0).kind, Diag::kPathTooLong);
}

// Generated projects with a few mistakes each: the link fails exactly when
// the check reports an error, and its error line is the one that the check
// flags as where the link stops.
TEST(Checker, AgreesWithTheLinkOnMutatedProjects) {
    int failed = 0;
    constexpr unsigned kSeeds = 30;
    for (unsigned seed = 1; seed <= kSeeds; ++seed) {
        SCOPED_TRACE(seed);
        TempDir dir;
        fs::create_directory(dir / "in");
        ProjectGenerator generator(seed, dir / "in");
        const std::string text = generator.Project();
        const std::string project = dir / "p.zlp";
        WriteFile(project, generator.Mutate(text, 1 + static_cast<int>(seed % 3)));
        std::string flagged;
        bool errors = false;
        for (const Diagnostic& d : CheckProject(project.c_str())) {
            errors |= d.severity == Severity::kError;
            if (d.stopsLink) flagged = d.linkLine;
        }
        const std::optional<std::string> error = LinkError(project);
        ASSERT_EQ(error.has_value(), errors) << flagged;
        EXPECT_EQ(flagged, error.value_or(""));
        failed += error.has_value();
    }
    EXPECT_GT(failed, static_cast<int>(kSeeds / 4));
    EXPECT_LT(failed, static_cast<int>(kSeeds));
}

}  // namespace
}  // namespace zlt::test
