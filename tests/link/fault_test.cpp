// Links that meet a failing device, a full or read-only file system, or a
// kill part-way: no crash, the right error line, nothing torn left behind.
#include "link/pipeline.h"

#include "base/message.h"

#include "support/link_fixture.h"

#include <gtest/gtest.h>

#include <csignal>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

namespace zlt::test {
namespace {

int g_signalFd = -1;

// Output callback of the child: tells the parent when the link is inside its
// sections, then waits there to be killed.
int StopInsideSections(const char* text) {
    if (std::string(text) == "\nProcess ZLT_WTAB.BIN") {
        char c = 1;
        (void)!write(g_signalFd, &c, 1);
        for (;;) pause();
    }
    return 0;
}

TEST(Faults, LinkKilledPartWayLeavesThePreviousImageOrNone) {
    for (bool previous : {true, false}) {
        SCOPED_TRACE(previous ? "with a previous image" : "without a previous image");
        TempDir dir;
        const std::string project = dir / "p.zlp", image = dir / "out.cfo";
        WriteFile(project, MinimalProject());
        const std::string old = previous ? std::string(4096, 'o') : std::string();
        if (previous) WriteFile(image, old);

        const int status = KillAfterSignal([&](int fd) {
            g_signalFd = fd;
            auto ctx = std::make_unique<LinkContext>();
            SetOutputCallback(StopInsideSections);
            MakeZltCfo(*ctx, project.c_str(), image.c_str());
        });
        EXPECT_TRUE(WIFSIGNALED(status));
        EXPECT_EQ(fs::exists(image), previous);
        if (previous) {
            EXPECT_EQ(ReadFile(image), old);
        }
    }
}

// Mounts a small tmpfs on `dir` for the test's lifetime; needs root.
class SmallFileSystem {
public:
    SmallFileSystem(const std::string& dir, const char* options)
        : dir_(dir), ok_(mount("tmpfs", dir.c_str(), "tmpfs", 0, options) == 0) {}
    ~SmallFileSystem() {
        if (ok_) umount2(dir_.c_str(), MNT_DETACH);
    }
    bool ok() const { return ok_; }

private:
    std::string dir_;
    bool ok_;
};

TEST(Faults, FullAndReadOnlyFileSystems) {
    TempDir dir;
    const std::string project = dir / "p.zlp";
    WriteFile(project, MinimalProject());
    fs::create_directory(dir / "full");
    fs::create_directory(dir / "ro");
    SmallFileSystem full(dir / "full", "size=128k");
    SmallFileSystem readOnly(dir / "ro", "size=128k");
    if (!full.ok()) GTEST_SKIP() << "mounting a tmpfs needs root";
    ASSERT_EQ(mount("tmpfs", (dir / "ro").c_str(), "tmpfs", MS_REMOUNT | MS_RDONLY, "size=128k"), 0);

    struct Case {
        std::string image;
        std::string line;
    } cases[] = {
        {dir / "full/out.cfo", "\nErr: Can not wrtie file " + (dir / "full/out.cfo")},
        {dir / "ro/out.cfo", "\nErr: Can not create file " + (dir / "ro/out.cfo")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.image);
        auto ctx = std::make_unique<LinkContext>();
        MessageLog log;
        EXPECT_FALSE(MakeZltCfo(*ctx, project.c_str(), c.image.c_str()));
        EXPECT_EQ(log.lines().back(), c.line);
        EXPECT_TRUE(fs::is_empty(fs::path(c.image).parent_path()));  // no image, no temporary file
    }
}

}  // namespace
}  // namespace zlt::test
