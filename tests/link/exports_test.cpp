// The shared library as a host loads it: exported names, callbacks and the
// command-line host built on it.
#include "zlt900/zlt900_lnk.h"

#include "support/command.h"

#include <gtest/gtest.h>

#include <dlfcn.h>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

namespace fs = std::filesystem;
using zlt::test::RunCommand;

std::string Slurp(const std::string& path) {
    std::stringstream bytes;
    bytes << std::ifstream(path, std::ios::binary).rdbuf();
    return bytes.str();
}

struct Library {
    void* handle = dlopen(ZLT_LIBRARY_PATH, RTLD_NOW | RTLD_LOCAL);
    ~Library() {
        if (handle) dlclose(handle);
    }
    template <typename F>
    F Get(const char* name) const {
        return reinterpret_cast<F>(dlsym(handle, name));
    }
};

using MakeFn = bool (*)(const char*, const char*);
using SetFputsFn = bool (*)(ZltLnkFputs);
using SetProgressFn = bool (*)(void*);
using SetTimeFn = bool (*)(long long);

class Exports : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(lib.handle, nullptr) << dlerror();
        make = lib.Get<MakeFn>("ZltLnk_MakeZltCfo");
        setFputs = lib.Get<SetFputsFn>("ZltLnk_SetDefFputs");
        setTime = lib.Get<SetTimeFn>("ZltLnk_SetLinkTime");
        char templ[] = "/tmp/zlt900-exports-XXXXXX";
        dir = mkdtemp(templ);
        project = (dir / "p%s.zlp").string();
        std::ofstream(project) << "[ZLP.Head]\nSignature=NVK\nVersion=1.0\n[ZLP.System]\n"
                                  "Target=ZELTA_900\nTG_Mode=TGM_SINGLE_M0\n";
        image = (dir / "out.cfo").string();
        setTime(0);
        lines.clear();
    }
    void TearDown() override {
        if (setFputs) setFputs(nullptr);
        if (setTime) setTime(-1);
        fs::remove_all(dir);
    }

    static int Capture(const char* text) {
        std::lock_guard<std::mutex> lock(mutex);
        lines.push_back({std::this_thread::get_id(), text});
        return 0;
    }

    Library lib;
    MakeFn make = nullptr;
    SetFputsFn setFputs = nullptr;
    SetTimeFn setTime = nullptr;
    fs::path dir;
    std::string project, image;
    static inline std::mutex mutex;
    static inline std::vector<std::pair<std::thread::id, std::string>> lines;
};

TEST_F(Exports, EveryNameIsExportedPlainAndDecorated) {
    for (const char* name : {"ZltLnk_MakeZltCfo", "ZltLnk_SetDefFputs", "ZltLnk_SetDefProgressNotify",
                             "ZltLnk_SetLinkTime", "ZltLnk_SetPageProgress", "ZltLnk_CheckProject"}) {
        EXPECT_NE(dlsym(lib.handle, name), nullptr) << name;
        std::string decorated = std::string("_") + name;
        EXPECT_EQ(dlsym(lib.handle, decorated.c_str()), dlsym(lib.handle, name)) << decorated;
    }
    // Internals stay hidden.
    EXPECT_EQ(dlsym(lib.handle, "_ZN3zlt10MakeZltCfoERNS_11LinkContextEPKcS3_"), nullptr);
    auto progress = lib.Get<SetProgressFn>("ZltLnk_SetDefProgressNotify");
    EXPECT_TRUE(progress(nullptr));
    EXPECT_TRUE(progress(reinterpret_cast<void*>(&Capture)));
    EXPECT_TRUE(setFputs(nullptr));
    EXPECT_TRUE(setFputs(nullptr));
}

TEST_F(Exports, WithoutCallbackTheTextGoesToStandardOutputUnchanged) {
    std::string capture = (dir / "stdout.txt").string();
    std::fflush(stdout);
    int saved = dup(1);
    int fd = open(capture.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    dup2(fd, 1);
    close(fd);
    bool ok = make(project.c_str(), image.c_str());
    std::fflush(stdout);
    dup2(saved, 1);
    close(saved);
    ASSERT_TRUE(ok);
    const std::string text = Slurp(capture);
    EXPECT_EQ(text.rfind("\nInitial Linker for Zelta-900\nInitial " + project + "\n", 0), 0u);
    EXPECT_TRUE(text.ends_with("\n        PageSize = 1\nProcess OK !!!"));
}

TEST_F(Exports, ALinkFromInsideTheCallbackIsRefused) {
    static MakeFn inner;
    static bool innerResult;
    inner = make;
    innerResult = true;
    setFputs([](const char* text) {
        Capture(text);
        if (std::string(text) == "\nProcess Target") innerResult = inner("x.zlp", "y.cfo");
        return 0;
    });
    EXPECT_TRUE(make(project.c_str(), image.c_str()));
    EXPECT_FALSE(innerResult);
    bool refused = false;
    for (auto& [id, text] : lines)
        refused |= text == "\nErr: A link can not start from within the output callback";
    EXPECT_TRUE(refused);
    EXPECT_FALSE(fs::exists("y.cfo"));
}

// The callback set once serves both links; two identical links from one
// thread give identical bytes (CommandLineHost).
TEST_F(Exports, LinksFromTwoThreadsAreSerialised) {
    setFputs(&Capture);
    std::string image2 = (dir / "out2.cfo").string();
    std::thread a([&] { EXPECT_TRUE(make(project.c_str(), image.c_str())); });
    std::thread b([&] { EXPECT_TRUE(make(project.c_str(), image2.c_str())); });
    a.join();
    b.join();
    int switches = 0;
    for (std::size_t i = 1; i < lines.size(); ++i) switches += lines[i].first != lines[i - 1].first;
    EXPECT_EQ(switches, 1);
    EXPECT_EQ(fs::file_size(image), fs::file_size(image2));
    EXPECT_EQ(lines[1].second, "\nInitial " + project);  // the '%' is printed literally
}

TEST_F(Exports, LongMessagesAreCutAt1023Characters) {
    setFputs(&Capture);
    std::string deep = (dir / std::string(250, 'a')).string().substr(0, 255);
    // A project path of 255 characters is accepted; its load error is short.
    EXPECT_FALSE(make(deep.c_str(), image.c_str()));
    // An overlong path is quoted in the refusal, which is cut safely.
    std::string huge(5000, 'b');
    EXPECT_FALSE(make(huge.c_str(), image.c_str()));
    EXPECT_EQ(lines.back().second.size(), 1023u);
}

zlt::test::CommandResult RunTool(const std::string& args) {
    return RunCommand(std::string(ZLT_LINK_TOOL) + " " + args);
}

TEST_F(Exports, CommandLineHost) {
    std::string p = "'" + project + "'";
    struct Case {
        std::string args;
        int status;
        std::string contains;
    } cases[] = {
        {"--help", 0, "Usage: zlt900-link"},
        {"--version", 0, "zlt900-link "},
        {"", 2, "expected PROJECT and IMAGE"},
        {p, 2, "expected PROJECT and IMAGE"},
        {"--bogus " + p + " x.cfo", 2, "unknown option"},
        {"--timestamp=yesterday " + p + " x.cfo", 2, "invalid --timestamp"},
        {"-C", 2, "requires an argument"},
        {"--timestamp=0 " + p + " " + image, 0, "\nProcess OK !!!\n"},
        {"-q --timestamp=0 " + p + " " + image, 0, ""},
        {"-q " + p + "x " + image, 1, "Err: Can not load file"},
        {p + "x " + image, 1, "Initial " + project + "x\nErr: Can not load file " + project + "x\n"},
        {"-C " + dir.string() + " --timestamp=0 'p%s.zlp' rel.cfo", 0, "Initial rel.cfo"},
        {"-C /nonexistent-dir " + p + " x.cfo", 1, "cannot change to directory"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args);
        zlt::test::CommandResult run = RunTool(c.args);
        EXPECT_EQ(run.status, c.status) << run.out;
        EXPECT_NE(run.out.find(c.contains), std::string::npos) << run.out;
        if (c.args.starts_with("-q --timestamp")) {
            EXPECT_EQ(run.out, "");
        }
    }
    EXPECT_TRUE(fs::exists(dir / "rel.cfo"));

    // SOURCE_DATE_EPOCH fixes the time like --timestamp does.
    const std::string before = Slurp(image);
    ASSERT_EQ(RunCommand("SOURCE_DATE_EPOCH=0 " + std::string(ZLT_LINK_TOOL) + " -q " + p + " " + image).status, 0);
    EXPECT_TRUE(Slurp(image) == before);
    std::string again = (dir / "again.cfo").string();
    // The progress bar of the word image shows only on a terminal.
    const std::string demo = "cd " + std::string(ZLT_SOURCE_DIR) + "/examples/demo && ";
    const std::string linkDemo = std::string(ZLT_LINK_TOOL) + " demo.zlp " + (dir / "demo.cfo").string();
    const zlt::test::CommandResult plain = RunCommand(demo + linkDemo);
    EXPECT_EQ(plain.out.find("0 of "), std::string::npos);
    // The summary line ends a link that is not quiet.
    EXPECT_TRUE(plain.out.ends_with(
        "demo.cfo: 466 pages (238592 bytes); 4 words, 5 sentences, 7 triggers (3 on the clock)\n"))
        << plain.out;
    if (RunCommand("command -v script").status == 0) {
        zlt::test::CommandResult tty = RunCommand(demo + "script -qec '" + linkDemo + "' /dev/null");
        EXPECT_EQ(tty.status, 0) << tty.out;
        EXPECT_NE(tty.out.find("]   0%  0 of "), std::string::npos) << tty.out;
        EXPECT_NE(tty.out.find(" pages\r\033[K\033[A"), std::string::npos) << tty.out;
    }
    EXPECT_EQ(RunCommand("SOURCE_DATE_EPOCH=soon " + std::string(ZLT_LINK_TOOL) + " " + p + " " + again).status, 2);
}

TEST_F(Exports, InitWritesAProjectWhoseCommentedKeysAreTheDefaults) {
    const std::string folder = (dir / "new").string();
    zlt::test::CommandResult init = RunTool("--init " + folder);
    ASSERT_EQ(init.status, 0) << init.out;
    const std::string project = folder + "/project.zlp";
    EXPECT_EQ(RunTool("--init " + folder).status, 1);  // an existing project is kept
    EXPECT_EQ(RunTool("--init " + folder + " extra").status, 2);

    auto linkImage = [&] {
        zlt::test::CommandResult r = RunTool("-q --timestamp=0 " + project + " " + image);
        EXPECT_EQ(r.status, 0) << r.out;
        return Slurp(image);
    };
    const std::string asWritten = linkImage();
    // Uncomment every key of the system, firmware and serial sections.
    std::stringstream text(Slurp(project));
    std::string uncommented, line, section;
    while (std::getline(text, line)) {
        if (line.starts_with("[")) section = line;
        const bool option = section == "[ZLP.System]" || section.starts_with("[ZLP.Firmware");
        if (option && line.size() > 1 && line[0] == ';' && line.find('=') != std::string::npos &&
            line[1] != ' ')
            line.erase(0, 1);
        uncommented += line + "\n";
    }
    std::ofstream(project) << uncommented;
    EXPECT_NE(uncommented.find("\nBaudRate=9600\n"), std::string::npos);
    EXPECT_TRUE(linkImage() == asWritten);
}

}  // namespace
