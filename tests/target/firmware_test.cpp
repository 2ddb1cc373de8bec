#include "target/firmware.h"

#include "support/link_fixture.h"
#include "target/firmware_images.h"

#include <gtest/gtest.h>

#include <set>

namespace zlt::test {
namespace {

TEST(Firmware, EveryTriggerModeSelectsItsImage) {
    struct Row {
        const char* mode;
        unsigned id, size, pages;
    } rows[] = {
        {"TGM_SINGLE_M0", 4097, 37744, 74}, {"TGM_CYCLE_M0", 4098, 37790, 74},
        {"TGM_BIN_M0", 4099, 37918, 75},    {"TGM_BIN_M2", 4100, 38926, 77},
        {"TGM_BIN10_M0", 4101, 37918, 75},  {"TGM_PBIN_M0", 4102, 37982, 75},
        {"TGM_PBIN_M2", 4103, 38974, 77},   {"TGM_PBIN10_M0", 4104, 37984, 75},
        {"TGM_RUART_M0", 4105, 38096, 75},  {"TGM_RUART_M2", 4106, 39102, 77},
        {"TGM_FUART_M0", 4107, 38370, 75},  {"TGM_FUART_M2", 4108, 39378, 77},
        {"TGM_AUART_M0", 4109, 38534, 76},  {"TGM_HGPS2_M0", 4110, 38414, 76},
        {"TGM_HGPS2_M2", 4111, 39422, 77},
    };
    std::set<std::string> distinct;
    for (const Row& r : rows) {
        SCOPED_TRACE(r.mode);
        TempDir dir;
        auto run = Link(dir, "[ZLP.Head]\nSignature=NVK\nVersion=1.0\n[ZLP.System]\n"
                             "Target=ZELTA_900\nTG_Mode=" + std::string(r.mode) + "\n");
        ASSERT_TRUE(run->ok) << run->log.Text();
        EXPECT_EQ(U32At(run->image, 0x24), 1u);
        EXPECT_EQ(U32At(run->image, 0x28), r.pages);
        EXPECT_EQ(U32At(run->image, 0x2C), r.size);
        // The image unchanged, then zero bytes to the page's end.
        auto image = FindFirmwareImage(r.id);
        ASSERT_EQ(image.size(), r.size);
        std::string section = run->image.substr(512, 512ull * r.pages);
        EXPECT_EQ(section.substr(0, r.size), std::string(image.begin(), image.end()));
        EXPECT_EQ(section.substr(r.size), std::string(512ull * r.pages - r.size, '\0'));
        distinct.insert(section);
    }
    EXPECT_EQ(distinct.size(), 15u);
}

TEST(Firmware, TriggerModeNamesMatchWithoutRegardToLetterCaseOnly) {
    struct Case {
        const char* value;
        std::optional<unsigned> id;
    } cases[] = {
        {"tgm_single_m0", 4097}, {"Tgm_Hgps2_M2", 4111}, {"TGM_BIN10_M0", 4101},
        {" TGM_BIN_M0", std::nullopt}, {"TGM_BIN_M0 ", std::nullopt}, {"TGM_BIN", std::nullopt},
        {"TGM_BIN_M0X", std::nullopt}, {"", std::nullopt},
    };
    for (const auto& c : cases) EXPECT_EQ(FirmwareIdOf(c.value), c.id) << c.value;
}

}  // namespace
}  // namespace zlt::test
