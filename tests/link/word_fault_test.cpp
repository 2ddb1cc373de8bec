// Whole links of projects with words that meet a fault: a write failure at
// each part of the image, a clip that changes between the word table stage
// and the word image, and a kill while the word image is written, with or
// without an image before. No crash,
// the right error line, no torn image and no temporary file left behind.
#include "base/message.h"
#include "link/pipeline.h"
#include "platform/clock.h"

#include "support/stage_fixture.h"

#include <gtest/gtest.h>

#include <csignal>
#include <sys/stat.h>
#include <functional>
#include <sys/wait.h>
#include <unistd.h>

namespace zlt::test {
namespace {

// Two words of each width; words 1 and 2 are played, word 3 is not.
std::string WordProject(const TempDir& dir, std::size_t samples) {
    std::mt19937 rng(8);
    std::vector<std::int16_t> s;
    WriteClipFile(dir / "a8.snx", RandomClip(rng, {}, 8, samples, s));
    WriteClipFile(dir / "b16.snx", RandomClip(rng, {}, 16, samples, s));
    WriteClipFile(dir / "c16.snx", RandomClip(rng, {}, 16, 300, s));
    return MinimalProject("[ZLP.Word]\nW0001=" + dir / "a8.snx" + "\nW0002=" + dir / "b16.snx" +
                          "\nW0003=" + dir / "c16.snx" +
                          "\n[ZLP.Sentence]\nS0000=W1+M100+W2\n[ZLP.Trigger]\nT0000=LUN + S0000\n");
}

// What dir holds besides the project and its clips: the image and any
// temporary file.
std::vector<std::string> ImageFiles(const TempDir& dir) {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir.path())) {
        std::string name = e.path().filename().string();
        if (name != "project.zlp" && !name.ends_with(".snx")) names.push_back(name);
    }
    return names;
}

// Output callback that records every line and runs a fault once when the
// link sends `at`.
struct FaultOnLine {
    std::string at;
    std::function<void()> fault;
    std::vector<std::string> lines;
};
FaultOnLine* g_fault = nullptr;
int RecordAndFault(const char* text) {
    g_fault->lines.emplace_back(text);
    if (g_fault->fault && g_fault->lines.back() == g_fault->at) std::exchange(g_fault->fault, nullptr)();
    return 0;
}

// Links dir/project.zlp into dir/out.cfo with the callback above installed.
bool LinkWithFault(const TempDir& dir, FaultOnLine& fault, LinkContext& ctx) {
    g_fault = &fault;
    SetOutputCallback(RecordAndFault);
    SetFixedLinkTime(0);
    const bool ok = MakeZltCfo(ctx, (dir / "project.zlp").c_str(), (dir / "out.cfo").c_str());
    SetFixedLinkTime(-1);
    SetOutputCallback(nullptr);
    g_fault = nullptr;
    return ok;
}

TEST(WordFaults, AWriteFailureAtEachPartOfAnImageWithWords) {
    TempDir dir;
    const std::string project = WordProject(dir, 1000);
    auto good = Link(dir, project);
    ASSERT_TRUE(good->ok) << good->log.Text();
    const std::string& img = good->image;
    auto section = [&](unsigned type) { return 512ull * U32At(img, 16 * type + 4); };
    const std::uint64_t words = section(7), readme = section(8);
    ASSERT_EQ(readme - words, 512u * (2 + 4));  // W1: 2 pages, W2: 4 pages; W3 is unused
    const std::string image = dir / "out.cfo";
    const std::string wordLine1 = "\n        W0001,PageSize=000002,Filename=" + dir / "a8.snx";
    const std::string wordLine2 = "\n        W0002,PageSize=000004,Filename=" + dir / "b16.snx";
    const std::string wordError = "\nErr: Can not write to file " + image;
    const std::string sectionError = "\nErr: Can not wrtie file " + image;
    const struct {
        const char* part;
        std::uint64_t offset;
        std::string before;  // the line just before the error
        std::string error;
    } cases[] = {
        {"provisional header", 0, "\nInitial " + image, sectionError},
        {"firmware", 512, "\nProcess System-K", sectionError},
        {"firmware padding", 512 + 37744, "\nProcess System-K", sectionError},
        {"key table", section(3), "\nProcess ZLT_KTAB.BIN", sectionError},
        {"trigger table", section(4), "\nProcess ZLT_TTAB.BIN", sectionError},
        {"sentence table", section(5), "\nProcess ZLT_STAB.BIN", sectionError},
        {"word table", words - 1, "\nProcess ZLT_WTAB.BIN", sectionError},
        {"first word", words, wordLine1, wordError},
        {"inside the first word", words + 700, wordLine1, wordError},
        {"second word", words + 1024, wordLine2, wordError},
        {"last byte of the second word", readme - 1, wordLine2, wordError},
        {"read-me", readme, "\nProcess ReadMe.txt", sectionError},
        {"read-me padding", readme + U32At(img, 16 * 8 + 12), "\nProcess ReadMe.txt", sectionError},
        {"final header", img.size(), "\nProcess OK !!!", sectionError},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.part);
        WriteFile(image, "an older image");
        auto ctx = std::make_unique<LinkContext>();
        ctx->image.FailWritesAfter(c.offset);
        FaultOnLine fault;
        EXPECT_FALSE(LinkWithFault(dir, fault, *ctx));
        ASSERT_GE(fault.lines.size(), 2u);
        EXPECT_EQ(fault.lines.back(), c.error);
        if (c.before != "\nProcess OK !!!") {
            EXPECT_EQ(fault.lines[fault.lines.size() - 2], c.before);
        }
        EXPECT_EQ(ImageFiles(dir), std::vector<std::string>{});  // no image, no temporary file
    }
    // The link after them, with nothing failing, gives the same bytes as before.
    auto again = Link(dir, project);
    ASSERT_TRUE(again->ok);
    EXPECT_TRUE(again->image == img);
}

// b16.snx (1000 samples, 4 pages), checked by the word table stage, then
// changed before the word image copies it.
TEST(WordFaults, AClipThatChangesWhileTheLinkRuns) {
    const std::string read = "\nErr: Can not read file ", access = "\nErr: Can not access file ";
    auto header = [](auto change) {
        return [change](const std::string& p) {
            ClipFields f;
            f.dataLength = 2000;
            change(f);
            WriteClipFile(p, BuildClipHeader(f));
        };
    };
    auto cut = [](std::uintmax_t size) { return [size](const std::string& p) { fs::resize_file(p, size); }; };
    const struct {
        const char* name;
        std::function<void(const std::string&)> change;
        std::string error;  // the clip path follows it; "" when the link succeeds
    } cases[] = {
        {"bytes after the data", cut(128 + 2000 + 100), ""},
        {"removed", [](const std::string& p) { fs::remove(p); }, "\nErr: Can not open file "},
        {"cut inside its data", cut(128 + 1000), read},
        {"cut at a block", cut(128 + 1536), read},
        {"cut inside its header", cut(64), read},
        {"data offset past the end", header([](ClipFields& f) { f.dataOffset = 0xFFFFFFF0; }), read},
        {"now 8-bit", [](const std::string& p) { WriteClipFile(p, MakeClip8({}, std::vector<std::uint8_t>(2000))); },
         read},
        {"now another rate", header([](ClipFields& f) { f.sampleRate = 8000; }), read},
        {"now another header", [](const std::string& p) { WriteFile(p, std::string(2128, 'x')); },
         "\nErr: Invalid SNX-Signature of file "},
        {"now a FIFO", [](const std::string& p) { fs::remove(p), ::mkfifo(p.c_str(), 0600); }, access},
        {"now a folder", [](const std::string& p) { fs::remove(p), fs::create_directory(p); }, access},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        WriteFile(dir / "project.zlp", WordProject(dir, 1000));
        const std::string clip = dir / "b16.snx";
        FaultOnLine fault{"\nProcess ZLT_WIMG.BIN", [&] { c.change(clip); }, {}};
        auto ctx = std::make_unique<LinkContext>();
        EXPECT_EQ(LinkWithFault(dir, fault, *ctx), c.error.empty());
        EXPECT_EQ(ImageFiles(dir), std::vector<std::string>(c.error.empty() ? 1 : 0, "out.cfo"));
        if (c.error.empty()) continue;
        EXPECT_EQ(fault.lines.back(), c.error + clip);
        EXPECT_EQ(fault.lines[fault.lines.size() - 2], "\n        W0002,PageSize=000004,Filename=" + clip);
    }
}

int g_signalFd = -1;

// Output callback of the child: tells the parent when the word image has
// begun, and, for a deterministic stop, waits at the second word to be killed.
bool g_waitAtSecondWord = false;
int SignalWordImage(const char* text) {
    const std::string line = text;
    if (line == "\nProcess ZLT_WIMG.BIN") {
        char c = 1;
        (void)!write(g_signalFd, &c, 1);
    }
    if (g_waitAtSecondWord && line.rfind("\n        W0002,", 0) == 0)
        for (;;) pause();
    return 0;
}

TEST(WordFaults, LargeLinkKilledInsideTheWordImage) {
    TempDir dir;
    // About 6 MiB of clip data: several 1 MiB runs for each word.
    WriteFile(dir / "project.zlp", WordProject(dir, 2u << 20));
    const std::string image = dir / "out.cfo";
    const struct {
        const char* name;
        bool waitAtSecondWord;
        int delayMs;      // after the word image has begun
        std::string old;  // the image before ("" for none)
    } cases[] = {
        {"stopped at the second word", true, 0, std::string(8192, 'o')},
        {"stopped at the second word, no image before", true, 0, ""},
        {"at once", false, 0, "old"},
        {"after 20 ms", false, 20, "old"},
        {"after 80 ms", false, 80, "old"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove(image);
        if (!c.old.empty()) WriteFile(image, c.old);
        const int status = KillAfterSignal([&](int fd) {
            g_signalFd = fd;
            g_waitAtSecondWord = c.waitAtSecondWord;
            auto ctx = std::make_unique<LinkContext>();
            SetOutputCallback(SignalWordImage);
            MakeZltCfo(*ctx, (dir / "project.zlp").c_str(), image.c_str());
        }, c.delayMs);
        // A link that finished before the kill has replaced the image whole;
        // any other leaves the previous image as it was, or none. Beside the
        // image a killed link leaves nothing, not even a temporary file.
        const std::string now = ReadFile(image);
        if (WIFSIGNALED(status)) {
            EXPECT_TRUE(now == c.old) << "image torn: " << now.size() << " bytes";
        } else {
            EXPECT_EQ(now.substr(0, 4), std::string("CFO\0", 4));
        }
        EXPECT_EQ(ImageFiles(dir), std::vector<std::string>(now.empty() ? 0 : 1, "out.cfo"));
    }
}

}  // namespace
}  // namespace zlt::test
