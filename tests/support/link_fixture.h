// Helpers for tests that run links: a temporary folder, a captured message
// log and a fresh link context.
#pragma once

#include "base/context.h"

#include <csignal>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace zlt::test {

namespace fs = std::filesystem;

// A fresh folder under the system's temporary folder, removed with its
// contents when the object goes.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const fs::path& path() const { return path_; }
    std::string operator/(const std::string& name) const { return (path_ / name).string(); }

private:
    fs::path path_;
};

// Makes dir the working directory while it lives.
class WorkingDirectory {
public:
    explicit WorkingDirectory(const fs::path& dir) : saved_(fs::current_path()) { fs::current_path(dir); }
    ~WorkingDirectory() { fs::current_path(saved_); }
    WorkingDirectory(const WorkingDirectory&) = delete;
    WorkingDirectory& operator=(const WorkingDirectory&) = delete;

private:
    fs::path saved_;
};

void WriteFile(const std::string& path, const std::string& bytes);
std::string ReadFile(const std::string& path);

// Collects every message sent while it lives.
class MessageLog {
public:
    MessageLog();
    ~MessageLog();
    const std::vector<std::string>& lines() const;
    std::string Text() const;  // all messages joined
    void Clear();
};

// A minimal accepted project: head, target and trigger mode, plus the given
// extra sections and keys (INI text appended at the end).
std::string MinimalProject(const std::string& extra = "");

// A link with its own context and captured messages.
struct LinkRun {
    std::unique_ptr<LinkContext> ctx = std::make_unique<LinkContext>();
    MessageLog log;
    bool ok = false;
    std::string image;  // bytes of the image file after the link ("" if none)
};

// Writes `project` to dir/project.zlp and links it to dir/out.cfo with the
// link time fixed at epoch 0.
std::unique_ptr<LinkRun> Link(const TempDir& dir, const std::string& project);

// Runs `child` in a forked process, handing it the write end of a pipe; once
// the child has written a byte there, waits delayMs and sends it `signal`
// (SIGKILL unless told). A child that returns exits with status 3. Returns
// the wait status.
int KillAfterSignal(const std::function<void(int signalFd)>& child, int delayMs = 0, int signal = SIGKILL);

std::uint16_t U16At(const std::string& bytes, std::size_t offset);
std::uint32_t U32At(const std::string& bytes, std::size_t offset);

}  // namespace zlt::test
