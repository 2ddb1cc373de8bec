#include "base/image.h"

#include "link/pipeline.h"
#include "support/link_fixture.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace zlt::test {
namespace {

std::string Hex(const std::uint8_t* p, std::size_t n) {
    std::string out;
    char buf[4];
    for (std::size_t i = 0; i < n; ++i) {
        std::snprintf(buf, sizeof buf, i ? " %02x" : "%02x", p[i]);
        out += buf;
    }
    return out;
}

TEST(ImageHeader, DirectoryOfTheWorkedExample) {
    ImageHeader h;
    struct { unsigned type, first, pages, bytes; } rows[] = {
        {2, 1, 40, 20000}, {3, 41, 18, 9216}, {4, 59, 32, 16384}, {5, 91, 128, 65536},
        {6, 219, 128, 65536}, {7, 347, 300, 300 * 512}, {8, 647, 1, 300}};
    for (auto r : rows) {
        DirSlot& s = h.Slot(r.type);
        s.type = static_cast<std::uint16_t>(r.type);
        s.firstPage = r.first;
        s.pageCount = r.pages;
        s.byteLength = r.bytes;
    }
    auto bytes = h.Serialize();
    const char* expected[] = {
        "43 46 4f 00 00 03 1f 00 00 00 00 00 00 00 00 00",
        "00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00",
        "02 00 00 00 01 00 00 00 28 00 00 00 20 4e 00 00",
        "03 00 00 00 29 00 00 00 12 00 00 00 00 24 00 00",
        "04 00 00 00 3b 00 00 00 20 00 00 00 00 40 00 00",
        "05 00 00 00 5b 00 00 00 80 00 00 00 00 00 01 00",
        "06 00 00 00 db 00 00 00 80 00 00 00 00 00 01 00",
        "07 00 00 00 5b 01 00 00 2c 01 00 00 00 58 02 00",
        "08 00 00 00 87 02 00 00 01 00 00 00 2c 01 00 00",
    };
    for (std::size_t row = 0; row < 9; ++row)
        EXPECT_EQ(Hex(&bytes[16 * row], 16), expected[row]) << "offset " << 16 * row;
    for (std::size_t i = 0x90; i < bytes.size(); ++i) ASSERT_EQ(bytes[i], 0) << i;
}

// Links the minimal project into `image` and reports the result.
bool LinkInto(const TempDir& dir, const std::string& image, MessageLog& log) {
    WriteFile(dir / "project.zlp", MinimalProject());
    auto ctx = std::make_unique<LinkContext>();
    log.Clear();
    return MakeZltCfo(*ctx, (dir / "project.zlp").c_str(), image.c_str());
}

TEST(ImageFile, DevicesAreWrittenInPlaceAndNeverRemoved) {
    TempDir dir;
    MessageLog log;
    EXPECT_TRUE(LinkInto(dir, "/dev/null", log)) << log.Text();
    EXPECT_TRUE(fs::exists("/dev/null"));
    if (fs::exists("/dev/full")) {
        EXPECT_FALSE(LinkInto(dir, "/dev/full", log));
        EXPECT_EQ(log.lines().back(), "\nErr: Can not wrtie file /dev/full");
        EXPECT_TRUE(fs::is_character_file("/dev/full"));
    }
}

TEST(ImageFile, FolderAsImagePathCannotBeCreated) {
    TempDir dir;
    fs::create_directory(dir / "sub");
    MessageLog log;
    EXPECT_FALSE(LinkInto(dir, dir / "sub", log));
    EXPECT_EQ(log.lines().back(), "\nErr: Can not create file " + (dir / "sub"));
    EXPECT_TRUE(fs::is_directory(dir / "sub"));
}

TEST(ImageFile, ImageReplacesTheTargetOfASymbolicLink) {
    TempDir dir;
    WriteFile(dir / "real.cfo", "old");
    fs::create_symlink(dir / "real.cfo", dir / "link.cfo");
    MessageLog log;
    ASSERT_TRUE(LinkInto(dir, dir / "link.cfo", log));
    EXPECT_TRUE(fs::is_symlink(dir / "link.cfo"));
    EXPECT_EQ(ReadFile(dir / "real.cfo").substr(0, 3), std::string("CFO"));
}

TEST(ImageFile, NewImageGetsPermissionsFromTheUmaskAndAnOldImageKeepsItsOwn) {
    TempDir dir;
    MessageLog log;
    mode_t old = ::umask(027);
    ASSERT_TRUE(LinkInto(dir, dir / "new.cfo", log));
    ::umask(old);
    EXPECT_EQ(fs::status(dir / "new.cfo").permissions(),
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    WriteFile(dir / "kept.cfo", "old");
    fs::permissions(dir / "kept.cfo", fs::perms::owner_read | fs::perms::owner_write |
                                          fs::perms::others_read);
    ASSERT_TRUE(LinkInto(dir, dir / "kept.cfo", log));
    EXPECT_EQ(fs::status(dir / "kept.cfo").permissions(),
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::others_read);
}

}  // namespace
}  // namespace zlt::test
