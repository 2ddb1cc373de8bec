// Links that meet a full or read-only file system, another link to the same
// image, or a kill at a random moment: no crash, the right error line,
// nothing torn left behind. Kills at a known place are in the word fault tests.
#include "link/pipeline.h"

#include "base/format.h"
#include "base/message.h"
#include "platform/clock.h"
#include "platform/files.h"
#include "word/clip_writer.h"

#include "support/command.h"
#include "support/link_fixture.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstring>
#include <fstream>
#include <random>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

namespace zlt::test {
namespace {

using platform::SetUnnamedTempFiles;

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


int g_signalFd = -1;

// Two links to one image from two processes take turns: a link that fails
// while another one runs never removes the image that the other completed.
TEST(Faults, TwoLinksToOneImageTakeTurns) {
    TempDir dir;
    WriteFile(dir / "good.zlp", MinimalProject());
    WriteFile(dir / "bad.zlp", MinimalProject("[ZLP.Trigger]\nT0000=LUN + S0001\n"));
    const std::string image = dir / "out.cfo";
    WriteFile(image, "old");
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    const pid_t pid = fork();
    if (pid == 0) {
        // The failing link pauses inside its stages, after it opened the image.
        g_signalFd = fds[1];
        SetOutputCallback([](const char* text) {
            if (std::string(text) == "\nParsing Trigger-Table") {
                char c = 1;
                (void)!write(g_signalFd, &c, 1);
                usleep(300 * 1000);
            }
            return 0;
        });
        auto ctx = std::make_unique<LinkContext>();
        _exit(MakeZltCfo(*ctx, (dir / "bad.zlp").c_str(), image.c_str()) ? 0 : 1);
    }
    char c = 0;
    ASSERT_EQ(read(fds[0], &c, 1), 1);
    // This link waits for the failing one, then writes its image.
    auto ctx = std::make_unique<LinkContext>();
    MessageLog log;
    EXPECT_TRUE(MakeZltCfo(*ctx, (dir / "good.zlp").c_str(), image.c_str())) << log.Text();
    int status = 0;
    waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1) << status;
    EXPECT_EQ(ReadFile(image).substr(0, 4), std::string("CFO\0", 4));
}

bool SameBytes(const std::string& a, const std::string& b) {
    if (fs::file_size(a) != fs::file_size(b)) return false;
    std::ifstream x(a, std::ios::binary), y(b, std::ios::binary);
    std::vector<char> p(1 << 20), q(1 << 20);
    while (x.read(p.data(), p.size()), y.read(q.data(), q.size()), x.gcount() > 0)
        if (x.gcount() != y.gcount() || std::memcmp(p.data(), q.data(), x.gcount()) != 0) return false;
    return true;
}

// Links of a large project ended by SIGKILL, SIGTERM, SIGINT or SIGHUP at
// random moments, with a short and a 250-character image name, with and
// without an image there before, through unnamed and named temporary files:
// the image path holds the old image, the complete new one, or nothing where
// there was none; and nothing else is left in the image's folder.
TEST(Faults, LinksEndedAtRandomMomentsLeaveTheOldImageOrTheNewOne) {
    if (UnderValgrind()) GTEST_SKIP() << "46 links of 64 MiB take hours under valgrind; the sanitizer suite runs them";
    // 64 MiB of clips: large enough that most signals come while the word
    // image is written, small enough for a quick test under the sanitizers.
    constexpr int kWords = 8;
    constexpr std::uint32_t kClipBytes = 8u << 20;
    TempDir dir;
    fs::create_directory(dir / "out");
    // Clips of sparse zero samples: quick to make, and read and transformed
    // like any others.
    std::string words = "[ZLP.Word]\n", sentence = "[ZLP.Sentence]\nS0000=";
    for (int n = 1; n <= kWords; ++n) {
        const std::string clip = dir / ("w" + std::to_string(n) + ".snx");
        ClipFields f;
        f.dataLength = kClipBytes;
        const ClipHeader header = BuildClipHeader(f);
        WriteFile(clip, std::string(header.begin(), header.end()));
        fs::resize_file(clip, kClipHeaderSize + kClipBytes);
        words += FormatText("W%0.4d=", n) + clip + "\n";
        sentence += (n > 1 ? "+W" : "W") + std::to_string(n);
    }
    WriteFile(dir / "p.zlp", MinimalProject(words + sentence + "\n[ZLP.Trigger]\nT0000=LUN + S0000\n"));
    const std::string project = dir / "p.zlp", folder = dir / "out";
    const std::string names[] = {"out.cfo", std::string(246, 'i') + ".cfo"};
    auto link = [&](const std::string& name) {
        if (chdir(folder.c_str()) != 0) return false;
        auto ctx = std::make_unique<LinkContext>();
        SetFixedLinkTime(0);
        return MakeZltCfo(*ctx, project.c_str(), name.c_str());
    };

    // The complete images, and how long a link takes to write its sections;
    // what follows, putting the image in place, is short.
    const fs::path saved = fs::current_path();
    static std::chrono::steady_clock::time_point s_written;
    std::chrono::steady_clock::duration writing{};
    for (const std::string& name : names) {
        SetOutputCallback([](const char* text) {
            if (std::string(text) == "\nProcess ReadMe.txt") s_written = std::chrono::steady_clock::now();
            return 0;
        });
        const auto start = std::chrono::steady_clock::now();
        const bool ok = link(name);
        SetOutputCallback(nullptr);
        ASSERT_TRUE(ok);
        writing += s_written - start;
        fs::rename(dir / ("out/" + name), dir / name);
    }
    fs::current_path(saved);
    const int linkMs = static_cast<int>(
        std::chrono::duration_cast<std::chrono::milliseconds>(writing).count() / 2);

    const unsigned seed = std::random_device{}();
    SCOPED_TRACE("seed " + std::to_string(seed) + ", a link takes " + std::to_string(linkMs) + " ms");
    std::mt19937 rng(seed);
    const int signals[] = {SIGKILL, SIGTERM, SIGINT, SIGHUP};
    const std::string old(4096, 'o');
    int ended = 0;
    for (int i = 0; i < 44; ++i) {
        const int sig = signals[i % 4];
        const std::string& name = names[(i / 4) % 2];
        const bool hadOld = (i / 8) % 2 == 0;
        // A named temporary file is removed on the signals that can be
        // caught; nothing can remove it after SIGKILL.
        const bool unnamed = sig == SIGKILL || (i / 16) % 2 == 0;
        const int delayMs = std::uniform_int_distribution<int>(0, linkMs)(rng);
        SCOPED_TRACE(FormatText("trial %d: signal %d after %d ms", i, sig, delayMs));
        for (const auto& e : fs::directory_iterator(folder)) fs::remove(e.path());
        if (hadOld) WriteFile(folder + "/" + name, old);

        const int status = KillAfterSignal([&](int fd) {
            SetUnnamedTempFiles(unnamed);
            char c = 1;
            (void)!write(fd, &c, 1);
            _exit(link(name) ? 0 : 1);
        }, delayMs, sig);
        ended += WIFSIGNALED(status);
        EXPECT_TRUE(WIFSIGNALED(status) || (WIFEXITED(status) && WEXITSTATUS(status) == 0)) << status;
        std::vector<std::string> left;
        for (const auto& e : fs::directory_iterator(folder)) left.push_back(e.path().filename().string());
        if (left.empty()) {
            EXPECT_FALSE(hadOld) << "the old image is gone";
            continue;
        }
        ASSERT_EQ(left, std::vector<std::string>{name}) << left.size() << " files left";
        const std::string now = folder + "/" + name;
        EXPECT_TRUE((hadOld && ReadFile(now) == old) || SameBytes(now, dir / name)) << "torn image";
    }
    EXPECT_GE(ended, 22) << "too few links were ended part-way";
}

}  // namespace
}  // namespace zlt::test
