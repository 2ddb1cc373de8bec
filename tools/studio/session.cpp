#include "studio/session.h"

#include "base/message.h"
#include "check/checker.h"
#include "link/pipeline.h"
#include "platform/files.h"
#include "project/ini_file.h"
#include "studio/guard.h"
#include "word/clip_path.h"
#include "zlt900-snx/output.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <unistd.h>

namespace zlt::studio {

namespace {

namespace fs = std::filesystem;

// Larger project files are not taken: a project of every key is about 1 MiB.
constexpr std::uint64_t kMaxProjectBytes = 16u << 20;

bool ReadProjectText(const std::string& path, std::string& out, std::string& error) {
    platform::MappedFile file;
    if (!file.Open(path)) {
        error = std::strerror(file.Error());
        return false;
    }
    const platform::FileInfo& info = file.Info();
    if (info.kind != platform::FileKind::kRegular) {
        error = std::string("not a file but ") + platform::KindName(info.kind);
        return false;
    }
    if (info.size > kMaxProjectBytes) {
        error = "larger than the studio takes (16 MiB)";
        return false;
    }
    if (!file.Map(info.size)) {
        error = std::strerror(file.Error());
        return false;
    }
    out.assign(file.Bytes());
    return true;
}

std::string_view TrimBlanks(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
    return s;
}

// The project folder as the working directory while it lives: clip paths in
// a project are relative to it, for the link as for the checker. Only the
// session changes the working directory, and only one request at a time.
class InFolder {
public:
    explicit InFolder(const std::string& folder) : saved_(fs::current_path(error_)) {
        if (::chdir(folder.c_str()) != 0) saved_.clear();
    }
    ~InFolder() {
        if (!saved_.empty() && ::chdir(saved_.c_str()) != 0) std::abort();
    }
    InFolder(const InFolder&) = delete;
    InFolder& operator=(const InFolder&) = delete;

private:
    std::error_code error_;
    fs::path saved_;
};

// Where the lines of a running link go.
const std::function<void(const std::string&)>* g_onLine = nullptr;

// A message begins with a line break and has none at its end; each line of
// it goes out on its own.
int TakeMessage(const char* text) {
    std::string_view rest = text;
    if (rest.starts_with('\n')) rest.remove_prefix(1);
    for (;;) {
        const std::size_t lf = rest.find('\n');
        (*g_onLine)(std::string(rest.substr(0, lf)));
        if (lf == std::string_view::npos) break;
        rest.remove_prefix(lf + 1);
    }
    return 0;
}

}  // namespace

std::unique_ptr<Session> Session::Open(const std::string& path, std::string& error) {
    std::unique_ptr<Session> s(new Session);
    const fs::path given = fs::absolute(path);
    std::error_code ec;
    const fs::path folder = fs::canonical(given.parent_path(), ec);
    if (ec) {
        error = ec.message();
        return nullptr;
    }
    s->folder_ = folder.string();
    s->fileName_ = given.filename().string();
    s->path_ = (folder / s->fileName_).string();
    if (!ReadProjectText(s->path_, s->onDisk_, error)) return nullptr;
    s->text_ = s->onDisk_;
    std::string temp = (fs::temp_directory_path(ec) / "zlt900-studio-XXXXXX").string();
    if (ec || ::mkdtemp(temp.data()) == nullptr) {
        error = "cannot make a temporary folder";
        return nullptr;
    }
    s->tempFolder_ = temp;
    s->tempPath_ = (fs::path(temp) / s->fileName_).string();
    return s;
}

Session::~Session() {
    std::error_code ec;
    if (!tempFolder_.empty()) fs::remove_all(tempFolder_, ec);
}

void Session::Edit(const EntryName& name, std::optional<std::string> value) {
    if (value) *value = std::string(TrimBlanks(*value));
    const std::unique_ptr<IniFile> disk = IniFile::Parse(onDisk_);
    const std::string* now = disk->Find(name.section, name.key);
    if (value ? (now != nullptr && *now == *value) : now == nullptr)
        edits_.erase(name);  // back to the file's own
    else
        edits_[name] = std::move(value);
    text_ = ApplyEdits(onDisk_, edits_);
    ++generation_;
}

bool Session::WriteTemp() {
    if (tempGeneration_ == generation_) return true;
    std::string error;
    if (!snx::WriteWhole(tempPath_, std::span(reinterpret_cast<const std::uint8_t*>(text_.data()), text_.size()),
                         error))
        return false;
    tempGeneration_ = generation_;
    return true;
}

std::string Session::Named(std::string text) const {
    for (std::size_t at = 0; (at = text.find(tempPath_, at)) != std::string::npos; at += fileName_.size())
        text.replace(at, tempPath_.size(), fileName_);
    return text;
}

const std::vector<Diagnostic>& Session::Check() {
    if (checkGeneration_ == generation_) return diagnostics_;
    diagnostics_.clear();
    if (WriteTemp()) {
        InFolder in(folder_);
        diagnostics_ = CheckProject(tempPath_.c_str());
    }
    for (Diagnostic& d : diagnostics_) {
        d.file = fileName_;
        d.message = Named(d.message);
        d.linkLine = Named(d.linkLine);
    }
    checkGeneration_ = generation_;
    return diagnostics_;
}

const player::LinkedProject* Session::Preview(std::string& error) {
    if (previewGeneration_ != generation_) {
        preview_.reset();
        previewError_ = "cannot write the temporary project file";
        if (WriteTemp()) {
            InFolder in(folder_);
            preview_ = player::LinkProject(tempPath_, previewError_);
            if (preview_) previewError_.clear();
        }
        previewError_ = Named(previewError_);
        previewGeneration_ = generation_;
    }
    error = previewError_;
    return preview_ ? &*preview_ : nullptr;
}

std::optional<std::string> Session::ClipPath(const std::string& written) const {
    const fs::path path(written);
    return ProjectPathInside(folder_, ClipFileName(path.is_absolute() ? written : (fs::path(folder_) / path).string()));
}

Session::Saved Session::Save(std::string& message) {
    std::string now, error;
    if (!ReadProjectText(path_, now, error)) {
        message = "cannot read " + fileName_ + ": " + error + "; nothing was written";
        return Saved::kFailed;
    }
    if (now != onDisk_) {
        message = fileName_ + " has changed on disk since the studio read it; nothing was written";
        return Saved::kConflict;
    }
    if (text_ != onDisk_) {
        if (!snx::WriteWhole(path_, std::span(reinterpret_cast<const std::uint8_t*>(text_.data()), text_.size()),
                             error)) {
            message = "cannot write " + fileName_ + ": " + error;
            return Saved::kFailed;
        }
    }
    const bool unchanged = text_ == onDisk_;
    onDisk_ = text_;
    edits_.clear();
    message = unchanged ? "nothing to save" : "saved " + fileName_;
    return unchanged ? Saved::kUnchanged : Saved::kWritten;
}

bool Session::Reload(bool keepEdits, std::string& error) {
    std::string now;
    if (!ReadProjectText(path_, now, error)) return false;
    onDisk_ = std::move(now);
    if (!keepEdits) edits_.clear();
    text_ = ApplyEdits(onDisk_, edits_);
    ++generation_;
    return true;
}

Session::Linked Session::Link(const std::string& image, const std::function<void(const std::string&)>& onLine) {
    Linked result;
    const std::function<void(const std::string&)> take = [&](const std::string& line) {
        result.lines.push_back(line);
        onLine(line);
    };
    InFolder in(folder_);
    auto ctx = std::make_unique<LinkContext>();
    g_onLine = &take;
    SetOutputCallback(TakeMessage);
    result.success = MakeZltCfo(*ctx, fileName_.c_str(), image.c_str());
    SetOutputCallback(nullptr);
    g_onLine = nullptr;
    if (result.success) lastImage_ = (fs::path(folder_) / image).string();
    return result;
}

}  // namespace zlt::studio
