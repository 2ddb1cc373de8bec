#include "sentence/labels.h"

#include "support/sentence_fixture.h"

#include <gtest/gtest.h>

namespace zlt::test {
namespace {

std::string Label(unsigned i) { return FormatText("Label_%0.5d", static_cast<int>(i)); }

// Numbers in first-met order, letter case significant; numbers outside the
// table name nothing and change nothing.
TEST(LabelTable, NumbersInFirstMetOrder) {
    LabelTable labels;
    EXPECT_EQ((std::vector{labels.FindOrAdd("Intro"), labels.FindOrAdd("intro"), labels.FindOrAdd("Intro")}),
              (std::vector<std::uint16_t>{1, 2, 1}));
    for (std::uint16_t none : {0, 3}) {
        EXPECT_EQ(labels.Name(none), nullptr);
        EXPECT_FALSE(labels.SetBlockStart(none, 2) || labels.SetSentence(none, 2));
        EXPECT_EQ(labels.BlockStart(none) + labels.Sentence(none), 0);
    }
}

// A step reference becomes the distance to its target's unit: a step that
// stores nothing has the unit of the step after it or of its pad unit, the
// step after the last that of the end mark. It reaches the steps of its own
// sentence up to step 63; a block label reaches a declaration of the same
// name, an empty one too. References forward and back and blocks across
// sentences are in the golden image "blocks".
TEST(StepReferences, ReachTheSentencesStepsAndBlocksTheirDeclarations) {
    const std::string words63 = "+" + Repeat("W1", 63);
    std::vector<std::uint16_t> reach63(65, 0x2001);
    reach63.front() = 0x183F, reach63.back() = E;
    ExpectUnits({
        {{{0, "^REM_x+N+W1+^JC_STEP1+^JZ_STEP5"}}, {0x2001, 0x1AFF, 0x1801, E}},
        {{{0, "W1+W2+^BLK_A+W3+^JNC_STEP2+^JG_STEP3"}}, {0x2001, 0x2002, 0x0000, 0x2003, 0x1BFE, 0x1CFE, E}},
        {{{0, "^BLK_A_B+^BLK_+^CALL_A_B"}}, {0x0000, 0x8001, E}},
        {{{0, "^JZ_STEP63" + words63}}, reach63},
    });
    ExpectFailures({
        {{{4, "W1+^JZ_STEP3"}}, {"\nErr: STEP referance fail, in S0004(Step001) of file p.zlp"}},
        {{{0, "^JZ_STEP64" + words63}}, {"\nErr: STEP referance fail, in S0000(Step000) of file p.zlp"}},
        {{{1, "^BLK_A"}, {5, "W1+W2+^BLK_A"}},
         {"\nErr: Multiple BLK declaration of file p.zlp", "\n     BlkLabel = A",
          "\n     Old declaration at S0001", "\n     Dup declaration at S0005(Step002)"}},
        {{{1, "W2"}, {4, "W1+^CALL_Nowhere"}},
         {"\nErr: BLK referance fail, at S0004 of file p.zlp", "\n     BlkLabel = Nowhere"}},
        // The jump that fails is the first unit of its sentence.
        {{{1, "^BLK_a"}, {4, "W1"}, {6, "^JMP_A+^BLK_A"}, {7, "^JMP_b+^JMP_a"}},
         {"\nErr: BLK referance fail, at S0007 of file p.zlp", "\n     BlkLabel = b"}},
    });
}

// The block at the last even unit: a CALL reaches it, a JMP would read as
// the end mark.
TEST(Blocks, JumpToUnit32766IsRefused) {
    Sentences s = {{0, "^CALL_Top"}};
    s[AddFiller(s, 1, 32766 - 3)] = "^BLK_Top+W1";
    auto run = CompileSentenceTexts(s);
    ASSERT_TRUE(run->ok) << run->LastLine();
    EXPECT_EQ(run->units[0], 0xBFFF);
    EXPECT_EQ(run->units[32765], 0x2001);  // unit 32766
    s[0] = "^JMP_Top";
    ExpectFailures({{s, {"\nErr: BLK out of JMP range, at S0000 of file p.zlp", "\n     BlkLabel = Top"}}});
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
