// Runs against a library built with a firmware folder that lacks the image of
// TGM_CYCLE_M0 and holds an empty one for TGM_BIN_M0.
#include "support/link_fixture.h"

#include <gtest/gtest.h>

namespace zlt::test {
namespace {

TEST(FirmwareMissing, MissingOrEmptyImageIsAnInternalResourceFailure) {
    for (const std::string mode : {"TGM_CYCLE_M0", "TGM_BIN_M0", "TGM_BIN_M2"}) {
        SCOPED_TRACE(mode);
        TempDir dir;
        auto run = Link(dir, "[ZLP.Head]\nSignature=NVK\nVersion=1.0\n[ZLP.System]\n"
                             "Target=ZELTA_900\nTG_Mode=" + mode + "\n");
        EXPECT_EQ(run->ok, mode == "TGM_BIN_M2");
        if (!run->ok) {
            EXPECT_EQ(run->log.lines().back(), "\nErr: Internal resource fail, please call to NVK");
            EXPECT_FALSE(fs::exists(dir / "out.cfo"));
        } else {  // an image of exactly two pages gets no padding
            EXPECT_EQ(U32At(run->image, 0x28), 2u);
            EXPECT_EQ(U32At(run->image, 0x2C), 1024u);
            EXPECT_EQ(U32At(run->image, 0x34), 3u);
        }
    }
}

}  // namespace
}  // namespace zlt::test
