#include "sentence/labels.h"

#include "support/sentence_fixture.h"

#include <gtest/gtest.h>

namespace zlt::test {
namespace {

std::string StepFail(unsigned sentence, unsigned step) {
    return FormatText("\nErr: STEP referance fail, in S%0.4d(Step%0.3d) of file p.zlp",
                      static_cast<int>(sentence), static_cast<int>(step));
}

std::string Label(unsigned i) { return FormatText("Label_%0.5d", static_cast<int>(i)); }

// Numbers in first-met order, letter case significant; numbers outside the
// table name nothing and change nothing.
TEST(LabelTable, NumbersInFirstMetOrder) {
    LabelTable labels;
    EXPECT_EQ(labels.FindOrAdd("Intro"), 1);
    EXPECT_EQ(labels.FindOrAdd("intro"), 2);
    EXPECT_EQ(labels.FindOrAdd("Intro"), 1);
    EXPECT_TRUE(labels.SetBlockStart(2, 40) && labels.SetSentence(2, 7));
    EXPECT_EQ(labels.BlockStart(2) * 100 + labels.Sentence(2), 4007);
    for (std::uint16_t none : {0, 3, 8190, 0xFFFF}) {
        EXPECT_EQ(labels.Name(none), nullptr);
        EXPECT_FALSE(labels.SetBlockStart(none, 2) || labels.SetSentence(none, 2));
        EXPECT_EQ(labels.BlockStart(none) + labels.Sentence(none), 0);
    }
}

TEST(StepReferences, BecomeDistancesAndBlocksUnitNumbers) {
    ExpectUnits({
        {{{0, "W0001+^DJNZ_R0_STEP0"}}, {0x2001, 0x10FF, E}},
        {{{0, "^JZ_STEP2+W0001+W0002"}}, {0x1802, 0x2001, 0x2002, E}},
        {{{0, "^JZ_STEP2+W0001"}}, {0x1802, 0x2001, E}},  // the step after the last
        {{{0, "^JNZ_STEP0"}}, {0x1900, E}},               // itself
        {{{0, "^REM_x+N+W1+^JC_STEP1"}}, {0x2001, 0x1AFF, E}},
        {{{0, "W1+^BLK_A+W2+^JNC_STEP1"}}, {0x2001, 0x2002, 0x1BFF, E}},
        // A jump to a block declaration lands on its pad unit.
        {{{0, "W1+W2+^BLK_A+W3+^JNC_STEP2+^JG_STEP3"}},
         {0x2001, 0x2002, 0x0000, 0x2003, 0x1BFE, 0x1CFE, E}},
        // Backward and forward in a later sentence.
        {{{0, "W1"}, {1, "W2+^JGE_STEP0+^JL_STEP4+W3+^JLE_STEP1"}},
         {0x2001, E, 0x2002, 0x1DFF, 0x1E02, 0x2003, 0x1FFD, E}},
        // Blocks across sentences: a declaration first in its sentence takes a pad unit.
        {{{0, "W0001+W0002+W0003+W0004"}, {1, "^BLK_Loop+W0005+^JMP_Loop"}},
         {0x2001, 0x2002, 0x2003, 0x2004, E, 0x2005, 0xC003, E}},
        {{{0, "^BLK_A+W0001"}}, {0x0000, 0x2001, E}},  // pad unit
        {{{2, "^CALL_Late"}, {7, "W1+^BLK_Late+W2"}}, {0x8002, E, 0x2001, 0x2002, E}},
        {{{1, "^BLK_B+W1"}, {3, "^JMP_B+^CALL_B"}}, {0x0000, 0x2001, E, 0xC001, 0x8001, E}},
        {{{0, "^BLK_A_B+^BLK_+^CALL_A_B"}}, {0x0000, 0x8001, E}},  // empty label allowed
    });
}

TEST(StepReferences, ReachOnlyTheSentencesStepsAndBlocksTheirDeclarations) {
    const std::string words63 = "+" + Repeat("W1", 63);
    ExpectUnits({{{{0, "^JZ_STEP63" + words63}}, [] {
                      std::vector<std::uint16_t> units(64, 0x2001);
                      units[0] = 0x183F;
                      units.push_back(E);
                      return units;
                  }()}});
    ExpectFailures({
        {{{0, "^JZ_STEP9+W0001"}}, {StepFail(0, 0)}},
        {{{4, "W1+^JZ_STEP3"}}, {StepFail(4, 1)}},  // beyond the step after the last
        {{{0, "^JZ_STEP1+^JNZ_STEP70"}}, {StepFail(0, 1)}},
        {{{0, "^DJNZ_R1_STEP256"}}, {StepFail(0, 0)}},  // never spills into bits 15-8
        {{{0, "^JZ_STEP99999999999999"}}, {StepFail(0, 0)}},
        {{{0, "^JZ_STEP64" + words63}}, {StepFail(0, 0)}},
        {{{1, "^BLK_A"}, {5, "W1+W2+^BLK_A"}},
         {"\nErr: Multiple BLK declaration of file p.zlp", "\n     BlkLabel = A",
          "\n     Old declaration at S0001", "\n     Dup declaration at S0005(Step002)"}},
        {{{1, "W2"}, {4, "W1+^CALL_Nowhere"}},
         {"\nErr: BLK referance fail, at S0004 of file p.zlp", "\n     BlkLabel = Nowhere"}},
        {{{1, "^BLK_a"}, {4, "W1"}, {6, "^JMP_A+^BLK_A"}, {7, "^JMP_a+^JMP_b"}},
         {"\nErr: BLK referance fail, at S0007 of file p.zlp", "\n     BlkLabel = b"}},
    });
}


// The block at the last even unit: a CALL reaches it, a JMP would read as
// the end mark.
TEST(Blocks, JumpToUnit32766IsRefused) {
    for (const char* jump : {"^CALL_Top", "^JMP_Top"}) {
        Sentences s = {{0, jump}};
        s[AddFiller(s, 1, 32766 - 3)] = "^BLK_Top+W1";
        auto run = CompileSentenceTexts(s);
        if (jump[1] == 'C') {
            ASSERT_TRUE(run->ok) << run->LastLine();
            EXPECT_EQ(run->units[0], 0xBFFF);
            EXPECT_EQ(run->units[32765], 0x2001);  // unit 32766
        } else {
            EXPECT_FALSE(run->ok);
            EXPECT_EQ(run->log.lines().end()[-2],
                      "\nErr: BLK out of JMP range, at S0000 of file p.zlp");
            EXPECT_EQ(run->LastLine(), "\n     BlkLabel = Top");
        }
    }
}

// Labels 1 to 8190 are declared and reached; an 8191st is refused.
TEST(Blocks, LabelCapacity) {
    Sentences s;
    unsigned n = 0;
    for (unsigned first = 1; first <= LabelTable::kCapacity; first += 64, ++n) {
        std::string decl, calls;
        for (unsigned i = first; i < first + 64 && i <= LabelTable::kCapacity; ++i) {
            if (!decl.empty()) decl += '+', calls += '+';
            decl.append("^BLK_").append(Label(i));
            calls.append(i % 2 ? "^CALL_" : "^JMP_").append(Label(i));
        }
        s[n] = decl;
        s[4096 + n] = calls;
    }
    auto run = CompileSentenceTexts(s);
    ASSERT_TRUE(run->ok) << run->LastLine();
    // All declarations: one pad then one end mark per sentence, the blocks
    // of a sentence all starting at its end mark (even).
    EXPECT_EQ(run->units[0], 0x0000);
    EXPECT_EQ(run->ctx->sentenceIndex[1], 3);
    const auto callsAt = run->ctx->sentenceIndex[4096];
    EXPECT_EQ(run->ctx->sentenceTable[callsAt], 0x8000 | 1);       // label 1 at unit 2
    EXPECT_EQ(run->ctx->sentenceTable[callsAt + 1], 0xC000 | 1);   // label 2, same block
    EXPECT_EQ(run->ctx->sentenceTable[callsAt + 64], 0xFFFF);
    EXPECT_EQ(run->ctx->sentenceTable[callsAt + 65], 0x8000 | 2);  // label 65 at unit 4

    s[8000] = "^CALL_OneTooMany";
    ExpectFailures({{s, {"\nErr: Inavlid code in S8000(Step000) of file p.zlp"}}});
    s[8000] = "^BLK_OneTooMany";
    ExpectFailures({{s, {"\nErr: Internal error for BLK at S8000(Step000) of file p.zlp"}}});
}

}  // namespace
}  // namespace zlt::test
