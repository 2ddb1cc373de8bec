// Zlt900_Lnk.dll under Wine, loaded and called by the test host as a Windows
// host does: the golden projects, the firmware resources, image paths that
// take no image, the export table, generated projects and sentence text in
// two ANSI code pages against the Linux library; and zlt900-inspect.exe.
#include "link/pipeline.h"
#include "platform/clock.h"
#include "support/command.h"
#include "support/link_fixture.h"
#include "support/project_generator.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <regex>
#include <set>

namespace zlt::test {
namespace {

const std::string kBuild = ZLT_WINDOWS_BUILD_DIR;
const std::string kDll = kBuild + "/Zlt900_Lnk.dll";
const std::string kPartialDll = kBuild + "/tests/windows/firmware-partial/Zlt900_Lnk.dll";
const std::string kHost = kBuild + "/tests/windows/zlt900_test_host.exe";
const fs::path kSource = ZLT_SOURCE_DIR;
constexpr long long kEpoch = 1700000000;

std::string ReplaceAll(std::string s, const std::string& from, const std::string& to) {
    for (std::size_t at = 0; (at = s.find(from, at)) != std::string::npos; at += to.size())
        s.replace(at, from.size(), to);
    return s;
}

// Drive Z: of a Wine prefix is the root of the Unix file system.
std::string WindowsPath(const fs::path& unixPath) { return ReplaceAll("Z:" + unixPath.string(), "/", "\\"); }

std::string Quoted(const std::string& s) { return "'" + s + "'"; }

long Entries(const fs::path& dir) { return std::distance(fs::directory_iterator(dir), fs::directory_iterator()); }

// A link: whether it wrote its image, and its lines, each with its leading
// line break.
struct Outcome {
    bool ok;
    std::string lines;
    bool operator==(const Outcome&) const = default;
    friend void PrintTo(const Outcome& o, std::ostream* os) { *os << (o.ok ? "linked" : "failed") << o.lines; }
};

// A program run under Wine: its exit status, its standard output, and its
// standard error with Wine's own messages.
struct WineRun { int status; std::string out, wine; };

// Runs a Windows program with its arguments under Wine in dir, with the ANSI
// code page of the Unix locale given. The prefix lives in the build folder;
// Wine prints no debug messages and makes no menu entries.
WineRun RunUnderWine(const fs::path& dir, const std::vector<std::string>& command, const char* locale = "C") {
    std::string line = "(cd " + Quoted(dir) + " && WINEPREFIX=" + Quoted(ZLT_WINE_PREFIX) +
                       " WINEDEBUG=-all WINEDLLOVERRIDES=mscoree,mshtml,winemenubuilder.exe= LC_ALL=" + locale +
                       " " + ZLT_WINE;
    for (const std::string& word : command) line += " " + Quoted(word);
    const CommandResult run = RunCommand(line + " 2>wine.log)");
    WineRun result{run.status, run.out, ReadFile(dir / "wine.log")};
    fs::remove(dir / "wine.log");
    return result;
}

// Runs the test host on the pairs of project and image paths: one outcome
// for each pair, whatever the host printed.
std::vector<Outcome> RunHost(const fs::path& dir, const std::vector<std::string>& pairs, const char* locale = "C",
                             const std::string& dll = kDll) {
    std::vector<std::string> command = {kHost, WindowsPath(dll), std::to_string(kEpoch)};
    command.insert(command.end(), pairs.begin(), pairs.end());
    const WineRun run = RunUnderWine(dir, command, locale);

    // Each link: its lines, a line break, "-> 1" or "-> 0" and a line break;
    // the host exits with 0 when it ran every link.
    std::vector<Outcome> links;
    std::size_t at = 0;
    for (std::size_t end; (end = run.out.find("\n-> ", at)) != std::string::npos; at = end + 6)
        links.push_back({run.out.compare(end, 6, "\n-> 1\n") == 0, run.out.substr(at, end - at)});
    EXPECT_TRUE(links.size() == pairs.size() / 2 && at == run.out.size() && run.status == 0)
        << run.status << run.out << run.wine;
    links.resize(pairs.size() / 2);
    return links;
}

// Links each project by the DLL with Windows paths (drive letter,
// backslashes) and by the Linux library with Unix paths, and expects the same
// outcomes and images once the paths are spelled the Unix way. Project i lies
// in dir/i: its clips, if it has any, in dir/i/in, which the project names by
// their Unix paths; its copy for the DLL in dir/i/win, and for Linux in
// dir/i/linux. "linux" is two letters longer than "win", as long as "Z:", so
// the read-me takes as many bytes in both images. Returns the outcomes.
std::vector<Outcome> LinkAsOnLinux(const fs::path& dir, const std::vector<std::string>& projects, const char* locale) {
    std::vector<std::string> pairs;
    for (std::size_t i = 0; i < projects.size(); ++i) {
        const fs::path base = dir / std::to_string(i);
        for (const char* side : {"win", "linux"}) fs::create_directories(base / side);
        WriteFile(base / "win/p.zlp", ReplaceAll(projects[i], base / "in/", WindowsPath(base / "in/")));
        WriteFile(base / "linux/p.zlp", projects[i]);
        pairs.insert(pairs.end(), {WindowsPath(base / "win/p.zlp"), WindowsPath(base / "win/o.cfo")});
    }
    const std::vector<Outcome> links = RunHost(dir, pairs, locale);
    SetFixedLinkTime(kEpoch);
    for (std::size_t i = 0; i < projects.size(); ++i) {
        SCOPED_TRACE(i);
        const fs::path base = dir / std::to_string(i);
        auto asOnLinux = [&base](const std::string& text) {
            return ReplaceAll(ReplaceAll(text, WindowsPath(base / "in/"), base / "in/"), WindowsPath(base / "win/"),
                              base / "linux/");
        };
        LinkRun onLinux;
        onLinux.ok = MakeZltCfo(*onLinux.ctx, (base / "linux/p.zlp").c_str(), (base / "linux/o.cfo").c_str());
        EXPECT_EQ((Outcome{links[i].ok, asOnLinux(links[i].lines)}), (Outcome{onLinux.ok, onLinux.log.Text()}));
        EXPECT_TRUE(asOnLinux(ReadFile(base / "win/o.cfo")) == ReadFile(base / "linux/o.cfo"));
        // A failed link leaves no file; a link leaves no temporary file.
        EXPECT_EQ(Entries(base / "win"), links[i].ok ? 2 : 1);
    }
    SetFixedLinkTime(-1);
    return links;
}

// The golden projects give their images and lines; the second link of each
// project replaces the image of the first.
TEST(Wine, GoldenProjectsGiveTheirImagesAndLines) {
    const std::pair<const char*, const char*> cases[] = {
        {"tests/golden/minimal", "project.zlp"}, {"tests/golden/blocks", "project.zlp"}, {"examples/demo", "demo.zlp"}};
    for (const auto& [folder, project] : cases) {
        SCOPED_TRACE(folder);
        TempDir dir;
        fs::copy(kSource / folder, dir.path(), fs::copy_options::recursive);
        const std::string golden = kSource / "tests/golden" / fs::path(folder).filename();
        for (const Outcome& link : RunHost(dir.path(), {project, "out.cfo", project, "out.cfo"}))
            EXPECT_EQ((Outcome{link.ok, link.lines + "\n"}), (Outcome{true, ReadFile(golden + ".log")}));
        EXPECT_TRUE(ReadFile(dir / "out.cfo") == ReadFile(golden + ".cfo"));
    }
}

// zlt900-inspect.exe finds the firmware among its own resources and reads
// the demo image as the Linux inspector does, in lines that end in CR LF.
TEST(Wine, InspectorReadsTheDemoImage) {
    const fs::path golden = kSource / "tests/golden";
    const WineRun run = RunUnderWine(golden, {kBuild + "/zlt900-inspect.exe", "demo.cfo"});
    EXPECT_EQ(run.status, 0) << run.wine;
    EXPECT_EQ(run.out, ReplaceAll(ReadFile(golden / "demo.inspect.txt"), "\n", "\r\n"));
}

// A link by the host that writes no image: its project and image paths, and
// the lines it ends with.
struct NoImage { std::string project, image, lastLines; };

// Links by the DLL built from a firmware folder that lacks the image of
// TGM_CYCLE_M0 and holds an empty one for TGM_BIN_M0; that of TGM_BIN_M2 is
// there, and its link replaces an older image. The two modes fail, and so do
// image paths that take no image: the project, a read-only image, a folder, a
// missing folder, a named pipe. Nothing else is written and nothing is left.
TEST(Wine, FirmwareResourcesAndImagePaths) {
    const std::string noFirmware = "\nProcess System-K\nErr: Internal resource fail, please call to NVK";
    const NoImage failures[] = {
        {"TGM_CYCLE_M0.zlp", "c.cfo", noFirmware}, {"TGM_BIN_M0.zlp", "b.cfo", noFirmware},
        {"p.zlp", "p.zlp", "\nErr: Image file p.zlp is the project file p.zlp"},
        {"p.zlp", "ro.cfo", "\nErr: Can not create file ro.cfo"}, {"p.zlp", "sub", "\nErr: Can not create file sub"},
        {"p.zlp", "no\\o.cfo", "\nErr: Can not create file no\\o.cfo"},
        {"p.zlp", "\\\\.\\pipe\\zlt",
         "\nErr: Image file \\\\.\\pipe\\zlt is a FIFO; an image is written to a file or a device"},
    };
    TempDir dir;
    WriteFile(dir / "p.zlp", MinimalProject());
    for (const std::string mode : {"TGM_CYCLE_M0", "TGM_BIN_M0", "TGM_BIN_M2"})
        WriteFile(dir / (mode + ".zlp"), ReplaceAll(MinimalProject(), "TGM_SINGLE_M0", mode));
    WriteFile(dir / "m2.cfo", "old");
    WriteFile(dir / "ro.cfo", "old");
    fs::permissions(dir / "ro.cfo", fs::perms::owner_read);
    fs::create_directory(dir / "sub");
    std::vector<std::string> pairs = {"TGM_BIN_M2.zlp", "m2.cfo"};
    for (const NoImage& link : failures) pairs.insert(pairs.end(), {link.project, link.image});
    const std::vector<Outcome> links = RunHost(dir.path(), pairs, "C", kPartialDll);
    const std::string image = ReadFile(dir / "m2.cfo");
    EXPECT_TRUE(links[0].ok && U32At(image, 0x28) == 2 && U32At(image, 0x2C) == 1024);  // two pages, unpadded
    for (std::size_t i = 1; i < links.size(); ++i)
        EXPECT_TRUE(!links[i].ok && links[i].lines.ends_with(failures[i - 1].lastLines)) << links[i].lines;
    EXPECT_EQ(ReadFile(dir / "p.zlp"), MinimalProject());
    EXPECT_EQ(ReadFile(dir / "ro.cfo"), "old");
    EXPECT_EQ(Entries(dir.path()), 7);  // the four projects, ro.cfo, sub and m2.cfo
}

// The first group of every match of pattern in text.
std::set<std::string> Matches(const std::string& text, const char* pattern) {
    std::set<std::string> found;
    const std::regex re(pattern);
    for (std::sregex_iterator m(text.begin(), text.end(), re), end; m != end; ++m) found.insert((*m)[1]);
    return found;
}

// Every function of the header leaves the DLL under its plain and its
// decorated name, and nothing else does; the DLL needs only Windows' own.
TEST(Wine, ExportTableHoldsBothNamesOfEveryFunction) {
    std::set<std::string> expected = Matches(ReadFile(kSource / "include/zlt900/zlt900_lnk.h"),
                                             R"(ZLTLNK_API \w+ (?:ZLTLNK_CALL )?(ZltLnk_\w+)\()");
    for (const std::string& name : std::set(expected)) expected.insert("_" + name);

    const CommandResult dump = RunCommand(std::string(ZLT_OBJDUMP) + " -p " + Quoted(kDll));
    ASSERT_TRUE(dump.status == 0 && dump.out.find("file format pei-i386") != std::string::npos) << dump.out;
    // The rows of the name pointer table; those of the address table go on "+base".
    EXPECT_EQ(Matches(dump.out, R"(\n\t\[ *\d+\] ([^+\s]\S*))"), expected) << dump.out;
    EXPECT_EQ(Matches(dump.out, R"(\n\tDLL Name: (\S+))"), (std::set<std::string>{"KERNEL32.dll", "msvcrt.dll"}));
    EXPECT_TRUE(fs::exists(kBuild + "/Zlt900_Lnk.lib"));
}

// Projects linked by the DLL and by the Linux library in two ANSI code pages
// of Wine. Sentence text passes through the code page: labels and comments in
// it link as the Linux library links their bytes, and a label quoted in an
// error line keeps them. Generated projects link or fail alike in both.
TEST(Wine, ProjectsLinkAsOnLinuxInEachAnsiCodePage) {
    const std::pair<const char*, std::string> cases[] = {
        // The locale of Wine, which chooses the ANSI code page from it.
        {"ja_JP.SJIS", "\x95\x5C\x8E\xA6\x83\x5C"},  // Shift-JIS (932): trail bytes 0x5C
        {"C", "Caf\xE9"},                             // Windows-1252
    };
    constexpr std::size_t kGenerated = 60;
    unsigned seed = 0;
    for (const auto& [locale, label] : cases) {
        SCOPED_TRACE(locale);
        TempDir dir;
        const std::string blocks = "[ZLP.Sentence]\nS0001=^REM_" + label + "+^CALL_" + label + "+^JMP_" + label +
                                   "\nS0002=M100+^BLK_" + label + " " + label + ";^SETC+^RET\n";
        std::vector<std::string> projects = {MinimalProject(blocks),
                                             MinimalProject(blocks + "S0003=^BLK_" + label + "\n")};
        while (projects.size() < 2 + kGenerated) {
            const fs::path clips = dir.path() / std::to_string(projects.size()) / "in";
            fs::create_directories(clips);
            projects.push_back(ProjectGenerator(++seed, clips.string()).Project());
            // Every eighth project misses a clip file: a failed link, its
            // error line naming the clip's path.
            if (seed % 8 == 0 && !fs::is_empty(clips)) fs::remove(*fs::directory_iterator(clips));
        }
        const std::vector<Outcome> links = LinkAsOnLinux(dir.path(), projects, locale);
        EXPECT_TRUE(links[0].ok) << links[0].lines;
        EXPECT_NE(links[1].lines.find("\n     BlkLabel = " + label + "\n"), std::string::npos) << links[1].lines;
        // Failures of generated projects are compared too.
        const std::size_t linked = std::ranges::count(links.begin() + 2, links.end(), true, &Outcome::ok);
        EXPECT_TRUE(linked > kGenerated / 2 && linked < kGenerated - kGenerated / 10) << linked;
    }
}

}  // namespace
}  // namespace zlt::test
