#include "base/image.h"

#include "base/bytes.h"
#include "link/pipeline.h"
#include "support/link_fixture.h"
#include "word/clip_writer.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace zlt::test {
namespace {

// A file of 648 pages, with the directory of a firmware of 20000 bytes, a
// word image of 300 pages and a read-me of 300 bytes, parses back to its
// directory; each fault of the container is named. How a directory is
// written is checked byte for byte in the golden images.
TEST(ImageHeader, ParseChecksTheContainer) {
    ImageHeader worked;
    for (auto [type, first, pages, bytes] : {std::array<unsigned, 4>{2, 1, 40, 20000}, {3, 41, 18, 9216},
                                            {4, 59, 32, 16384}, {5, 91, 128, 65536}, {6, 219, 128, 65536},
                                            {7, 347, 300, 300 * 512}, {8, 647, 1, 300}})
        worked.Slot(type) = DirSlot{static_cast<std::uint16_t>(type), first, pages, bytes};
    std::string good(512 * 648, '\0');
    const auto header = worked.Serialize();
    good.replace(0, header.size(), reinterpret_cast<const char*>(header.data()), header.size());
    auto put32 = [](std::string& b, std::size_t at, std::uint32_t v) { PutU32(reinterpret_cast<std::uint8_t*>(&b[at]), v); };
    const struct {
        const char* name;
        std::function<void(std::string&)> corrupt;
        const char* error;  // "" for a sound file; else the start of the description
    } cases[] = {
        {"sound", [](std::string&) {}, ""},
        {"empty file", [](std::string& b) { b.clear(); }, "file is 0 bytes"},
        {"truncated header", [](std::string& b) { b.resize(100); }, "file is 100 bytes"},
        {"truncated sections", [](std::string& b) { b.resize(b.size() - 512); }, "file is 331264 bytes, its directory describes 331776"},
        {"trailing page", [](std::string& b) { b.append(512, '\0'); }, "file is 332288 bytes"},
        {"wrong magic", [](std::string& b) { b[0] = 'X'; }, "not a CFO image"},
        {"wrong version", [](std::string& b) { b[5] = 2; }, "unsupported format version 0x0200"},
        {"wrong slot count", [](std::string& b) { b[6] = 30; }, "slot count is 30, not 31"},
        {"reserved byte", [](std::string& b) { b[8] = 1; }, "reserved header byte 8 is not zero"},
        {"slot 1 used", [](std::string& b) { b[0x10] = 1; }, "directory slot 1 is not empty"},
        {"slot 9 used", [](std::string& b) { b[0x9C] = 1; }, "directory slot 9 is not empty"},
        {"wrong type", [](std::string& b) { b[0x30] = 4; }, "directory slot 3 holds section type 4"},
        {"slot reserved field", [](std::string& b) { b[0x42] = 1; }, "directory slot 4: reserved field"},
        {"overlapping slots", [&](std::string& b) { put32(b, 0x34, 40); }, "section 3 starts at page 40, not at page 41"},
        {"gap between slots", [&](std::string& b) { put32(b, 0x44, 60); }, "section 4 starts at page 60"},
        {"bytes over pages", [&](std::string& b) { put32(b, 0x2C, 40 * 512 + 1); }, "section 2: 20481 bytes do not fit its 40 pages"},
        {"whole page unused", [&](std::string& b) { put32(b, 0x8C, 0); }, "section 8: 1 pages for 0 bytes"},
        {"table of wrong size", [&](std::string& b) { put32(b, 0x48, 31); }, "section 4 is 31 pages and 16384 bytes, not 32 pages"},
        {"word image not whole pages", [&](std::string& b) { put32(b, 0x7C, 300 * 512 - 1); }, "section 7: 153599 bytes for 300 pages"},
        {"non-zero padding", [](std::string& b) { b[512 + 20000] = 1; }, "section 2: padding is not zero"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::string bytes = good;
        c.corrupt(bytes);
        std::string error;
        const std::optional<ImageHeader> parsed = ParseImageHeader(AsBytes(bytes), error);
        ASSERT_EQ(parsed.has_value(), *c.error == '\0') << error;
        if (parsed) {
            EXPECT_EQ(parsed->Serialize(), header);
            EXPECT_EQ(SectionBytes(AsBytes(bytes), parsed->Slot(kSectionReadme)).size(), 300u);
        } else {
            EXPECT_EQ(error.rfind(c.error, 0), 0u) << error;
        }
    }
}

TEST(ImageFile, NewImageGetsPermissionsFromTheUmaskAndAnOldImageKeepsItsOwn) {
    TempDir dir;
    const mode_t old = ::umask(027);
    ASSERT_TRUE(Link(dir, MinimalProject())->ok);
    ::umask(old);
    EXPECT_EQ(fs::status(dir / "out.cfo").permissions(),
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    const fs::perms kept = fs::perms::owner_read | fs::perms::owner_write | fs::perms::others_read;
    fs::permissions(dir / "out.cfo", kept);
    ASSERT_TRUE(Link(dir, MinimalProject())->ok);
    EXPECT_EQ(fs::status(dir / "out.cfo").permissions(), kept);
}

// Image paths that name an input, a FIFO, a link, a folder, a device or
// nothing: the link refuses or writes, within seconds, and every file that
// was there before and is not the image written stays byte for byte as it
// was; devices are written in place and never removed.
TEST(ImageFile, PathsThatAreInputsFifosLinksOrLongNames) {
    const struct {
        const char* name;
        void (*prepare)(const TempDir&);  // lays out the folder beside the project and the clip
        std::string image;                // "@" stands for the folder
        std::string line;                 // the last line, "" for a link that succeeds
    } cases[] = {
        {"the project", nullptr, "@/project.zlp", "\nErr: Image file @/project.zlp is the project file @/project.zlp"},
        {"a link to the project", [](const TempDir& d) { fs::create_symlink("project.zlp", d / "link.cfo"); },
         "@/link.cfo", "\nErr: Image file @/link.cfo is the project file @/project.zlp"},
        {"a clip", nullptr, "@/w.snx", "\nErr: Image file @/w.snx is the clip of W0001 of file @/project.zlp"},
        {"a hard link to a clip", [](const TempDir& d) { fs::create_hard_link(d / "w.snx", d / "hard.cfo"); },
         "@/hard.cfo", "\nErr: Image file @/hard.cfo is the clip of W0001 of file @/project.zlp"},
        {"an empty path", nullptr, "", "\nErr: Can not create file "},
        {"a FIFO", [](const TempDir& d) { ASSERT_EQ(mkfifo((d / "fifo.cfo").c_str(), 0600), 0); }, "@/fifo.cfo",
         "\nErr: Image file @/fifo.cfo is a FIFO; an image is written to a file or a device"},
        {"a dangling link", [](const TempDir& d) { fs::create_symlink("new.cfo", d / "dangling.cfo"); },
         "@/dangling.cfo", ""},
        {"a name of 250 characters", nullptr, std::string(246, 'n') + ".cfo", ""},  // from the working folder
        {"a link to an old image", [](const TempDir& d) {  // the link stays, its target is replaced
             WriteFile(d / "real.cfo", "old");
             fs::create_symlink("real.cfo", d / "link.cfo");
         }, "@/link.cfo", ""},
        {"a folder", [](const TempDir& d) { fs::create_directory(d / "sub"); }, "@/sub",
         "\nErr: Can not create file @/sub"},
        {"a device", nullptr, "/dev/null", ""},
        {"a full device", nullptr, "/dev/full", "\nErr: Can not wrtie file /dev/full"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        const auto at = [&](std::string text) {
            for (std::size_t i; (i = text.find('@')) != std::string::npos;) text.replace(i, 1, dir.path().string());
            return text;
        };
        WriteClipFile(dir / "w.snx", MakeClip8({}, std::vector<std::uint8_t>(1000, 0x80)));
        WriteFile(dir / "project.zlp", MinimalProject("[ZLP.Word]\nW0001=" + (dir / "w.snx") +
                                                      "\n[ZLP.Sentence]\nS0000=W1\n"));
        if (c.prepare) c.prepare(dir);
        const std::string image = at(c.image), line = at(c.line);
        std::map<std::string, std::string> before;
        for (const auto& e : fs::directory_iterator(dir.path()))
            if (e.is_regular_file() && !e.is_symlink()) before[e.path().string()] = ReadFile(e.path().string());

        WorkingDirectory cwd(dir.path());
        auto ctx = std::make_unique<LinkContext>();
        MessageLog log;
        alarm(20);  // a link that waits on a FIFO ends the test run here
        const bool ok = MakeZltCfo(*ctx, (dir / "project.zlp").c_str(), image.c_str());
        alarm(0);
        EXPECT_EQ(ok, line.empty()) << log.Text();
        if (!line.empty()) { EXPECT_EQ(log.lines().back(), line); }
        if (image.empty()) { EXPECT_EQ(log.Text().find("Parsing"), std::string::npos) << "the link ran on"; }
        const std::string written = ok ? fs::canonical(image).string() : "";
        if (ok && fs::is_regular_file(written)) { EXPECT_EQ(ReadFile(written).substr(0, 4), std::string("CFO\0", 4)); }
        for (const auto& [path, bytes] : before)
            EXPECT_TRUE(path == written || ReadFile(path) == bytes) << path << " changed";
        EXPECT_TRUE(fs::is_character_file("/dev/null") && fs::is_character_file("/dev/full"));
        // Nothing beside them: the project, the clip, links and the image.
        std::size_t files = 0;
        for (const auto& e : fs::directory_iterator(dir.path())) files += e.is_regular_file() && !e.is_symlink();
        EXPECT_EQ(files, before.size() + (ok && written.starts_with(dir.path().string()) && !before.contains(written)));
    }
}

// A folder in which no file can be made while its image file is writable:
// the link refuses before touching the image.
TEST(ImageFile, FolderWithoutWritePermissionKeepsItsImage) {
    TempDir dir;
    WriteFile(dir / "project.zlp", MinimalProject());
    fs::create_directory(dir / "ro");
    WriteFile(dir / "ro/out.cfo", "old image");
    fs::permissions(dir.path(), fs::perms::owner_all | fs::perms::others_read | fs::perms::others_exec);
    fs::permissions(dir / "project.zlp", fs::perms::owner_read | fs::perms::owner_write | fs::perms::others_read);
    fs::permissions(dir / "ro/out.cfo", fs::perms::all);
    fs::permissions(dir / "ro", fs::perms::owner_read | fs::perms::owner_exec | fs::perms::others_read |
                                    fs::perms::others_exec);
    const pid_t pid = fork();
    if (pid == 0) {
        // Permissions bind root only through another user.
        if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) _exit(2);
        auto ctx = std::make_unique<LinkContext>();
        MessageLog log;
        const bool ok = MakeZltCfo(*ctx, (dir / "project.zlp").c_str(), (dir / "ro/out.cfo").c_str());
        _exit(!ok && log.lines().back() == "\nErr: Can not create file " + (dir / "ro/out.cfo") ? 0 : 1);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    EXPECT_EQ(ReadFile(dir / "ro/out.cfo"), "old image");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir / "ro"), fs::directory_iterator()), 1);
}

}  // namespace
}  // namespace zlt::test
