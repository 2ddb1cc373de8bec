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

void Put32(std::string& b, std::size_t at, std::uint32_t v) { PutU32(reinterpret_cast<std::uint8_t*>(&b[at]), v); }

// A file of 648 pages, with the directory of a firmware of 20000 bytes, a
// word image of 300 pages and a read-me of 300 bytes, parses back to its
// directory; each fault of the container is named. How a directory is
// written is checked byte for byte in the golden images, a file shorter than
// the header in the inspector's transcript.
TEST(ImageHeader, ParseChecksTheContainer) {
    ImageHeader worked;
    for (auto [type, first, pages, bytes] : {std::array<unsigned, 4>{2, 1, 40, 20000}, {3, 41, 18, 9216},
                                            {4, 59, 32, 16384}, {5, 91, 128, 65536}, {6, 219, 128, 65536},
                                            {7, 347, 300, 300 * 512}, {8, 647, 1, 300}})
        worked.Slot(type) = DirSlot{static_cast<std::uint16_t>(type), first, pages, bytes};
    std::string good(512 * 648, '\0');
    const auto header = worked.Serialize();
    good.replace(0, header.size(), reinterpret_cast<const char*>(header.data()), header.size());
    const struct {
        std::function<void(std::string&)> corrupt;
        const char* error;  // the start of the description
    } cases[] = {
        {[](std::string& b) { b.resize(b.size() - 512); }, "file is 331264 bytes, its directory describes 331776"},
        {[](std::string& b) { b.append(512, '\0'); }, "file is 332288 bytes"},
        {[](std::string& b) { b[0] = 'X'; }, "not a CFO image"},
        {[](std::string& b) { b[5] = 2; }, "unsupported format version 0x0200"},
        {[](std::string& b) { b[6] = 30; }, "slot count is 30, not 31"},
        {[](std::string& b) { b[8] = 1; }, "reserved header byte 8 is not zero"},
        {[](std::string& b) { b[0x10] = 1; }, "directory slot 1 is not empty"},
        {[](std::string& b) { b[0x9C] = 1; }, "directory slot 9 is not empty"},
        {[](std::string& b) { b[0x30] = 4; }, "directory slot 3 holds section type 4"},
        {[](std::string& b) { b[0x42] = 1; }, "directory slot 4: reserved field"},
        {[](std::string& b) { Put32(b, 0x34, 40); }, "section 3 starts at page 40, not at page 41"},
        {[](std::string& b) { Put32(b, 0x44, 60); }, "section 4 starts at page 60"},
        {[](std::string& b) { Put32(b, 0x2C, 40 * 512 + 1); }, "section 2: 20481 bytes do not fit its 40 pages"},
        {[](std::string& b) { Put32(b, 0x8C, 0); }, "section 8: 1 pages for 0 bytes"},
        {[](std::string& b) { Put32(b, 0x48, 31); }, "section 4 is 31 pages and 16384 bytes, not 32 pages"},
        {[](std::string& b) { Put32(b, 0x7C, 300 * 512 - 1); }, "section 7: 153599 bytes for 300 pages"},
        {[](std::string& b) { b[512 + 20000] = 1; }, "section 2: padding is not zero"},
    };
    std::string error;
    const std::optional<ImageHeader> parsed = ParseImageHeader(AsBytes(good), error);
    ASSERT_TRUE(parsed) << error;
    EXPECT_EQ(parsed->Serialize(), header);
    EXPECT_EQ(SectionBytes(AsBytes(good), parsed->Slot(kSectionReadme)).size(), 300u);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.error);
        std::string bytes = good;
        c.corrupt(bytes);
        EXPECT_FALSE(ParseImageHeader(AsBytes(bytes), error));
        EXPECT_EQ(error.rfind(c.error, 0), 0u) << error;
    }
}

// Image paths that name an input, a FIFO, a link, a folder, a device or
// nothing, linked in the folder of the project and its clip: the link refuses
// or writes, within seconds, and every file that was there before and is not
// the image written stays byte for byte as it was; devices are written in
// place and never removed.
TEST(ImageFile, PathsThatAreInputsFifosLinksOrLongNames) {
    const struct {
        const char* name;
        void (*prepare)();  // lays out the folder beside the project and the clip
        std::string image;
        std::string line;   // the last line, "" for a link that succeeds
    } cases[] = {
        {"the project", nullptr, "project.zlp", "\nErr: Image file project.zlp is the project file project.zlp"},
        {"a link to the project", [] { fs::create_symlink("project.zlp", "link.cfo"); }, "link.cfo",
         "\nErr: Image file link.cfo is the project file project.zlp"},
        {"a clip", nullptr, "w.snx", "\nErr: Image file w.snx is the clip of W0001 of file project.zlp"},
        {"a hard link to a clip", [] { fs::create_hard_link("w.snx", "hard.cfo"); }, "hard.cfo",
         "\nErr: Image file hard.cfo is the clip of W0001 of file project.zlp"},
        {"an empty path", nullptr, "", "\nErr: Can not create file "},
        {"a FIFO", [] { ASSERT_EQ(mkfifo("fifo.cfo", 0600), 0); }, "fifo.cfo",
         "\nErr: Image file fifo.cfo is a FIFO; an image is written to a file or a device"},
        {"a dangling link", [] { fs::create_symlink("new.cfo", "dangling.cfo"); }, "dangling.cfo", ""},
        {"a name of 250 characters", nullptr, std::string(246, 'n') + ".cfo", ""},
        {"a link to an old image", [] {  // the link stays, its target is replaced
             WriteFile("real.cfo", "old");
             fs::create_symlink("real.cfo", "link.cfo");
         }, "link.cfo", ""},
        {"a folder", [] { fs::create_directory("sub"); }, "sub", "\nErr: Can not create file sub"},
        {"a device", nullptr, "/dev/null", ""},
        {"a full device", nullptr, "/dev/full", "\nErr: Can not wrtie file /dev/full"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        WorkingDirectory cwd(dir.path());
        WriteClipFile("w.snx", MakeClip8({}, std::vector<std::uint8_t>(1000, 0x80)));
        WriteFile("project.zlp", MinimalProject("[ZLP.Word]\nW0001=w.snx\n[ZLP.Sentence]\nS0000=W1\n"));
        if (c.prepare) c.prepare();
        std::map<std::string, std::string> before;
        for (const auto& e : fs::directory_iterator(dir.path()))
            if (e.is_regular_file() && !e.is_symlink()) before[e.path().string()] = ReadFile(e.path().string());

        auto ctx = std::make_unique<LinkContext>();
        MessageLog log;
        alarm(20);  // a link that waits on a FIFO ends the test run here
        const bool ok = MakeZltCfo(*ctx, "project.zlp", c.image.c_str());
        alarm(0);
        EXPECT_EQ(ok, c.line.empty()) << log.Text();
        if (!c.line.empty()) { EXPECT_EQ(log.lines().back(), c.line); }
        if (c.image.empty()) { EXPECT_EQ(log.Text().find("Parsing"), std::string::npos) << "the link ran on"; }
        const std::string written = ok ? fs::canonical(c.image).string() : "";
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

// A new image takes its permissions from the umask and an old image keeps its
// own; a folder in which no file can be made while its image file is
// writable: the link refuses before touching the image.
TEST(ImageFile, PermissionsOfTheImageAndOfItsFolder) {
    using enum fs::perms;
    TempDir dir;
    const mode_t old = ::umask(027);
    ASSERT_TRUE(Link(dir, MinimalProject())->ok);
    ::umask(old);
    EXPECT_EQ(fs::status(dir / "out.cfo").permissions(), owner_read | owner_write | group_read);
    fs::permissions(dir / "out.cfo", owner_read | owner_write | others_read);
    ASSERT_TRUE(Link(dir, MinimalProject())->ok);
    EXPECT_EQ(fs::status(dir / "out.cfo").permissions(), owner_read | owner_write | others_read);

    fs::create_directory(dir / "ro");
    WriteFile(dir / "ro/out.cfo", "old image");
    fs::permissions(dir.path(), owner_all | others_read | others_exec);
    fs::permissions(dir / "project.zlp", owner_read | owner_write | others_read);
    fs::permissions(dir / "ro/out.cfo", all);
    fs::permissions(dir / "ro", owner_read | owner_exec | others_read | others_exec);
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
