#include "sentence/sentence_table.h"

#include "support/sentence_fixture.h"

#include <gtest/gtest.h>

namespace zlt::test {
namespace {

std::string Invalid(unsigned sentence, unsigned step) {
    return FormatText("\nErr: Inavlid code in S%0.4d(Step%0.3d) of file p.zlp",
                      static_cast<int>(sentence), static_cast<int>(step));
}

TEST(SentenceTable, StepKindsAndSplitting) {
    ExpectUnits({
        {{{0, "W0003+^EOP"}}, {0x2003, E}},  // no second end mark
        {{{0, "W1;;W2"}}, {0x2001, 0x2002, E}},
        {{{0, "+W1+W2+"}}, {0x2001, 0x2002, E}},
        {{{0, "  W0002  +M100"}}, {0x2002, 0x0402, E}},
        {{{0, "M49+M51150+M0"}}, {0x0400, 0x07FF, 0x0400, E}},
        {{{0, "W0"}}, {0x2000, E}},
        {{{0, "W7x+W\t3+W-0"}}, {0x2007, 0x2003, 0x2000, E}},  // strtoul reading
        {{{0, "W0001 W0002"}}, {0x2001, E}},  // text after the first blank ignored
        {{{0, "\tW1\t+W2"}}, {0x2001, 0x2002, E}},
        {{{0, "N+Nothing+N-at-all"}}, {E}},
        {{{0, "^REM_a comment+W1"}}, {0x2001, E}},
        {{{0, Repeat("W1", 70)}}, [] {
             std::vector<std::uint16_t> units(64, 0x2001);
             units.push_back(E);
             return units;
         }()},
        // Every key is read, also past gaps.
        {{{0, "W1"}, {5, "W2"}, {8191, "W3"}}, {0x2001, E, 0x2002, E, 0x2003, E}},
    });
}

TEST(SentenceTable, InvalidSteps) {
    ExpectFailures({
        {{{0, "W"}}, {Invalid(0, 0)}},
        {{{0, "M"}}, {Invalid(0, 0)}},
        {{{0, "M51151"}}, {Invalid(0, 0)}},
        {{{0, "M-1"}}, {Invalid(0, 0)}},
        {{{0, "W8192"}}, {Invalid(0, 0)}},
        {{{0, "W-1"}}, {Invalid(0, 0)}},
        {{{0, "Wx1"}}, {Invalid(0, 0)}},
        {{{2, "w0001"}}, {Invalid(2, 0)}},
        {{{2, "W1+^mov_R0_R1"}}, {Invalid(2, 1)}},
        {{{0, "^REM_a+b"}}, {Invalid(0, 1)}},
        {{{0, "W1;;W2;X"}}, {Invalid(0, 2)}},
        {{{0, "^REM_x+N+^Q"}}, {Invalid(0, 2)}},
        {{{0, "^MOV_R0_100"}}, {Invalid(0, 0)}},
        {{{0, "1"}}, {Invalid(0, 0)}},
        {{{9, "W0100"}}, {"\nErr: W0100 referance fail, in S0009(Step000) of file p.zlp"}},
        {{{9, "W1+W8191"}}, {"\nErr: W8191 referance fail, in S0009(Step001) of file p.zlp"}},
    });
}

// Pieces of blanks only are skipped like empty ones: they take no step
// number, and a sentence of nothing else does not exist.
TEST(SentenceTable, BlankPiecesAreSkipped) {
    ExpectFailures({{{{0, "W1+   +W2+X"}}, {Invalid(0, 2)}}});
    auto run = CompileSentenceTexts({{0, " + ;  + "}, {1, "W1"}, {2, ""}});
    ASSERT_TRUE(run->ok);
    EXPECT_EQ(run->ctx->sentenceIndex[0], 0);
    EXPECT_EQ(run->ctx->sentenceIndex[1], 1);
    EXPECT_EQ(run->ctx->sentenceIndex[2], 0);
    EXPECT_EQ(run->log.lines(), (std::vector<std::string>{"\n        Parsing S0001",
                                                          "\n        Total used STEP = 3"}));
}

// A sentence that stores nothing gets an end mark of its own instead of
// sharing the next sentence's code.
TEST(SentenceTable, SentenceWithoutUnitsGetsItsOwnEndMark) {
    auto run = CompileSentenceTexts({{0, "^REM_silence+N"}, {1, "^BLK_B"}, {2, "W1"}});
    ASSERT_TRUE(run->ok);
    EXPECT_EQ(run->units, (std::vector<std::uint16_t>{E, E, 0x2001, E}));
    EXPECT_EQ(run->ctx->sentenceIndex[0], 1);
    EXPECT_EQ(run->ctx->sentenceIndex[1], 2);  // block B starts at its end mark
    EXPECT_EQ(run->ctx->sentenceIndex[2], 3);
}

TEST(SentenceTable, LengthLimitsRefuseTheStep) {
    ExpectUnits({
        {{{0, "W1" + std::string(16381, ';')}}, {0x2001, E}},
        {{{0, "^REM_" + std::string(250, 'x') + "+W1"}}, {0x2001, E}},
        {{{0, "W1 " + std::string(400, 'x')}}, {0x2001, E}},  // past the first blank
    });
    ExpectFailures({
        {{{3, "W1" + std::string(16382, ';')}}, {"\n        Parsing S0003", Invalid(3, 0)}},
        {{{0, "W1+^REM_" + std::string(251, 'x')}}, {Invalid(0, 1)}},
        {{{0, "W1+W" + std::string(300, '0') + "1"}}, {Invalid(0, 1)}},
    });
}

// 32767 units are usable: units 1 to 32767.
TEST(SentenceTable, UnitLimit) {
    const std::string tooMany = "\nErr: More then 32768 STEPs !!!";
    Sentences full;
    unsigned last = AddFiller(full, 0, 32767 - 64);
    // A 64-step sentence that ends with ^EOP fills the table exactly.
    full[last] = Repeat("W2", 63) + "+^EOP";
    auto run = CompileSentenceTexts(full);
    ASSERT_TRUE(run->ok) << run->LastLine();
    EXPECT_EQ(run->units.size(), 32767u);
    EXPECT_EQ(run->LastLine(), "\n        Total used STEP = 32768");

    // Its end mark would fall at unit 32768.
    Sentences overflow = full;
    overflow[last] = Repeat("W2", 64);
    // Another sentence after a full table.
    Sentences after = full;
    after[last + 1] = "W3";
    // The step loop checks before each piece, also before the last pass.
    Sentences stepLoop;
    stepLoop[AddFiller(stepLoop, 0, 32767 - 10)] = Repeat("W2", 10) + "+N";
    // A pad unit at unit 32767 leaves no room for the end mark.
    Sentences pad;
    pad[AddFiller(pad, 0, 32766)] = "^BLK_A";
    ExpectFailures({{overflow, {tooMany}}, {after, {tooMany}}, {stepLoop, {tooMany}},
                    {pad, {tooMany}}});
}

}  // namespace
}  // namespace zlt::test
