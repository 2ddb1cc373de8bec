#include "trigger/trigger_table.h"

#include "base/bytes.h"
#include "support/stage_fixture.h"

#include <gtest/gtest.h>

namespace zlt::test {
namespace {

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

TEST(TriggerTable, EntriesOfOrdinaryTriggers) {
    struct Case {
        std::string value;
        int attribute;       // -1: the entry fails with "Inavlid code"
        std::uint16_t start; // trigger table entry
    } cases[] = {  // the usual forms are linked in the golden image "blocks"
        {"LUN + S0001 ; any remark", 0xF0, 5},
        {"LUN+S0001;remark", 0xF0, 5},
        {"LHN + S1", 0xD0, 5},
        {"ehi + S7", 0x80, 9},
        {"LUNX + S0001", 0xF0, 5},
        {"LUN + S", 0xF0, 1},          // refers to sentence 0
        {"LUN + S+7", 0xF0, 1},         // the "+" ends the reference: sentence 0
        {"LUN + S7x", 0xF0, 9},
        {"LUN + S0001 + junk", 0xF0, 5},  // a clock field on an ordinary trigger is not checked
        {"LU + S0001", -1, 0},
        {"LUX + S0001", -1, 0},
        {"LUN + n", -1, 0},
        {"LUN + s1", -1, 0},
        {"LUN + X0001", -1, 0},
        {"LUN + S8192", -1, 0},
        {"LUN + S-1", -1, 0},
        {"LUN + S99999999999999999999", -1, 0},
        {"LUN + + S0001", -1, 0},
        {"LUN", -1, 0},
        {"LUN S0001", -1, 0},
        {"LUNLUNLU + S1", -1, 0},                             // mode field over 7 characters
        {"LUN + S" + std::string(63, '1'), -1, 0},            // sentence field over 63
        {"LUN + S1 + " + std::string(256, '8'), -1, 0},       // clock field over 255
        {"LUN + S1 ;" + std::string(4090, 'x'), -1, 0},       // value over 4095
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.value.substr(0, 40));
        auto run = RunTriggers("T0003=" + c.value + "\n");
        const auto& lines = run->log.lines();
        if (c.attribute < 0) {
            EXPECT_FALSE(run->ok);
            ASSERT_FALSE(lines.empty());
            EXPECT_EQ(lines.back(), Invalid(3));
            continue;
        }
        ASSERT_TRUE(run->ok) << run->log.Text();
        EXPECT_EQ(lines, std::vector<std::string>{"\n        Parsing T0003"});
        EXPECT_EQ(run->ctx->keyTable[AttributeOffset(3)], c.attribute);
        EXPECT_EQ(ModeBits(ModeLetters(c.attribute)).value_or(0) | kBoundAttribute, c.attribute);
        EXPECT_EQ(run->ctx->triggerTable[3], c.start);
    }
}

TEST(TriggerTable, UnusedTriggersAndReferenceFailure) {
    for (const char* value : {"LUN + N", "XYZ + N", "LUN + Nothing", "?? + N ; x"}) {
        auto run = RunTriggers(std::string("T0002=") + value + "\n");
        EXPECT_TRUE(run->ok) << value;
        EXPECT_TRUE(run->log.lines().empty()) << value;
        EXPECT_EQ(run->ctx->keyTable[AttributeOffset(2)], 0) << value;
    }
    auto run = RunTriggers("T0001=LUN + S0005\n");
    EXPECT_FALSE(run->ok);
    EXPECT_EQ(run->log.lines(),
              std::vector<std::string>{"\nErr: S0005 referance fail, in T0001 of file x.zlp"});

    // A bad mode letter is found after the trigger's Parsing line.
    run = RunTriggers("T0004=LXN + S1\n");
    EXPECT_EQ(run->log.lines(), (std::vector<std::string>{"\n        Parsing T0004", Invalid(4)}));

    // No section at all: every table stays zero.
    run = RunTriggers("");
    EXPECT_TRUE(run->ok);
    for (std::size_t i = AttributeOffset(0); i < kKeyTableBytes; ++i) ASSERT_EQ(run->ctx->keyTable[i], 0);
}

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
