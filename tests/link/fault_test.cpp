// Links that meet a full or read-only file system, another link to the same
// image, or a signal at a random moment: no crash, the right error line,
// nothing torn left behind. A kill at a known place is in the word fault tests.
#include "link/pipeline.h"

#include "base/format.h"
#include "base/message.h"
#include "base/progress.h"
#include "platform/clock.h"
#include "platform/files.h"
#include "word/clip_writer.h"

#include "support/command.h"
#include "support/link_fixture.h"

#include <gtest/gtest.h>

#include <climits>
#include <csignal>
#include <random>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

namespace zlt::test {
namespace {

// A small tmpfs mounted on a new folder dir while it lives; mounting needs
// root.
struct SmallFileSystem {
    std::string dir;
    bool ok = fs::create_directory(dir) && mount("tmpfs", dir.c_str(), "tmpfs", 0, "size=128k") == 0;
    ~SmallFileSystem() {
        if (ok) umount2(dir.c_str(), MNT_DETACH);
    }
};

TEST(Faults, FullAndReadOnlyFileSystems) {
    TempDir dir;
    const std::string project = dir / "p.zlp";
    WriteFile(project, MinimalProject());
    SmallFileSystem full{dir / "full"}, readOnly{dir / "ro"};
    if (!full.ok) GTEST_SKIP() << "mounting a tmpfs needs root";
    ASSERT_EQ(mount("tmpfs", readOnly.dir.c_str(), "tmpfs", MS_REMOUNT | MS_RDONLY, "size=128k"), 0);
    for (const auto& [image, line] : {std::pair{dir / "full/out.cfo", "\nErr: Can not wrtie file "},
                                      std::pair{dir / "ro/out.cfo", "\nErr: Can not create file "}}) {
        SCOPED_TRACE(image);
        auto ctx = std::make_unique<LinkContext>();  // alive while the folder is checked
        MessageLog log;
        EXPECT_FALSE(MakeZltCfo(*ctx, project.c_str(), image.c_str()));
        EXPECT_EQ(log.lines().back(), line + image);
        EXPECT_TRUE(fs::is_empty(fs::path(image).parent_path()));  // no image, no temporary file
    }
}

int g_signalFd = -1;

// Two links to one image from two processes take turns: while one runs, the
// other waits and the image stays as it was; a link that fails never removes
// the image that the other completed.
TEST(Faults, TwoLinksToOneImageTakeTurns) {
    TempDir dir;
    WriteFile(dir / "good.zlp", MinimalProject());
    WriteFile(dir / "bad.zlp", MinimalProject("[ZLP.Trigger]\nT0000=LUN + S0001\n"));
    static std::string image;  // static: the child's output callback reads it
    image = dir / "out.cfo";
    WriteFile(image, "old");
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    const pid_t pid = fork();
    if (pid == 0) {
        // The failing link pauses inside its stages, after it opened the image.
        g_signalFd = fds[1];
        SetOutputCallback([](const char* text) {
            if (std::string(text) == "\nParsing Trigger-Table") {
                (void)!write(g_signalFd, "", 1);
                usleep(300 * 1000);
                if (ReadFile(image) != "old") _exit(2);  // the other link did not wait
            }
            return 0;
        });
        _exit(MakeZltCfo(*std::make_unique<LinkContext>(), (dir / "bad.zlp").c_str(), image.c_str()) ? 0 : 1);
    }
    char c = 0;
    ASSERT_EQ(read(fds[0], &c, 1), 1);
    // This link waits for the failing one, then writes its image.
    MessageLog log;
    EXPECT_TRUE(MakeZltCfo(*std::make_unique<LinkContext>(), (dir / "good.zlp").c_str(), image.c_str())) << log.Text();
    int status = 0;
    waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1) << status;
    EXPECT_EQ(ReadFile(image).substr(0, 4), std::string("CFO\0", 4));
}

// The word image page from which on a linking child asks, through
// g_signalFd, to be ended.
unsigned g_signalAt = 0;

// Links of a large project ended by SIGKILL, SIGTERM, SIGINT or SIGHUP at
// random moments, with a short and a 250-character image name, with and
// without an image there before, through unnamed and named temporary files:
// the image path holds the old image, the complete new one, or nothing where
// there was none; and nothing else is left in the image's folder. A moment is
// a random point of the word image, its end for about one link in nine; the
// signal follows as soon as the link reports that point, and lands wherever
// the link has got to by then.
TEST(Faults, LinksEndedAtRandomMomentsLeaveTheOldImageOrTheNewOne) {
    if (UnderValgrind()) GTEST_SKIP() << "46 links of 64 MiB take hours under valgrind; the sanitizer suite runs them";
    // 64 MiB of clips of sparse zero samples, quick to make and read and
    // transformed like any others: large enough that a signal finds the link
    // still busy, small enough for a quick test under the sanitizers.
    constexpr unsigned kPages = 8 * (8u << 20) / 512;
    TempDir dir;
    MessageLog quiet;  // the links' lines
    const std::string project = dir / "p.zlp", folder = dir / "out";
    fs::create_directory(folder);
    std::string words = "[ZLP.Word]\n", sentence = "[ZLP.Sentence]\nS0000=W1";
    for (int n = 1; n <= 8; ++n) {
        const std::string clip = dir / ("w" + std::to_string(n) + ".snx");
        ClipFields f;
        f.dataLength = 8u << 20;
        WriteClipFile(clip, BuildClipHeader(f));
        fs::resize_file(clip, kClipHeaderSize + f.dataLength);
        words += FormatText("W%0.4d=", n) + clip + "\n";
        if (n > 1) sentence += "+W" + std::to_string(n);
    }
    WriteFile(project, MinimalProject(words + sentence + "\n[ZLP.Trigger]\nT0000=LUN + S0000\n"));
    const std::string names[] = {"out.cfo", std::string(246, 'i') + ".cfo"};
    auto link = [&](const std::string& name) {
        WorkingDirectory cwd(folder);
        SetFixedLinkTime(0);
        return MakeZltCfo(*std::make_unique<LinkContext>(), project.c_str(), name.c_str());
    };
    ASSERT_TRUE(link(names[0]) && link(names[1]));
    SetFixedLinkTime(-1);
    const std::string complete[] = {ReadFile(folder + "/" + names[0]), ReadFile(folder + "/" + names[1])};

    const unsigned seed = std::random_device{}();
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::mt19937 rng(seed);
    const int signals[] = {SIGKILL, SIGTERM, SIGINT, SIGHUP};
    const std::string old(4096, 'o');
    for (int i = 0; i < 44; ++i) {
        const int sig = signals[i % 4], k = (i / 4) % 2;
        // A named temporary file is removed on the signals that can be
        // caught; nothing can remove it after SIGKILL.
        const bool hadOld = (i / 8) % 2 == 0, unnamed = sig == SIGKILL || (i / 16) % 2 == 0;
        const unsigned at = std::min(std::uniform_int_distribution<unsigned>(0, kPages + kPages / 8)(rng), kPages);
        SCOPED_TRACE(FormatText("trial %d: signal %d from page %d on", i, sig, static_cast<int>(at)));
        for (const auto& e : fs::directory_iterator(folder)) fs::remove(e.path());
        if (hadOld) WriteFile(folder + "/" + names[k], old);

        const int status = KillAfterSignal([&](int fd) {
            platform::SetUnnamedTempFiles(unnamed);
            g_signalFd = fd;
            g_signalAt = at;
            SetPageProgress([](unsigned done, unsigned) {
                if (done < g_signalAt) return;
                (void)!write(g_signalFd, "", 1);
                g_signalAt = UINT_MAX;
            });
            const bool ok = link(names[k]);
            _exit(g_signalAt != UINT_MAX ? 4 : ok ? 0 : 1);  // 4: the moment never came
        }, 0, sig);
        EXPECT_TRUE(WIFSIGNALED(status) || (WIFEXITED(status) && WEXITSTATUS(status) == 0)) << status;
        std::vector<std::string> left;
        for (const auto& e : fs::directory_iterator(folder)) left.push_back(e.path().filename().string());
        EXPECT_EQ(left, std::vector<std::string>(hadOld || !left.empty() ? 1 : 0, names[k]));
        const std::string now = ReadFile(folder + "/" + names[k]);
        EXPECT_TRUE(left.empty() || (hadOld && now == old) || now == complete[k]) << "torn image";
    }
}

}  // namespace
}  // namespace zlt::test
