// zlt900-link --check and the checker's warnings and located errors around a
// link, as a user sees them; ZltLnk_CheckProject as a host calls it; the
// SARIF log against the SARIF 2.1.0 schema.
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
        std::ofstream(dir / "bad.zlp") << kHead << "[ZLP.Firmware.UartMode]\nBaudRate=19200\n";
        std::ofstream(dir / "warn.zlp") << kHead << "[ZLP.Firmware]\nReset_Bep=1\n";
    }
    void TearDown() override { fs::remove_all(dir); }
    zlt::test::CommandResult Run(const std::string& args) {
        return RunCommand("cd " + dir.string() + " && " + ZLT_LINK_TOOL + " " + args);
    }
    fs::path dir;
};

TEST_F(CheckTool, ReportsInTheGccFormAndExitsByTheErrors) {
    const std::string badBaud =
        "bad.zlp:8:10: error: `BaudRate=19200` is not one of 1200, 2400, 4800 and 9600 [bad-baud-rate]\n"
        "    8 | BaudRate=19200\n"
        "      |          ^~~~~\n";
    const std::string unknownKey =
        "warn.zlp:8:1: warning: unknown key `Reset_Bep` in [ZLP.Firmware] is not read; did you mean "
        "`Reset_Beep`? [-Wunknown-key]\n    8 | Reset_Bep=1\n      | ^~~~~~~~~\n";
    const struct {
        std::string args;
        int status;
        std::string out;  // "" for no output; otherwise a part of it
    } cases[] = {
        {"--check clean.zlp", 0, ""},
        {"--check bad.zlp", 1, badBaud + "1 error and 0 warnings in bad.zlp\n"},
        {"--check warn.zlp", 0, unknownKey},
        {"--check -Werror warn.zlp", 1, "warn.zlp:8:1: error: unknown key `Reset_Bep` in [ZLP.Firmware] is not read; "
                                        "did you mean `Reset_Beep`? [-Werror=unknown-key]\n"},
        {"--check -Wno-unknown-key warn.zlp", 0, ""},
        {"--check -w warn.zlp", 0, ""},
        {"--check -Wno-bad-baud-rate bad.zlp", 2, "bad-baud-rate is an error"},
        {"--check -Wno-bogus bad.zlp", 2, "no warning is named bogus"},
        {"--check -Wall bad.zlp", 2, "unknown warning option -Wall"},
        {"--check", 2, "--check takes one PROJECT"},
        {"--check --diagnostics-format=xml bad.zlp", 2, "unknown --diagnostics-format"},
        {"--diagnostics-format=sarif bad.zlp x.cfo", 2, "goes with --check"},
        // A link: the warnings first, the place of its error after the error line.
        {"--timestamp=0 warn.zlp w.cfo", 0, unknownKey + "\nInitial Linker for Zelta-900\n"},
        {"-q --timestamp=0 warn.zlp w.cfo", 0, ""},
        {"bad.zlp b.cfo", 1, "Parsing Option-Table\nErr: Unknown or Unsupport serial baud !!!\n" + badBaud},
        {"-Werror warn.zlp w2.cfo", 1, "[-Werror=unknown-key]\n    8 |"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args);
        const zlt::test::CommandResult run = Run(c.args);
        EXPECT_EQ(run.status, c.status) << run.out;
        if (c.out.empty()) {
            EXPECT_EQ(run.out.find("warning"), std::string::npos) << run.out;
            EXPECT_EQ(run.out.find("error:"), std::string::npos) << run.out;
        } else {
            EXPECT_NE(run.out.find(c.out), std::string::npos) << run.out;
        }
    }
    EXPECT_FALSE(fs::exists(dir / "w2.cfo"));  // -Werror stops a link before it starts
}

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
