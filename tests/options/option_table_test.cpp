#include "options/option_table.h"

#include "base/bytes.h"
#include "support/stage_fixture.h"

#include <gtest/gtest.h>

#include <map>

namespace zlt::test {
namespace {

std::unique_ptr<StageRun> ParseOptions(const std::string& ini) {
    auto run = std::make_unique<StageRun>(ini);
    run->ok = ParseOptionTable(*run->ctx);
    return run;
}

// Field values of the settings page: {offset, width in bytes, value}.
struct Field {
    std::size_t offset;
    int width;
    unsigned value;
};

unsigned Read(const LinkContext& ctx, const Field& f) {
    return f.width == 1 ? ctx.keyTable[f.offset] : GetU16(&ctx.keyTable[f.offset]);
}

TEST(OptionTable, StoredValues) {
    struct Case {
        const char* name;
        std::string ini;
        std::vector<Field> fields;
    } cases[] = {
        {"defaults", "",
         {{0x50, 2, 0x8000}, {0x54, 2, 40}, {0x56, 2, 80}, {0x58, 1, 0}, {0x59, 1, 0},
          {0x5A, 2, 100}, {0x5C, 2, 0}, {0x90, 2, 80}, {0x92, 2, 9600}, {0x94, 1, 0xFF},
          {0x95, 1, 0xFF}, {0x96, 1, 0xFF}, {0x97, 1, 0xFF}, {0xB0, 2, 0xE000}}},
        {"reset beep off, start-up play on",
         "[ZLP.Firmware]\nReset_Beep=false\nUseStartupPlay=true\n", {{0x50, 2, 0x4000}}},
        {"all five booleans off",
         "[ZLP.Firmware]\nReset_Beep=0\nUseStartupPlay=no\n"
         "InterruptiableSTG_UsingPriorityRetriggerRule=off\nSTG_ImmediateBreakCTG=False\n"
         "BkgndCTG_Resumable=0\n",
         {{0x50, 2, 0}, {0xB0, 2, 0}}},
        {"one trigger rule off", "[ZLP.Firmware]\nSTG_ImmediateBreakCTG=0\n", {{0xB0, 2, 0xA000}}},
        {"narrowed to the field",
         "[ZLP.Firmware]\nBUSY_Signal=300\nSTOP_Signal=0x1FF\nSTOP_Pulse_Time=70000\n"
         "TG_Pin_Debounce_Time=65537\nST_Pin_Debounce_Time=$10\nStartupPlayVtg=-1\n",
         {{0x58, 1, 44}, {0x59, 1, 0xFF}, {0x5A, 2, 4464}, {0x54, 2, 1}, {0x56, 2, 16},
          {0x5C, 2, 0xFFFF}}},
        {"serial settings",
         "[ZLP.Firmware.UartMode]\nBitsParity=0x52\nBaudRate=1200\nFrameLeading1=0xAA\n"
         "FrameLeading2=1\nFrameEnding1=258\nFrameEnding2=0\n",
         {{0x90, 2, 82}, {0x92, 2, 1200}, {0x94, 1, 0xAA}, {0x95, 1, 1}, {0x96, 1, 2},
          {0x97, 1, 0}}},
        {"unreadable values take the default",
         "[ZLP.Firmware]\nBUSY_Signal=abc\nReset_Beep=maybe\n[ZLP.Firmware.UartMode]\nBaudRate=fast\n",
         {{0x58, 1, 0}, {0x50, 2, 0x8000}, {0x92, 2, 9600}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto run = ParseOptions(c.ini);
        ASSERT_TRUE(run->ok) << run->log.Text();
        EXPECT_TRUE(run->log.lines().empty());
        for (const Field& f : c.fields) EXPECT_EQ(Read(*run->ctx, f), f.value) << "offset " << f.offset;
    }
}

// Every option reads back as the value a project would write, and a project
// of those values stores the same settings again.
TEST(OptionTable, ValuesReadBackAsAProjectWritesThem) {
    struct Case {
        std::string ini;
        std::vector<std::pair<std::string, std::string>> values;  // some of those read back
    } cases[] = {
        {"", {{"Reset_Beep", "true"}, {"UseStartupPlay", "false"}, {"BaudRate", "9600"}, {"FrameEnding2", "255"}}},
        {"[ZLP.Firmware]\nBUSY_Signal=300\nStartupPlayVtg=-7\nSTG_ImmediateBreakCTG=no\n"
         "[ZLP.Firmware.UartMode]\nBaudRate=1200\nFrameEnding1=0x12\n",
         {{"BUSY_Signal", "44"}, {"StartupPlayVtg", "-7"}, {"STG_ImmediateBreakCTG", "false"},
          {"BkgndCTG_Resumable", "true"}, {"FrameEnding1", "18"}}},
    };
    for (const auto& c : cases) {
        auto first = ParseOptions(c.ini);
        std::string project, section;
        std::map<std::string, std::string> read;
        for (const OptionField& f : OptionFields()) {
            if (f.section != section) project += "[" + (section = f.section) + "]\n";
            read[f.key] = OptionValueText(f, first->ctx->keyTable);
            project += std::string(f.key) + "=" + read[f.key] + "\n";
        }
        for (const auto& [key, value] : c.values) EXPECT_EQ(read[key], value) << key;
        auto second = ParseOptions(project);
        ASSERT_TRUE(second->ok);
        EXPECT_EQ(second->ctx->keyTable, first->ctx->keyTable) << project;
    }
}

TEST(OptionTable, SerialErrorsInTheirOrder) {
    const char* bits = "\nErr: Unknown or Unsupport serial bits and parity spec. !!!";
    const char* baud = "\nErr: Unknown or Unsupport serial baud !!!";
    struct Case {
        std::string uart;
        const char* message;
    } cases[] = {
        {"BitsParity=83", bits}, {"BitsParity=79", bits}, {"BitsParity=-80", bits},
        {"BaudRate=19200", baud}, {"BaudRate=0", baud}, {"BaudRate=9601", baud},
        {"BitsParity=83\nBaudRate=0", bits},  // only the first fault is reported
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.uart);
        auto run = ParseOptions("[ZLP.Firmware.UartMode]\n" + c.uart +
                                "\nFrameLeading1=1\nFrameEnding2=2\n");
        EXPECT_FALSE(run->ok);
        EXPECT_EQ(run->log.lines(), std::vector<std::string>{c.message});
        // The frame bytes are not reached.
        EXPECT_EQ(run->ctx->keyTable[0x94], 0);
        EXPECT_EQ(run->ctx->keyTable[0x97], 0);
    }
}

}  // namespace
}  // namespace zlt::test
