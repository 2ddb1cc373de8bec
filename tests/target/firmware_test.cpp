#include "target/firmware.h"

#include "support/link_fixture.h"
#include "target/firmware_images.h"

#include <gtest/gtest.h>

namespace zlt::test {
namespace {

// Resource ids 4097 to 4111 in this order carry the files of the firmware
// folder; a name matches whole (that letter case does not matter is proven by
// the golden "blocks" project, written with tgm_hgps2_m2).
TEST(Firmware, EachTriggerModeCarriesItsFileUnderItsId) {
    const char* modes[] = {"TGM_SINGLE_M0", "TGM_CYCLE_M0", "TGM_BIN_M0",    "TGM_BIN_M2",   "TGM_BIN10_M0",
                           "TGM_PBIN_M0",   "TGM_PBIN_M2",  "TGM_PBIN10_M0", "TGM_RUART_M0", "TGM_RUART_M2",
                           "TGM_FUART_M0",  "TGM_FUART_M2", "TGM_AUART_M0",  "TGM_HGPS2_M0", "TGM_HGPS2_M2"};
    for (unsigned i = 0; i < std::size(modes); ++i) {
        SCOPED_TRACE(modes[i]);
        EXPECT_EQ(FirmwareIdOf(modes[i]), 4097 + i);
        const std::string file = ReadFile(std::string(ZLT_FIRMWARE_DIR "/") + modes[i] + ".bin");
        const auto image = FindFirmwareImage(4097 + i);
        EXPECT_TRUE(!file.empty() && file == std::string(image.begin(), image.end()));
    }
    for (const char* name : {" TGM_BIN_M0", "TGM_BIN_M0 ", "TGM_BIN", "TGM_BIN_M0X", ""})
        EXPECT_FALSE(FirmwareIdOf(name)) << '"' << name << '"';
}

}  // namespace
}  // namespace zlt::test
