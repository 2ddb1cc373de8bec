// The shared library as a host loads it: exported names, callbacks, links
// from two threads and from within the callback.
#include "zlt900/zlt900_lnk.h"

#include "support/command.h"

#include <gtest/gtest.h>

#include <dlfcn.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

namespace fs = std::filesystem;

class Exports : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(lib, nullptr) << dlerror();
        make = reinterpret_cast<decltype(make)>(dlsym(lib, "ZltLnk_MakeZltCfo"));
        setFputs = reinterpret_cast<decltype(setFputs)>(dlsym(lib, "ZltLnk_SetDefFputs"));
        setTime = reinterpret_cast<decltype(setTime)>(dlsym(lib, "ZltLnk_SetLinkTime"));
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
        if (lib) setFputs(nullptr), setTime(-1), dlclose(lib);
        fs::remove_all(dir);
    }

    static int Capture(const char* text) {
        std::lock_guard<std::mutex> lock(mutex);
        lines.push_back({std::this_thread::get_id(), text});
        return 0;
    }

    void* lib = dlopen(ZLT_LIBRARY_PATH, RTLD_NOW | RTLD_LOCAL);
    static inline decltype(&ZltLnk_MakeZltCfo) make = nullptr;  // static: a callback calls it too
    decltype(&ZltLnk_SetDefFputs) setFputs = nullptr;
    decltype(&ZltLnk_SetLinkTime) setTime = nullptr;
    fs::path dir;
    std::string project, image;
    static inline std::mutex mutex;
    static inline std::vector<std::pair<std::thread::id, std::string>> lines;
};

// Every function of the header is found under its plain name and under the
// decorated one that hosts look up; internals stay hidden.
TEST_F(Exports, EveryNameIsExportedPlainAndDecorated) {
    for (const char* name : {"ZltLnk_MakeZltCfo", "ZltLnk_SetDefFputs", "ZltLnk_SetDefProgressNotify",
                             "ZltLnk_SetLinkTime", "ZltLnk_SetPageProgress", "ZltLnk_SetInputNotify",
                             "ZltLnk_SetAnsiCodePage", "ZltLnk_CheckProject"}) {
        EXPECT_NE(dlsym(lib, name), nullptr) << name;
        EXPECT_EQ(dlsym(lib, ("_" + std::string(name)).c_str()), dlsym(lib, name)) << name;
    }
    EXPECT_EQ(dlsym(lib, "_ZN3zlt10MakeZltCfoERNS_11LinkContextEPKcS3_"), nullptr);
}

TEST_F(Exports, WithoutCallbackTheTextGoesToStandardOutputUnchanged) {
    testing::internal::CaptureStdout();
    const bool ok = make(project.c_str(), image.c_str());
    const std::string text = testing::internal::GetCapturedStdout();
    ASSERT_TRUE(ok);
    EXPECT_TRUE(text.starts_with("\nInitial Linker for Zelta-900\nInitial " + project + "\n")) << text;
    EXPECT_TRUE(text.ends_with("\n        PageSize = 1\nProcess OK !!!")) << text;
}

// A link started from inside the callback is refused and the link that
// called it goes on; long messages are cut at 1023 characters.
TEST_F(Exports, ALinkFromInsideTheCallbackIsRefusedAndLongMessagesAreCut) {
    static bool innerResult;
    innerResult = true;
    setFputs([](const char* text) {
        Capture(text);
        if (std::string(text) == "\nProcess Target") innerResult = make("x.zlp", "y.cfo");
        return 0;
    });
    EXPECT_TRUE(make(project.c_str(), image.c_str()));
    EXPECT_FALSE(innerResult);
    EXPECT_TRUE(std::ranges::any_of(lines, [](const auto& l) {
        return l.second == "\nErr: A link can not start from within the output callback";
    }));
    EXPECT_FALSE(fs::exists("y.cfo"));
    // A project path of 255 characters is accepted (and is missing); an
    // overlong one is quoted in the refusal, which is cut safely.
    const std::string longest = (dir / std::string(255, 'a')).string().substr(0, 255);
    EXPECT_FALSE(make(longest.c_str(), image.c_str()));
    EXPECT_EQ(lines.back().second, "\nErr: Can not load file " + longest);
    EXPECT_FALSE(make(std::string(5000, 'b').c_str(), image.c_str()));
    EXPECT_EQ(lines.back().second.size(), 1023u);
}

// The callback set once serves both links.
TEST_F(Exports, LinksFromTwoThreadsAreSerialised) {
    setFputs(&Capture);
    const std::string image2 = (dir / "out2.cfo").string();
    std::thread a([&] { EXPECT_TRUE(make(project.c_str(), image.c_str())); });
    std::thread b([&] { EXPECT_TRUE(make(project.c_str(), image2.c_str())); });
    a.join();
    b.join();
    int switches = 0;
    for (std::size_t i = 1; i < lines.size(); ++i) switches += lines[i].first != lines[i - 1].first;
    EXPECT_EQ(switches, 1);
    EXPECT_EQ(fs::file_size(image), fs::file_size(image2));
}

// The progress bar of the word image shows only on a terminal (what the tool
// prints otherwise is in tests/golden/link.txt).
TEST_F(Exports, ProgressBarOnATerminal) {
    if (zlt::test::RunCommand("command -v script").status != 0) GTEST_SKIP() << "no script(1)";
    const auto tty = zlt::test::RunCommand("cd " + std::string(ZLT_SOURCE_DIR) + "/examples/demo && script -qec '" +
                                           ZLT_LINK_TOOL + " demo.zlp " + image + "' /dev/null");
    EXPECT_EQ(tty.status, 0) << tty.out;
    EXPECT_NE(tty.out.find("]   0%  0 of "), std::string::npos) << tty.out;
    EXPECT_NE(tty.out.find(" pages\r\033[K\033[A"), std::string::npos) << tty.out;
}

}  // namespace
