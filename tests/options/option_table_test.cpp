// The settings page as the option stage fills it. That every value reads
// back as a project writes it is proven by the recovery property test, whose
// projects take every accepted BitsParity and BaudRate. The defaults and the
// options of the "blocks" project (every field away from its default, each
// flag set and cleared between the two, the narrowed BUSY_Signal and
// STOP_Pulse_Time, StartupPlayVtg=-1, a $ number) are checked in the golden
// images.
#include "options/option_table.h"

#include "base/bytes.h"
#include "support/stage_fixture.h"

#include <gtest/gtest.h>

namespace zlt::test {
namespace {

// What those leave out: the one flag that both golden projects set, cleared;
// a byte and a word narrowed; a checked word in hexadecimal; unreadable
// values, which take their defaults.
TEST(OptionTable, StoredValues) {
    StageRun run("[ZLP.Firmware]\nSTG_ImmediateBreakCTG=0\nSTOP_Signal=0x1FF\nTG_Pin_Debounce_Time=65537\n"
                  "Reset_Beep=maybe\n[ZLP.Firmware.UartMode]\nBitsParity=0x52\nBaudRate=fast\nFrameLeading1=abc\n");
    ASSERT_TRUE(ParseOptionTable(*run.ctx)) << run.log.Text();
    EXPECT_TRUE(run.log.lines().empty());
    const auto& kt = run.ctx->keyTable;
    // {offset, width in bytes, value}
    for (const auto& [offset, width, value] : {std::tuple{0xB0, 2, 0xA000u}, {0x59, 1, 0xFFu}, {0x54, 2, 1u},
                                                {0x50, 2, 0x8000u}, {0x90, 2, 82u}, {0x92, 2, 9600u}, {0x94, 1, 0xFFu}})
        EXPECT_EQ(width == 1 ? kt[offset] : GetU16(&kt[offset]), value) << "offset " << offset;
}

TEST(OptionTable, SerialErrorsInTheirOrder) {
    const char* bits = "\nErr: Unknown or Unsupport serial bits and parity spec. !!!";
    const char* baud = "\nErr: Unknown or Unsupport serial baud !!!";
    const std::pair<std::string, const char*> cases[] = {
        {"BitsParity=79", bits}, {"BaudRate=0", baud}, {"BaudRate=4000", baud}, {"BaudRate=9601", baud},
        {"BitsParity=83\nBaudRate=0", bits},  // the first fault only
    };
    for (const auto& [uart, message] : cases) {
        SCOPED_TRACE(uart);
        StageRun run("[ZLP.Firmware.UartMode]\n" + uart + "\nFrameLeading1=1\nFrameEnding2=2\n");
        EXPECT_FALSE(ParseOptionTable(*run.ctx));
        EXPECT_EQ(run.log.lines(), std::vector<std::string>{message});
        EXPECT_EQ(run.ctx->keyTable[0x94] | run.ctx->keyTable[0x97], 0);  // the frame bytes are not reached
    }
}

}  // namespace
}  // namespace zlt::test
