#include "sentence/sentence_table.h"

#include "support/sentence_fixture.h"

#include <gtest/gtest.h>

namespace zlt::test {
namespace {

std::string Invalid(unsigned sentence, unsigned step) {
    return FormatText("\nErr: Inavlid code in S%0.4d(Step%0.3d) of file p.zlp",
                      static_cast<int>(sentence), static_cast<int>(step));
}

// How a sentence splits into steps, what the steps of words, mutes and
// nothing store, and their bounds: 64 steps of a sentence are read, its
// text holds at most 16383 bytes, a step's text (up to its first blank) at
// most 255. Pieces that are empty or blank take no step number, and a
// sentence of nothing else does not exist. The golden image "blocks" holds
// the usual forms.
TEST(SentenceTable, StepsAndTheirBounds) {
    std::vector<std::uint16_t> read64(64, 0x2001);
    read64.push_back(E);
    ExpectUnits({
        {{{0, "+  W0002  +\tW1\t+M51150;"}}, {0x2002, 0x2001, 0x07FF, E}},
        // Numbers read as strtoul reads them; text after the first blank ignored.
        {{{0, "W7x+W\t3+W-0+W0001 W0002"}}, {0x2007, 0x2003, 0x2000, 0x2001, E}},
        {{{0, "^REM_a comment+Nothing+N-at-all+W1"}}, {0x2001, E}},
        {{{0, Repeat("W1", 65)}}, read64},
        {{{0, " + ;  + "}, {1, "W1"}, {2, ""}, {8191, "W3"}}, {0x2001, E, 0x2003, E}},
        {{{0, "W1" + std::string(16381, ';')}}, {0x2001, E}},
        {{{0, "^REM_" + std::string(250, 'x') + "+W1"}}, {0x2001, E}},
        {{{0, "W1 " + std::string(400, 'x')}}, {0x2001, E}},
    });
    ExpectFailures({
        {{{0, "W"}}, {Invalid(0, 0)}},
        {{{0, "W8192"}}, {Invalid(0, 0)}},
        {{{0, "W-1"}}, {Invalid(0, 0)}},
        {{{0, "M"}}, {Invalid(0, 0)}},
        {{{0, "M51151"}}, {Invalid(0, 0)}},
        {{{0, "M-1"}}, {Invalid(0, 0)}},
        {{{2, "w0001"}}, {Invalid(2, 0)}},
        {{{0, "^REM_x+N+^mov_R0_R1"}}, {Invalid(0, 2)}},
        {{{0, "W1;; ;W2+X"}}, {Invalid(0, 2)}},
        {{{0, "^MOV_R0_100"}}, {Invalid(0, 0)}},
        {{{9, "W1+W8191"}}, {"\nErr: W8191 referance fail, in S0009(Step001) of file p.zlp"}},
        {{{3, "W1" + std::string(16382, ';')}}, {"\n        Parsing S0003", Invalid(3, 0)}},
        {{{0, "W1+^REM_" + std::string(251, 'x')}}, {Invalid(0, 1)}},
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
    EXPECT_EQ(run->LastLine(), "\n        Total used STEP = 32768");
    // One unit more: the sentence's own end mark, another sentence, or the
    // end mark after a pad unit at unit 32767.
    Sentences overflow = full, after = full, pad;
    overflow[last] = Repeat("W2", 64);
    after[last + 1] = "W3";
    pad[AddFiller(pad, 0, 32766)] = "^BLK_A";
    ExpectFailures({{overflow, {tooMany}}, {after, {tooMany}}, {pad, {tooMany}}});
}

}  // namespace
}  // namespace zlt::test
