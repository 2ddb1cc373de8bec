// zlt900-link --check in colour on a terminal; ZltLnk_CheckProject as a host
// calls it; the SARIF log against the SARIF 2.1.0 schema. What --check prints
// is in the transcript tests/golden/check.txt.
#include "zlt900/zlt900_lnk.h"

#include "support/command.h"

#include <gtest/gtest.h>

#include <dlfcn.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using zlt::test::RunCommand;

const char kHead[] = "[ZLP.Head]\nSignature=NVK\nVersion=1.0\n[ZLP.System]\nTarget=ZELTA_900\nTG_Mode=TGM_SINGLE_M0\n";

class CheckTool : public ::testing::Test {
protected:
    void SetUp() override {
        char templ[] = "/tmp/zlt900-check-XXXXXX";
        dir = mkdtemp(templ);
        std::ofstream(dir / "clean.zlp") << kHead;
        std::ofstream(dir / "warn.zlp") << kHead << "[ZLP.Firmware]\nReset_Bep=1\n";
    }
    void TearDown() override { fs::remove_all(dir); }
    fs::path dir;
};

TEST_F(CheckTool, ColourOnATerminalUnlessNoColor) {
    if (RunCommand("command -v script").status != 0) GTEST_SKIP() << "no script(1)";
    const std::string check = "cd " + dir.string() + " && " + ZLT_LINK_TOOL + " --check warn.zlp";
    const std::string tty = RunCommand("script -qec '" + check + "' /dev/null").out;
    EXPECT_NE(tty.find("\033[01;35mwarning:\033[m"), std::string::npos) << tty;
    EXPECT_NE(tty.find("\033[01;32m^~~~~~~~~\033[m"), std::string::npos) << tty;
    EXPECT_EQ(RunCommand("NO_COLOR=1 script -qec '" + check + "' /dev/null").out.find('\033'), std::string::npos);
    EXPECT_EQ(RunCommand(check).out.find('\033'), std::string::npos);
}

TEST_F(CheckTool, HostsGetEachDiagnosticAsAStruct) {
    void* lib = dlopen(ZLT_LIBRARY_PATH, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(lib, nullptr) << dlerror();
    auto check = reinterpret_cast<int (*)(const char*, ZltLnkDiagnosticFn, void*)>(dlsym(lib, "_ZltLnk_CheckProject"));
    ASSERT_NE(check, nullptr);
    std::ofstream(dir / "two.zlp") << kHead << "[ZLP.Firmware]\nReset_Bep=1\n[ZLP.Firmware.UartMode]\nBaudRate=1\n";
    std::vector<std::string> got;
    auto collect = [](const ZltLnkDiagnostic* d, void* out) {
        static_cast<std::vector<std::string>*>(out)->push_back(
            std::to_string(d->severity) + " " + std::to_string(d->line) + ":" + std::to_string(d->column) + "+" +
            std::to_string(d->length) + " " + d->key + " " + d->kind + " " + d->linkLine);
    };
    EXPECT_EQ(check((dir / "two.zlp").c_str(), collect, &got), 1);
    EXPECT_EQ(got, (std::vector<std::string>{
                       "1 8:1+9 Reset_Bep unknown-key ",
                       "0 10:10+1 BaudRate bad-baud-rate \nErr: Unknown or Unsupport serial baud !!!"}));
    EXPECT_EQ(check((dir / "clean.zlp").c_str(), nullptr, nullptr), 0);
    EXPECT_EQ(check(nullptr, nullptr, nullptr), -1);
    dlclose(lib);
}

TEST_F(CheckTool, SarifLogsValidateAgainstTheSchema) {
    const std::string tests = std::string(ZLT_SOURCE_DIR) + "/tests/check/";
    const zlt::test::CommandResult run =
        RunCommand("/usr/bin/python3 " + tests + "sarif_test.py " + ZLT_LINK_TOOL + " " + tests + "sarif-schema-2.1.0.json");
    EXPECT_EQ(run.status, 0) << run.out;
}

}  // namespace
