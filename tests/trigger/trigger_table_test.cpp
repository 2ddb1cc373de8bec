// The trigger stage: clock condition texts and their words, the fields the
// key table owns, and the entries of ZLP.Trigger. The usual trigger and clock
// condition forms are linked in the golden image "blocks", and the
// inspector's transcript of the demo reads two clock conditions back.
#include "trigger/trigger_table.h"

#include "base/bytes.h"
#include "support/stage_fixture.h"
#include "trigger/clock_condition.h"
#include "trigger/key_table.h"

#include <gtest/gtest.h>

#include <array>

namespace zlt::test {
namespace {

// A condition text gives its word, and the word gives back the text in the
// shortest form that gives it.
TEST(ClockCondition, TextsWordsAndBack) {
    const struct {
        const char* text;
        std::uint32_t word;
        const char* back;  // nullptr: the text itself
    } cases[] = {
        {"dec-25/8:30", 0xE67F47DE, "DEC-25/8:30"},
        {"XYZ/8:30", 0x800747DE, "SUN/8:30"},      // unknown weekday: Sunday
        {"FOO-3/8:30", 0x88FF47DE, "JAN-3/8:30"},  // unknown month: January
        {"8:30x", 0x803F47DE, "8:30"},             // text after the last number is ignored
        {"MON-FRI/8:30", 0x800747DE, "SUN/8:30"},  // a hyphen: one unknown weekday name, of 7 characters
        {" 08:05", 0x803F47C5, "8:5"},
        {"DEC-0/8:30", 0xE03F47DE, nullptr},
        {"0:0", 0x803F07C0, nullptr},
        {"31~31:63", 0x803FFFFF, "31:63"},         // last hour 31 is no hour range
        {"JAN-31/0:0", 0x8FFF07C0, nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        const std::optional<std::uint32_t> word = ClockConditionWord(c.text);
        ASSERT_EQ(word.value_or(0), c.word) << std::hex << word.value_or(0);
        EXPECT_EQ(ClockConditionText(*word).value_or("-"), c.back ? c.back : c.text);
    }
    // Numbers wider than their bits; a name over 7 characters; no form.
    for (const char* text : {"32:0", "8:64", "8~32:0", "DEC-32/8:30", "-1:0", "99999999999:0", "DECEMBER-25/8:30",
                             " 08 : 05", "8", ":30", "MON/8", ""})
        EXPECT_FALSE(ClockConditionWord(text)) << text;
    // Words that no text gives: not in use, a date with a weekday, a day
    // without a month, month 13, a last weekday without a first.
    for (std::uint32_t word : {0x00000000u, 0x003F47DEu, 0xE60F47DEu, 0x817F47DEu, 0xEE7F47DEu, 0x803847DEu})
        EXPECT_FALSE(ClockConditionText(word)) << std::hex << word;
}

// The fields the key table owns, written and read back. Their bytes are
// checked in the golden images, whose link time has no milliseconds.
TEST(KeyTable, HeadAndModelIdReadBack) {
    std::array<std::uint8_t, kKeyTableBytes> kt{};
    EXPECT_FALSE(HasKeyTableMagic(kt));
    const LinkTime t{2026, 3, 4, 5, 9, 4, 7, 999};
    PutKeyTableHead(kt, t);
    PutModelId(kt);
    EXPECT_EQ(GetU16(&kt[0x2E]), 999u);
    for (std::size_t i = 0x30; i < kt.size(); ++i) ASSERT_EQ(kt[i], 0) << i;
    EXPECT_TRUE(HasKeyTableMagic(kt));
    EXPECT_EQ(ModelIdOf(kt), "ZLT-900");
    EXPECT_EQ(LinkTimeOf(kt), t);
}

constexpr const char* kProject = "x.zlp";

// Runs the trigger stage over `entries` ("T0001=..." lines) with sentences 0,
// 1 and 7 defined at units 1, 5 and 9.
std::unique_ptr<StageRun> RunTriggers(const std::string& entries) {
    auto run = std::make_unique<StageRun>("[ZLP.Trigger]\n" + entries, kProject);
    run->ctx->sentenceIndex[0] = 1;
    run->ctx->sentenceIndex[1] = 5;
    run->ctx->sentenceIndex[7] = 9;
    run->ok = ParseTriggerTable(*run->ctx);
    return run;
}

std::string Invalid(int t) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "\nErr: Inavlid code in T%04d of file %s", t, kProject);
    return buf;
}

// Each field at its length limit is accepted and refused one past it.
TEST(TriggerTable, EntriesOfOrdinaryTriggers) {
    const struct {
        std::string value;
        int attribute;
        std::uint16_t start;  // trigger table entry
    } accepted[] = {
        {"LUN + S1 ;" + std::string(4085, 'x'), 0xF0, 5},  // 4095 bytes
        {"ehi + S7", 0x80, 9},
        {"L.NXXXX + S0001", 0xF0, 5},                      // letters past the third are ignored
        {"LUN + S", 0xF0, 1},                              // refers to sentence 0
        {"LUN + S+7", 0xF0, 1},                            // the "+" ends the reference: sentence 0
        {"LUN + S" + std::string(60, '0') + "7x", 0xF0, 9},
        {"LUN + S0001 + " + std::string(255, 'j'), 0xF0, 5},  // an ordinary trigger's clock is not checked
    };
    for (const auto& c : accepted) {
        SCOPED_TRACE(c.value.substr(0, 40));
        auto run = RunTriggers("T0003=" + c.value + "\n");
        ASSERT_TRUE(run->ok) << run->log.Text();
        EXPECT_EQ(run->log.lines(), std::vector<std::string>{"\n        Parsing T0003"});
        EXPECT_EQ(run->ctx->keyTable[AttributeOffset(3)], c.attribute);
        EXPECT_EQ(ModeBits(ModeLetters(c.attribute)).value_or(0) | kBoundAttribute, c.attribute);
        EXPECT_EQ(run->ctx->triggerTable[3], c.start);
    }
    const std::string refused[] = {
        "LU + S0001", "LUX + S0001", "LUN + n", "LUN + s1", "LUN + X0001", "LUN + S8192", "LUN + S-1",
        "LUN + S99999999999999999999", "LUN + + S0001", "LUN", "LUN S0001",
        "LUNLUNLU + S1", "LUN + S" + std::string(63, '1'), "LUN + S1 + " + std::string(256, '8'),
        "LUN + S1 ;" + std::string(4086, 'x'),
    };
    for (const std::string& value : refused) {
        auto run = RunTriggers("T0003=" + value + "\n");
        EXPECT_FALSE(run->ok) << value.substr(0, 40);
        EXPECT_EQ(run->LastLine(), Invalid(3)) << value.substr(0, 40);
    }
}

TEST(TriggerTable, UnusedTriggersAndReferenceFailure) {
    for (const char* value : {"LUN + Nothing", "?? + N ; x"}) {
        auto run = RunTriggers(std::string("T0002=") + value + "\n");
        EXPECT_TRUE(run->ok && run->log.lines().empty()) << value;
        EXPECT_EQ(run->ctx->keyTable[AttributeOffset(2)], 0) << value;
    }
    auto run = RunTriggers("T0001=LUN + S0005\n");
    EXPECT_FALSE(run->ok);
    EXPECT_EQ(run->log.lines(), std::vector<std::string>{"\nErr: S0005 referance fail, in T0001 of file x.zlp"});
    // A bad mode letter is found after the trigger's Parsing line.
    run = RunTriggers("T0004=LXN + S1\n");
    EXPECT_EQ(run->log.lines(), (std::vector<std::string>{"\n        Parsing T0004", Invalid(4)}));
}

// The first and last clock triggers fill the last and first slots; the
// triggers beside them are ordinary.
TEST(TriggerTable, ClockTriggersFillTheirSlots) {
    auto run = RunTriggers("T7935=LUN + S0001 + 8:30\nT7808=LUN + S0001 + MON~FRI/8~17:0\n"
                           "T7807=LUN + S0001\nT7936=LUN + S0001\n");
    ASSERT_TRUE(run->ok) << run->log.Text();
    EXPECT_EQ(GetU32(&run->ctx->keyTable[0x2200]), 0x803F47DEu);
    EXPECT_EQ(GetU32(&run->ctx->keyTable[0x23FC]), 0x800D4440u);
    EXPECT_EQ(GetU32(&run->ctx->keyTable[0x2204]), 0u);
    for (const char* entry : {"T7808=LUN + S0001\n", "T7935=LUN + S0001 + \n", "T7900=LUN + S1 + 32:00\n",
                              "T7900=LUN+S1;8:30\n"}) {
        run = RunTriggers(entry);
        EXPECT_FALSE(run->ok) << entry;
        EXPECT_EQ(run->log.lines().back(), Invalid(std::stoi(std::string(entry).substr(1, 4)))) << entry;
    }
}

}  // namespace
}  // namespace zlt::test
