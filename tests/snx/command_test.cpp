// zlt900-snx as a command: its options, every way an input can fail,
// batches, and the key bytes that --seed fixes.
#include "snx/audio_fixture.h"
#include "zlt900-snx/encode.h"

#include <gtest/gtest.h>
#include <sndfile.h>

#include <fcntl.h>
#include <functional>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace zlt::test {
namespace {

// Names in dir, sorted, hidden ones included.
std::vector<std::string> Listing(const fs::path& dir) {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir)) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

void WriteSineWav(const std::string& path, unsigned rate = 16000, std::size_t frames = 1600) {
    WriteAudio(path, SF_FORMAT_WAV | SF_FORMAT_PCM_16, rate, 1, Sine(440, 0.5, rate, frames));
}

// A one-channel 8-bit 8000 Hz WAV whose data chunk declares `frames` frames,
// stored as a sparse file: long audio without the disk space.
void WriteSparseWav(const std::string& path, std::uint32_t frames) {
    std::string h = "RIFF----WAVEfmt ";
    auto u32 = [&](std::uint32_t v) { for (int i = 0; i < 4; ++i) h += char(v >> (8 * i)); };
    auto u16 = [&](std::uint16_t v) { h += char(v); h += char(v >> 8); };
    u32(16), u16(1), u16(1), u32(8000), u32(8000), u16(1), u16(8);
    h += "data";
    u32(frames);
    const std::uint32_t riff = static_cast<std::uint32_t>(h.size() - 8 + frames);
    for (int i = 0; i < 4; ++i) h[4 + i] = char(riff >> (8 * i));
    WriteFile(path, h);
    ASSERT_EQ(::truncate(path.c_str(), static_cast<off_t>(h.size() + frames)), 0);
}

TEST(SnxCommand, DefaultRateIsTheNextClipRateUp) {
    const std::pair<unsigned, unsigned> cases[] = {{1, 8000},      {8000, 8000},   {8001, 11025}, {12000, 16000},
                                                   {22050, 22050}, {40000, 40000}, {44101, 48000}, {192000, 48000}};
    for (auto [source, clip] : cases) EXPECT_EQ(snx::DefaultClipRate(source), clip) << source;
}

TEST(SnxCommand, UsageAndInputErrors) {
    TempDir dir;
    const std::string good = dir / "good.wav";
    WriteSineWav(good);
    WriteFile(dir / "notes.txt", "not audio\n");
    WriteAudio(dir / "empty.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 16000, 1, {});
    // 22369622 frames at 8000 Hz make 268435464 bytes at 48000 Hz, 16 bits.
    WriteSparseWav(dir / "long.wav", 22369622);
    fs::create_directory(dir / "out");
    const std::string out = " -o " + (dir / "out") + "/ ";
    struct Case {
        std::string args;
        int status;
        const char* says;
    } cases[] = {
        {"--help", 0, "Usage: zlt900-snx [OPTION]... INPUT..."},
        {"--version", 0, "zlt900-snx 0."},
        {"", 2, "no INPUT given"},
        {"--frobnicate " + good, 2, "unknown option --frobnicate"},
        {"-x " + good, 2, "unknown option -x"},
        {good + " --rate", 2, "option --rate needs a value"},
        {"--rate 12000" + out + good, 2,
         "unsupported rate '12000': use 8000, 11025, 16000, 22050, 24000, 32000, 40000, 44100 or 48000"},
        {"--rate 4294975296" + out + good, 2, "unsupported rate"},
        {"--rate 16k" + out + good, 2, "unsupported rate '16k'"},
        {"--bits 12" + out + good, 2, "unsupported bits '12'"},
        {"--bits -8" + out + good, 2, "unsupported bits '-8'"},
        {"--seed x" + out + good, 2, "seed 'x' is not a whole number"},
        {"-o " + (dir / "one.snx") + " " + good + " " + good, 2, "-o must name a folder"},
        {out + good + " " + good, 2, "two inputs would both be written to"},
        {out + (dir / "missing.wav"), 1, "missing.wav: cannot open: No such file or directory"},
        {out + dir.path().string(), 1, "not a regular file"},
        {out + (dir / "notes.txt"), 1, "notes.txt: not audio that libsndfile reads"},
        {out + (dir / "empty.wav"), 1, "empty.wav: holds no audio"},
        {"--rate 48000" + out + (dir / "long.wav"), 1, "too long for a clip: 268435464 bytes of 16-bit samples"},
        {"-o " + (dir / "notes.txt") + "/x.snx " + good, 1, "x.snx: cannot write: Not a directory"},
        {"-o " + (dir / "nowhere") + "/ " + good, 1, "cannot write: No such file or directory"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args);
        CommandResult run = RunSnx(c.args);
        EXPECT_EQ(run.status, c.status) << run.out;
        EXPECT_NE(run.out.find(c.says), std::string::npos) << run.out;
        if (c.status != 0) {
            EXPECT_TRUE(Listing(dir / "out").empty()) << "written despite the error";
        }
    }
    // The long file at a rate that fits is accepted up front (and not read here).
    EXPECT_EQ(Listing(dir.path()), (std::vector<std::string>{"empty.wav", "good.wav", "long.wav", "notes.txt", "out"}));
}

// Outputs that are inputs, links, devices or FIFOs: an input survives byte
// for byte, a link keeps itself, a device stays a device, nothing waits, and
// no temporary file is left.
TEST(SnxCommand, OutputsThatAreInputsLinksDevicesOrFifos) {
    struct Case {
        const char* name;
        std::function<std::string(const TempDir&)> setup;  // gives the -o path
        int status;
        const char* says;
        std::function<bool(const TempDir&)> holds;
    };
    auto isClip = [](const std::string& path) { return ReadFile(path).starts_with("Sonorium"); };
    const Case cases[] = {
        {"the input", [](const TempDir& d) { return d / "good.wav"; }, 2, "is the input", nullptr},
        {"a hard link to the input", [](const TempDir& d) {
             fs::create_hard_link(d / "good.wav", d / "hard.snx");
             return d / "hard.snx";
         }, 2, "is the input", nullptr},
        {"a symbolic link to the input", [](const TempDir& d) {
             fs::create_symlink("good.wav", d / "soft.snx");
             return d / "soft.snx";
         }, 2, "is the input", nullptr},
        {"a symbolic link", [](const TempDir& d) {
             WriteFile(d / "real.snx", "old");
             fs::create_symlink("real.snx", d / "link.snx");
             return d / "link.snx";
         }, 0, "16-bit", [&](const TempDir& d) { return fs::is_symlink(d / "link.snx") && isClip(d / "real.snx"); }},
        {"a dangling symbolic link", [](const TempDir& d) {
             fs::create_symlink("new.snx", d / "link.snx");
             return d / "link.snx";
         }, 0, "16-bit", [&](const TempDir& d) { return fs::is_symlink(d / "link.snx") && isClip(d / "new.snx"); }},
        {"a device", [](const TempDir& d) {
             // A null device of our own where we may make one, so that no
             // fault can touch the system's.
             if (mknod((d / "null").c_str(), S_IFCHR | 0666, makedev(1, 3)) != 0)
                 fs::create_symlink("/dev/null", d / "null");
             return d / "null";
         }, 0, "16-bit", [](const TempDir& d) { return fs::is_character_file(d / "null"); }},
        {"a FIFO without a reader", [](const TempDir& d) {
             mkfifo((d / "fifo").c_str(), 0600);
             return d / "fifo";
         }, 1, "a FIFO with no reader", nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        WriteSineWav(dir / "good.wav");
        const std::string wav = ReadFile(dir / "good.wav");
        const std::string out = c.setup(dir);
        const std::vector<std::string> before = Listing(dir.path());
        CommandResult run = RunCommand(Bounded(std::string(ZLT_SNX_TOOL) + " -o " + out + " " + (dir / "good.wav")));
        EXPECT_EQ(run.status, c.status) << run.out;
        EXPECT_NE(run.out.find(c.says), std::string::npos) << run.out;
        EXPECT_TRUE(ReadFile(dir / "good.wav") == wav);
        EXPECT_TRUE(!c.holds || c.holds(dir));
        std::vector<std::string> after = Listing(dir.path()), expected = before;
        if (c.name == std::string("a dangling symbolic link")) expected.push_back("new.snx");
        EXPECT_EQ(after, expected);
    }

    // A FIFO with a reader takes the whole clip.
    TempDir dir;
    WriteSineWav(dir / "good.wav");
    ASSERT_EQ(mkfifo((dir / "fifo").c_str(), 0600), 0);
    const int reader = ::open((dir / "fifo").c_str(), O_RDONLY | O_NONBLOCK);
    CommandResult run = RunCommand(Bounded(std::string(ZLT_SNX_TOOL) + " -o " + (dir / "fifo") + " " + (dir / "good.wav")));
    EXPECT_EQ(run.status, 0) << run.out;
    char head[8] = {};
    EXPECT_EQ(::read(reader, head, sizeof head), 8);
    EXPECT_EQ(std::string(head, 8), "Sonorium");
    ::close(reader);
}

TEST(SnxCommand, BatchWritesIntoTheFolderAndStopsAtTheFirstFailure) {
    TempDir dir;
    fs::create_directories(dir / "in/sub");
    WriteSineWav(dir / "in/one.wav");
    WriteSineWav(dir / "in/sub/two.wav", 22050);
    WriteSineWav(dir / "in/three.wav");
    fs::create_directory(dir / "out");

    CommandResult run = RunSnx("-o " + (dir / "out") + " " + (dir / "in/one.wav") + " " + (dir / "in/sub/two.wav"));
    ASSERT_EQ(run.status, 0) << run.out;
    EXPECT_NE(run.out.find("two.wav -> " + (dir / "out") + "/two.snx: 16-bit 22050 Hz, 0.07 s"), std::string::npos)
        << run.out;
    EXPECT_EQ(Listing(dir / "out"), (std::vector<std::string>{"one.snx", "two.snx"}));

    fs::remove_all(dir / "out");
    fs::create_directory(dir / "out");
    run = RunSnx("-q -o " + (dir / "out") + " " + (dir / "in/one.wav") + " " + (dir / "in/missing.wav") + " " +
                 (dir / "in/three.wav"));
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.out.find("stopped there; 1 of 3 clips written"), std::string::npos) << run.out;
    EXPECT_EQ(Listing(dir / "out"), std::vector<std::string>{"one.snx"});

    // Without -o each clip goes beside its input.
    run = RunSnx("-q " + (dir / "in/sub/two.wav"));
    EXPECT_EQ(run.status, 0) << run.out;
    EXPECT_TRUE(fs::exists(dir / "in/sub/two.snx"));
}

TEST(SnxCommand, SeedFixesKeyBytesAndDither) {
    TempDir dir;
    WriteAudio(dir / "f.wav", SF_FORMAT_WAV | SF_FORMAT_FLOAT, 44100, 2, Sine(440, 0.5, 44100, 4410, 2));
    auto encode = [&](const std::string& args, const std::string& name) {
        CommandResult run = RunSnx("-q --bits 8 " + args + " -o " + (dir / name) + " " + (dir / "f.wav"));
        EXPECT_EQ(run.status, 0) << run.out;
        return ReadFile(dir / name);
    };
    const std::string a = encode("--seed 7", "a.snx"), b = encode("--seed 7", "b.snx");
    const std::string c = encode("--seed 8", "c.snx");
    const std::string d = encode("", "d.snx"), e = encode("", "e.snx");
    EXPECT_EQ(a, b);
    EXPECT_NE(a, c);
    // Key indexes and key area: header bytes 24 to 87.
    EXPECT_NE(d.substr(24, 64), e.substr(24, 64));
    EXPECT_NE(a.substr(24, 64), d.substr(24, 64));
    EXPECT_EQ(a.size(), d.size());
    for (const std::string* clip : {&a, &c, &d, &e}) {
        EXPECT_LE(static_cast<unsigned char>((*clip)[24]), 61);
        EXPECT_LE(static_cast<unsigned char>((*clip)[25]), 61);
    }
}

// The demo's clips come out of make_clips.sh again. The clips kept at their
// source's rate match byte for byte; for the resampled ones the header (key
// bytes, rate, length) must match, while the samples may differ in the last
// bit where soxr takes another vector path on another processor.
TEST(SnxCommand, DemoClipsComeAgainFromTheirAudio) {
    TempDir dir;
    const fs::path demo = fs::path(ZLT_SOURCE_DIR) / "examples/demo";
    fs::copy(demo, dir.path(), fs::copy_options::recursive);
    for (const char* clip : {"beep.snx", "hello.snx", "good_morning.snx", "chime.snx"}) fs::remove(dir / clip);
    CommandResult run = RunCommand("sh " + (dir / "make_clips.sh") + " " + ZLT_SNX_TOOL);
    ASSERT_EQ(run.status, 0) << run.out;
    for (const char* clip : {"hello.snx", "chime.snx"}) EXPECT_TRUE(ReadFile(dir / clip) == ReadFile(demo / clip)) << clip;
    for (const char* clip : {"beep.snx", "good_morning.snx"}) {
        const std::string made = ReadFile(dir / clip), kept = ReadFile(demo / clip);
        EXPECT_EQ(made.size(), kept.size()) << clip;
        EXPECT_TRUE(made.substr(0, 128) == kept.substr(0, 128)) << clip;
    }
}

}  // namespace
}  // namespace zlt::test
