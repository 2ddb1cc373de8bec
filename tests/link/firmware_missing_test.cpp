// Runs against a library built with a firmware folder that lacks the image of
// TGM_CYCLE_M0 and holds an empty one for TGM_BIN_M0.
#include "support/link_fixture.h"

#include <gtest/gtest.h>

namespace zlt::test {
namespace {

TEST(FirmwareMissing, MissingOrEmptyImageIsAnInternalResourceFailure) {
    struct Case {
        const char* mode;
        bool ok;
    } cases[] = {{"TGM_CYCLE_M0", false}, {"TGM_BIN_M0", false}, {"TGM_BIN_M2", true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.mode);
        TempDir dir;
        auto run = Link(dir, "[ZLP.Head]\nSignature=NVK\nVersion=1.0\n[ZLP.System]\n"
                             "Target=ZELTA_900\nTG_Mode=" + std::string(c.mode) + "\n");
        EXPECT_EQ(run->ok, c.ok);
        if (!c.ok) {
            EXPECT_EQ(run->log.lines().back(), "\nErr: Internal resource fail, please call to NVK");
            EXPECT_FALSE(fs::exists(dir / "out.cfo"));
        } else {
            // An image of exactly two pages gets no padding.
            EXPECT_EQ(U32At(run->image, 0x28), 2u);
            EXPECT_EQ(U32At(run->image, 0x2C), 1024u);
            EXPECT_EQ(U32At(run->image, 0x34), 3u);
        }
    }
}

}  // namespace
}  // namespace zlt::test
