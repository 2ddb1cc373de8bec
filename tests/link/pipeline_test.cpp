// The link pipeline, whole links that fail or meet a fault: a mistake in the paths or the
// project, a full or read-only file system, a write failure at each part of
// the image, a clip that changes between the word table stage and the word
// image, another link to the same image, and a kill at a known place or at a
// random moment, with or without an image before. No crash, the right error
// line, no torn image and no temporary file left behind.
#include "link/pipeline.h"

#include "base/format.h"
#include "base/message.h"
#include "base/progress.h"
#include "platform/clock.h"
#include "platform/files.h"

#include "support/command.h"
#include "support/stage_fixture.h"

#include <gtest/gtest.h>

#include <climits>
#include <csignal>
#include <functional>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace zlt::test {
namespace {

// Writes the clips of a project in dir, two words of each width, and returns
// the project; words 1 and 2 are played, word 3 is not.
std::string WordProject(const TempDir& dir, std::size_t samples = 1000) {
    std::mt19937 rng(8);
    std::vector<std::int16_t> s;
    WriteClipFile(dir / "a8.snx", RandomClip(rng, {}, 8, samples, s));
    WriteClipFile(dir / "b16.snx", RandomClip(rng, {}, 16, samples, s));
    WriteClipFile(dir / "c16.snx", RandomClip(rng, {}, 16, 300, s));
    return MinimalProject("[ZLP.Word]\nW0001=" + dir / "a8.snx" + "\nW0002=" + dir / "b16.snx" + "\nW0003=" +
                          dir / "c16.snx" + "\n[ZLP.Sentence]\nS0000=W1+M100+W2\n[ZLP.Trigger]\nT0000=LUN + S0000\n");
}

// What a folder holds besides projects and clips: the image and any
// temporary file.
std::vector<std::string> ImageFiles(const fs::path& dir) {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir)) names.push_back(e.path().filename().string());
    std::erase_if(names, [](const std::string& n) { return n.ends_with(".zlp") || n.ends_with(".snx"); });
    return names;
}

// The lines of a link, and a fault run once when the link sends a line that
// begins with `at`.
struct FaultOnLine {
    std::string at;
    std::function<void()> fault;
    std::vector<std::string> lines;
};
FaultOnLine* g_fault = nullptr;

// Links dir/project into dir/out.cfo with the fault above.
bool LinkWithFault(const TempDir& dir, FaultOnLine& fault, LinkContext& ctx, const char* project = "project.zlp") {
    g_fault = &fault;
    SetOutputCallback([](const char* text) {
        g_fault->lines.emplace_back(text);
        if (g_fault->fault && g_fault->lines.back().starts_with(g_fault->at)) std::exchange(g_fault->fault, nullptr)();
        return 0;
    });
    const bool ok = MakeZltCfo(ctx, (dir / project).c_str(), (dir / "out.cfo").c_str());
    SetOutputCallback(nullptr);
    return ok;
}

// A failure in the paths given, in the head check before the image is
// opened, and in each stage after it: the link ends with its own lines; an
// older file at the image path stays until the image is opened and is gone
// after, and no temporary file is left. That each mistake stops the link with
// its own line is proven against the checker; the write failures of each
// section are in the word fault table below. The links run in a fresh folder,
// with paths relative to it.
TEST(Pipeline, EachFailureEndsWithItsOwnLinesAndLeavesNoImage) {
    const std::string head = "[ZLP.Head]\nSignature=NVK\nVersion=1.0\n";
    const std::string target = "[ZLP.System]\nTarget=ZELTA_900\nTG_Mode=TGM_SINGLE_M0\n";
    const std::string longImage = std::string(300, 'x') + ".cfo";
    const std::string invalid = "\nErr: Invalid ZLP file project.zlp";
    const struct {
        const char* name;
        std::string project;            // project.zlp
        std::vector<std::string> tail;  // the last lines
        bool opened;                    // the image was opened
        const char* projectPath = "project.zlp";
        const char* imagePath = "out.cfo";
    } cases[] = {
        {"missing file", "", {"\nInitial missing.zlp", "\nErr: Can not load file missing.zlp"}, false, "missing.zlp"},
        {"folder as project", "", {"\nErr: Can not load file ."}, false, "."},
        {"no project path", "", {"\nInitial Linker for Zelta-900", "\nErr: No file path given"}, false, nullptr},
        {"overlong image path", head + target, {"\nErr: Path longer than 255 characters: " + longImage}, false,
         "project.zlp", longImage.c_str()},
        {"wrong signature", "[ZLP.Head]\nSignature=NVX\nVersion=1.0\n" + target, {invalid}, false},
        {"no version", "[ZLP.Head]\nSignature=NVK\n" + target, {invalid}, false},
        {"target letter case", head + "[ZLP.System]\nTarget=Zelta_900\nTG_Mode=TGM_SINGLE_M0\n",
         {"\nProcess Target", invalid}, true},
        {"baud", head + target + "[ZLP.Firmware.UartMode]\nBaudRate=19200\n",
         {"\nParsing Option-Table", "\nErr: Unknown or Unsupport serial baud !!!"}, true},
        {"quoted blank in trigger mode", head + "[ZLP.System]\nTarget=ZELTA_900\nTG_Mode=\" TGM_SINGLE_M0\"\n",
         {"\nProcess System-K", "\nErr: Unknown or Undefine TG_MODE !!!"}, true},
        {"word stage", head + target + "[ZLP.Word]\nW0001=/nonexistent/w.snx\n",
         {"\nParsing Word-Table", "\nErr: Can not access file /nonexistent/w.snx"}, true},
        {"step reference past the 64 steps", head + target + "[ZLP.Sentence]\nS0000=^JZ_STEP64+M10\n",
         {"\n        Parsing S0000", "\nErr: STEP referance fail, in S0000(Step000) of file project.zlp"}, true},
        {"block jump first in its sentence", head + target + "[ZLP.Sentence]\nS0000=M10\nS0001=^JMP_Nowhere\n",
         {"\nErr: BLK referance fail, at S0001 of file project.zlp", "\n     BlkLabel = Nowhere"}, true},
        {"trigger stage", head + target + "[ZLP.Trigger]\nT0001=LUN + S0005\n",
         {"\nParsing Trigger-Table", "\nErr: S0005 referance fail, in T0001 of file project.zlp"}, true},
    };
    TempDir dir;
    WorkingDirectory cwd(dir.path());
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        WriteFile("project.zlp", c.project);
        WriteFile("out.cfo", "an older image");
        auto ctx = std::make_unique<LinkContext>();  // alive while the files are checked
        MessageLog log;
        EXPECT_FALSE(MakeZltCfo(*ctx, c.projectPath, c.imagePath));
        const auto& lines = log.lines();
        ASSERT_GE(lines.size(), c.tail.size());
        EXPECT_EQ(std::vector<std::string>(lines.end() - static_cast<long>(c.tail.size()), lines.end()), c.tail);
        EXPECT_EQ(ImageFiles("."), std::vector<std::string>(c.opened ? 0 : 1, "out.cfo"));
    }
}

// Lenient spellings of the head pass (those of the trigger mode are in the
// golden image "blocks"); a second link with the same context starts from
// cleared tables.
TEST(Pipeline, LenientSpellingsPassAndASecondLinkStartsAfresh) {
    TempDir dir;
    auto run = Link(dir, "[zlp.head]\nSIGNATURE = NVK\nversion = 1\n[ZLP.System]\nTarget=ZELTA_900\n"
                         "TG_Mode=tgm_Pbin_M2\n[ZLP.Firmware]\nBUSY_Signal=7\n");
    ASSERT_TRUE(run->ok) << run->log.Text();
    EXPECT_NE(run->ctx->keyTable[0x58], 0);
    run->ctx->triggerTable[5] = 9;
    WriteFile(dir / "project.zlp", MinimalProject());
    ASSERT_TRUE(MakeZltCfo(*run->ctx, (dir / "project.zlp").c_str(), (dir / "out.cfo").c_str()));
    EXPECT_EQ(run->ctx->keyTable[0x58], 0);
    EXPECT_EQ(run->ctx->triggerTable[5], 0);
}

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

// Two links to one image from two processes take turns: while one runs, the
// other waits and the image stays as it was; a link that fails never removes
// the image that the other completed.
TEST(Faults, TwoLinksToOneImageTakeTurns) {
    TempDir dir;
    const std::string image = dir / "out.cfo";
    WriteFile(dir / "bad.zlp", MinimalProject("[ZLP.Trigger]\nT0000=LUN + S0001\n"));
    WriteFile(image, "old");
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    const pid_t pid = fork();
    if (pid == 0) {
        // The failing link pauses inside its stages, after it opened the image.
        FaultOnLine pause{"\nParsing Trigger-Table", [&] {
                              (void)!write(fds[1], "", 1);
                              usleep(300 * 1000);
                              if (ReadFile(image) != "old") _exit(2);  // the other link did not wait
                          }, {}};
        _exit(LinkWithFault(dir, pause, *std::make_unique<LinkContext>(), "bad.zlp") ? 0 : 1);
    }
    char c = 0;
    ASSERT_EQ(read(fds[0], &c, 1), 1);
    // This link waits for the failing one, then writes its image.
    auto good = Link(dir, MinimalProject());
    EXPECT_TRUE(good->ok) << good->log.Text();
    int status = 0;
    waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1) << status;
    EXPECT_EQ(ReadFile(image).substr(0, 4), std::string("CFO\0", 4));
}

// Writes that fail from a byte of each part of the image on, as on a full
// device, and the second clip, b16.snx (1000 samples, 4 pages), changed after
// the word table stage checked it, as the word image begins: the error line
// follows the line of the part or the clip, and neither the older image nor a
// temporary file is left.
TEST(WordFaults, AWriteFailureAtEachPartOrAClipChangedWhileTheLinkRuns) {
    TempDir dir;
    auto good = Link(dir, WordProject(dir));
    ASSERT_TRUE(good->ok) << good->log.Text();
    const std::string& img = good->image;
    auto section = [&](unsigned type) { return 512ull * U32At(img, 16 * type + 4); };
    const std::uint64_t words = section(7), readme = section(8), never = UINT64_MAX;
    ASSERT_EQ(readme - words, 512u * (2 + 4));  // W1: 2 pages, W2: 4 pages; W3 is unused
    const std::string image = dir / "out.cfo", clip = dir / "b16.snx";
    const std::string word1 = "\n        W0001,PageSize=000002,Filename=" + dir / "a8.snx";
    const std::string word2 = "\n        W0002,PageSize=000004,Filename=" + clip, ok = "\nProcess OK !!!";
    const std::string wordError = "\nErr: Can not write to file " + image, error = "\nErr: Can not wrtie file " + image;
    const std::string read = "\nErr: Can not read file " + clip, access = "\nErr: Can not access file " + clip;
    auto header = [](ClipFields f) { return [f](const std::string& p) { WriteClipFile(p, BuildClipHeader(f)); }; };
    auto cut = [](std::uintmax_t size) { return [size](const std::string& p) { fs::resize_file(p, size); }; };
    const struct {
        const char* name;
        std::uint64_t failAt;  // the bytes written before every write fails
        std::function<void(const std::string&)> change;
        std::string before, error;  // the last two lines
    } cases[] = {
        {"provisional header", 0, {}, "\nInitial " + image, error},
        {"firmware", 512, {}, "\nProcess System-K", error},
        {"firmware padding", 512 + 37744, {}, "\nProcess System-K", error},
        {"key table", section(3), {}, "\nProcess ZLT_KTAB.BIN", error},
        {"trigger table", section(4), {}, "\nProcess ZLT_TTAB.BIN", error},
        {"sentence table", section(5), {}, "\nProcess ZLT_STAB.BIN", error},
        {"word table", words - 1, {}, "\nProcess ZLT_WTAB.BIN", error},
        {"first word", words, {}, word1, wordError},
        {"inside the first word", words + 700, {}, word1, wordError},
        {"second word", words + 1024, {}, word2, wordError},
        {"last byte of the second word", readme - 1, {}, word2, wordError},
        {"read-me", readme, {}, "\nProcess ReadMe.txt", error},
        {"read-me padding", readme + U32At(img, 16 * 8 + 12), {}, "\nProcess ReadMe.txt", error},
        {"final header", img.size(), {}, "\n        PageSize = 1", error},
        {"clip with bytes after the data", never, cut(128 + 2000 + 100), "\n        PageSize = 1", ok},
        {"clip removed", never, [](const std::string& p) { fs::remove(p); }, word2, "\nErr: Can not open file " + clip},
        {"clip cut inside its data", never, cut(128 + 1000), word2, read},
        {"clip cut at a block", never, cut(128 + 1536), word2, read},
        {"clip cut inside its header", never, cut(64), word2, read},
        {"data offset past the end", never, header({.dataOffset = 0xFFFFFFF0, .dataLength = 2000}), word2, read},
        {"clip now 8-bit", never,
         [](const std::string& p) { WriteClipFile(p, MakeClip8({}, std::vector<std::uint8_t>(2000))); }, word2, read},
        {"clip now of another rate", never, header({.sampleRate = 8000, .dataLength = 2000}), word2, read},
        {"clip now another header", never, [](const std::string& p) { WriteFile(p, std::string(2128, 'x')); }, word2,
         "\nErr: Invalid SNX-Signature of file " + clip},
        {"clip a FIFO", never, [](const std::string& p) { fs::remove(p), mkfifo(p.c_str(), 0600); }, word2, access},
        {"clip a folder", never, [](const std::string& p) { fs::remove(p), fs::create_directory(p); }, word2, access},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        WriteFile(image, "an older image");
        auto ctx = std::make_unique<LinkContext>();
        ctx->image.FailWritesAfter(c.failAt);
        FaultOnLine fault{"\nProcess ZLT_WIMG.BIN", [&] { if (c.change) c.change(clip); }, {}};
        EXPECT_EQ(LinkWithFault(dir, fault, *ctx), c.error == ok);
        EXPECT_EQ(ImageFiles(dir.path()), std::vector<std::string>(c.error == ok ? 1 : 0, "out.cfo"));
        EXPECT_EQ(std::vector(fault.lines.end() - 2, fault.lines.end()), (std::vector<std::string>{c.before, c.error}));
        if (c.change) fs::remove_all(clip), WordProject(dir);  // the clip as it was
    }
    // The link after them, with nothing failing, gives the same bytes as before.
    EXPECT_TRUE(Link(dir, ReadFile(dir / "project.zlp"))->image == img);
}

// About 6 MiB of clip data, several 1 MiB runs for each word: a link killed
// at the second word leaves the older image as it was, or none, and beside it
// nothing, not even a temporary file.
TEST(WordFaults, ALinkKilledInsideTheWordImage) {
    TempDir dir;
    WriteFile(dir / "project.zlp", WordProject(dir, 2u << 20));
    for (const std::string& older : {std::string(), std::string(8192, 'o')}) {
        SCOPED_TRACE(older.size());
        if (!older.empty()) WriteFile(dir / "out.cfo", older);
        const int status = KillAfterSignal([&](int) {
            FaultOnLine kill{"\n        W0002,", [] { raise(SIGKILL); }, {}};
            LinkWithFault(dir, kill, *std::make_unique<LinkContext>());
        });
        EXPECT_TRUE(WIFSIGNALED(status)) << status;
        EXPECT_EQ(ReadFile(dir / "out.cfo"), older);
        EXPECT_EQ(ImageFiles(dir.path()), std::vector<std::string>(older.empty() ? 0 : 1, "out.cfo"));
    }
}

// The pipe through which a linking child asks to be ended, and the word image
// page from which on it asks.
int g_signalFd = -1;
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
    // 64 MiB of words, eight words of one clip of sparse zero samples, quick to
    // make and read and transformed like any others: large enough that a signal
    // finds the link still busy, small enough for a quick test under the
    // sanitizers.
    constexpr unsigned kPages = 8 * (8u << 20) / 512;
    TempDir dir;
    MessageLog quiet;  // the links' lines
    const std::string project = dir / "p.zlp", folder = dir / "out", clip = dir / "w.snx";
    fs::create_directory(folder);
    const ClipFields f{.dataLength = 8u << 20};
    WriteClipFile(clip, BuildClipHeader(f));
    fs::resize_file(clip, kClipHeaderSize + f.dataLength);
    std::string words = "[ZLP.Word]\n";
    for (int n = 1; n <= 8; ++n) words += FormatText("W%0.4d=", n) + clip + "\n";
    WriteFile(project, MinimalProject(words + "[ZLP.Sentence]\nS0000=W1+W2+W3+W4+W5+W6+W7+W8\n"
                                              "[ZLP.Trigger]\nT0000=LUN + S0000\n"));
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
        const std::vector<std::string> left = ImageFiles(folder);
        EXPECT_EQ(left, std::vector<std::string>(hadOld || !left.empty() ? 1 : 0, names[k]));
        const std::string now = ReadFile(folder + "/" + names[k]);
        EXPECT_TRUE(left.empty() || (hadOld && now == old) || now == complete[k]) << "torn image";
    }
}

}  // namespace
}  // namespace zlt::test
