// The settings page as the option stage fills it. That every value reads
// back as a project writes it is proven by the recovery property test.
#include "options/option_table.h"

#include "base/bytes.h"
#include "support/stage_fixture.h"

#include <gtest/gtest.h>

namespace zlt::test {
namespace {

std::unique_ptr<StageRun> ParseOptions(const std::string& ini) {
    auto run = std::make_unique<StageRun>(ini);
    run->ok = ParseOptionTable(*run->ctx);
    return run;
}

// The defaults and the options of the "blocks" project are checked in the
// golden images; these are the values those leave out.
TEST(OptionTable, StoredValues) {
    // Fields of the settings page: {offset, width in bytes, value}.
    struct Field {
        std::size_t offset;
        int width;
        unsigned value;
    };
    const struct {
        std::string ini;
        std::vector<Field> fields;
    } cases[] = {
        {"[ZLP.Firmware]\nReset_Beep=0\nUseStartupPlay=no\nInterruptiableSTG_UsingPriorityRetriggerRule=off\n"
         "STG_ImmediateBreakCTG=False\nBkgndCTG_Resumable=0\n", {{0x50, 2, 0}, {0xB0, 2, 0}}},
        {"[ZLP.Firmware]\nSTG_ImmediateBreakCTG=0\n", {{0xB0, 2, 0xA000}}},
        // Narrowed to the field.
        {"[ZLP.Firmware]\nBUSY_Signal=300\nSTOP_Signal=0x1FF\nSTOP_Pulse_Time=70000\nTG_Pin_Debounce_Time=65537\n"
         "ST_Pin_Debounce_Time=$10\nStartupPlayVtg=-1\n",
         {{0x58, 1, 44}, {0x59, 1, 0xFF}, {0x5A, 2, 4464}, {0x54, 2, 1}, {0x56, 2, 16}, {0x5C, 2, 0xFFFF}}},
        {"[ZLP.Firmware.UartMode]\nBitsParity=0x52\nBaudRate=1200\nFrameLeading1=0xAA\nFrameLeading2=1\n"
         "FrameEnding1=258\nFrameEnding2=0\n",
         {{0x90, 2, 82}, {0x92, 2, 1200}, {0x94, 1, 0xAA}, {0x95, 1, 1}, {0x96, 1, 2}, {0x97, 1, 0}}},
        // Unreadable values take the default.
        {"[ZLP.Firmware]\nBUSY_Signal=abc\nReset_Beep=maybe\n[ZLP.Firmware.UartMode]\nBaudRate=fast\n",
         {{0x58, 1, 0}, {0x50, 2, 0x8000}, {0x92, 2, 9600}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.ini);
        auto run = ParseOptions(c.ini);
        ASSERT_TRUE(run->ok) << run->log.Text();
        EXPECT_TRUE(run->log.lines().empty());
        const auto& kt = run->ctx->keyTable;
        for (const Field& f : c.fields)
            EXPECT_EQ(f.width == 1 ? kt[f.offset] : GetU16(&kt[f.offset]), f.value) << "offset " << f.offset;
    }
}

TEST(OptionTable, SerialErrorsInTheirOrder) {
    const char* bits = "\nErr: Unknown or Unsupport serial bits and parity spec. !!!";
    const char* baud = "\nErr: Unknown or Unsupport serial baud !!!";
    const std::pair<std::string, const char*> cases[] = {
        {"BitsParity=83", bits},  {"BitsParity=79", bits}, {"BitsParity=-80", bits}, {"BaudRate=19200", baud},
        {"BaudRate=0", baud},     {"BaudRate=9601", baud}, {"BitsParity=83\nBaudRate=0", bits},  // the first fault only
    };
    for (const auto& [uart, message] : cases) {
        SCOPED_TRACE(uart);
        auto run = ParseOptions("[ZLP.Firmware.UartMode]\n" + uart + "\nFrameLeading1=1\nFrameEnding2=2\n");
        EXPECT_FALSE(run->ok);
        EXPECT_EQ(run->log.lines(), std::vector<std::string>{message});
        EXPECT_EQ(run->ctx->keyTable[0x94] | run->ctx->keyTable[0x97], 0);  // the frame bytes are not reached
    }
}

}  // namespace
}  // namespace zlt::test
