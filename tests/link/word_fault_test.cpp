// Whole links of a project with words that meet a fault: a write failure at
// each part of the image, a clip that changes between the word table stage
// and the word image, and a kill while the word image is written, with or
// without an image before. No crash, the right error line, no torn image and
// no temporary file left behind.
#include "base/message.h"
#include "link/pipeline.h"
#include "platform/clock.h"

#include "support/stage_fixture.h"

#include <gtest/gtest.h>

#include <csignal>
#include <functional>
#include <sys/stat.h>
#include <sys/wait.h>

namespace zlt::test {
namespace {

// Writes dir/project.zlp and its clips, two words of each width; words 1 and
// 2 are played, word 3 is not.
std::string WordProject(const TempDir& dir, std::size_t samples = 1000) {
    std::mt19937 rng(8);
    std::vector<std::int16_t> s;
    WriteClipFile(dir / "a8.snx", RandomClip(rng, {}, 8, samples, s));
    WriteClipFile(dir / "b16.snx", RandomClip(rng, {}, 16, samples, s));
    WriteClipFile(dir / "c16.snx", RandomClip(rng, {}, 16, 300, s));
    const std::string project =
        MinimalProject("[ZLP.Word]\nW0001=" + dir / "a8.snx" + "\nW0002=" + dir / "b16.snx" + "\nW0003=" +
                       dir / "c16.snx" + "\n[ZLP.Sentence]\nS0000=W1+M100+W2\n[ZLP.Trigger]\nT0000=LUN + S0000\n");
    WriteFile(dir / "project.zlp", project);
    return project;
}

// What dir holds besides the project and its clips: the image and any
// temporary file.
std::vector<std::string> ImageFiles(const TempDir& dir) {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir.path())) names.push_back(e.path().filename().string());
    std::erase_if(names, [](const std::string& n) { return n == "project.zlp" || n.ends_with(".snx"); });
    return names;
}

// The lines of a link, and a fault run once when the link sends a line that
// begins with `at`.
struct FaultOnLine {
    std::string at;
    std::function<void()> fault;
    std::vector<std::string> lines;
    std::vector<std::string> LastTwo() const { return {lines.end() - std::min<long>(2, lines.size()), lines.end()}; }
};
FaultOnLine* g_fault = nullptr;
int RecordAndFault(const char* text) {
    g_fault->lines.emplace_back(text);
    if (g_fault->fault && g_fault->lines.back().starts_with(g_fault->at)) std::exchange(g_fault->fault, nullptr)();
    return 0;
}

// Links dir/project.zlp into dir/out.cfo with the fault above.
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
    const std::string word2 = "\n        W0002,PageSize=000004,Filename=" + clip;
    const std::string wordError = "\nErr: Can not write to file " + image, error = "\nErr: Can not wrtie file " + image;
    const std::string read = "\nErr: Can not read file " + clip, access = "\nErr: Can not access file " + clip;
    auto header = [](ClipFields f) { return [f](const std::string& p) { WriteClipFile(p, BuildClipHeader(f)); }; };
    auto cut = [](std::uintmax_t size) { return [size](const std::string& p) { fs::resize_file(p, size); }; };
    const struct {
        const char* name;
        std::uint64_t failAt;  // the bytes written before every write fails
        std::function<void(const std::string&)> change;
        std::string before, error;  // the last two lines; no error when the link succeeds
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
        {"clip with bytes after the data", never, cut(128 + 2000 + 100), "", ""},
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
        EXPECT_EQ(LinkWithFault(dir, fault, *ctx), c.error.empty());
        EXPECT_EQ(ImageFiles(dir), std::vector<std::string>(c.error.empty() ? 1 : 0, "out.cfo"));
        if (!c.error.empty()) {
            EXPECT_EQ(fault.LastTwo(), (std::vector<std::string>{c.before, c.error}));
        }
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
    WordProject(dir, 2u << 20);
    for (const std::string& older : {std::string(), std::string(8192, 'o')}) {
        SCOPED_TRACE(older.size());
        if (!older.empty()) WriteFile(dir / "out.cfo", older);
        const int status = KillAfterSignal([&](int) {
            FaultOnLine kill{"\n        W0002,", [] { raise(SIGKILL); }, {}};
            LinkWithFault(dir, kill, *std::make_unique<LinkContext>());
        });
        EXPECT_TRUE(WIFSIGNALED(status)) << status;
        EXPECT_EQ(ReadFile(dir / "out.cfo"), older);
        EXPECT_EQ(ImageFiles(dir), std::vector<std::string>(older.empty() ? 0 : 1, "out.cfo"));
    }
}

}  // namespace
}  // namespace zlt::test
