#include "support/link_fixture.h"

#include "base/message.h"
#include "link/pipeline.h"
#include "platform/clock.h"

#include <csignal>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>

namespace zlt::test {

TempDir::TempDir() {
    std::string templ = (fs::temp_directory_path() / "zlt900-test-XXXXXX").string();
    if (::mkdtemp(templ.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    path_ = templ;
}

TempDir::~TempDir() {
    std::error_code ec;
    fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ec);
    fs::remove_all(path_, ec);
}

void WriteFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + path);
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return {};
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

namespace {
std::vector<std::string> g_lines;
int Capture(const char* text) {
    g_lines.emplace_back(text);
    return 0;
}
}  // namespace

MessageLog::MessageLog() {
    g_lines.clear();
    SetOutputCallback(Capture);
}
MessageLog::~MessageLog() { SetOutputCallback(nullptr); }
const std::vector<std::string>& MessageLog::lines() const { return g_lines; }
void MessageLog::Clear() { g_lines.clear(); }
std::string MessageLog::Text() const {
    std::string all;
    for (const auto& l : g_lines) all += l;
    return all;
}

std::string MinimalProject(const std::string& extra) {
    return "[ZLP.Head]\nSignature=NVK\nVersion=1.0\n"
           "[ZLP.System]\nTarget=ZELTA_900\nTG_Mode=TGM_SINGLE_M0\n" +
           extra;
}

std::unique_ptr<LinkRun> Link(const TempDir& dir, const std::string& project) {
    auto run = std::make_unique<LinkRun>();
    std::string projectPath = dir / "project.zlp";
    std::string imagePath = dir / "out.cfo";
    WriteFile(projectPath, project);
    SetFixedLinkTime(0);
    run->ok = MakeZltCfo(*run->ctx, projectPath.c_str(), imagePath.c_str());
    SetFixedLinkTime(-1);
    run->image = ReadFile(imagePath);
    return run;
}

int KillAfterSignal(const std::function<void(int signalFd)>& child, int delayMs, int signal) {
    int fds[2];
    if (pipe(fds) != 0) throw std::runtime_error("pipe failed");
    const pid_t pid = fork();
    if (pid < 0) throw std::runtime_error("fork failed");
    if (pid == 0) {
        close(fds[0]);
        child(fds[1]);
        _exit(3);
    }
    close(fds[1]);
    char c = 0;
    const bool signalled = read(fds[0], &c, 1) == 1;
    close(fds[0]);
    if (signalled && delayMs > 0) usleep(static_cast<useconds_t>(delayMs) * 1000);
    kill(pid, signal);
    int status = 0;
    waitpid(pid, &status, 0);
    return status;
}

std::uint16_t U16At(const std::string& b, std::size_t o) {
    return static_cast<std::uint16_t>(static_cast<std::uint8_t>(b.at(o)) |
                                      static_cast<std::uint8_t>(b.at(o + 1)) << 8);
}

std::uint32_t U32At(const std::string& b, std::size_t o) {
    return U16At(b, o) | static_cast<std::uint32_t>(U16At(b, o + 2)) << 16;
}

}  // namespace zlt::test
