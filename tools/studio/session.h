// One project open in the studio: the file as read from disk, the edits made
// since, and what the library makes of the edited text (diagnostics, a
// preview image for the views and the player, a linked image). Not
// thread-safe: the server serves one request at a time through it, which
// also keeps links, checks and plays from overlapping, as the library needs.
#pragma once

#include "base/diagnostic.h"
#include "player/project_link.h"
#include "studio/project_edits.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace zlt::studio {

class Session {
public:
    // Opens the project file at path. Nothing, with the reason in error, when
    // it cannot be read.
    static std::unique_ptr<Session> Open(const std::string& path, std::string& error);
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    const std::string& folder() const { return folder_; }     // canonical, absolute
    const std::string& path() const { return path_; }         // of the project file, in folder
    const std::string& fileName() const { return fileName_; }  // "demo.zlp"
    const Edits& edits() const { return edits_; }

    // The project text with the edits applied.
    const std::string& Text() const { return text_; }
    // Sets an entry, or removes it with none. The value is trimmed of blanks
    // as the reader trims it.
    void Edit(const EntryName& name, std::optional<std::string> value);

    // The checker's diagnostics of the edited text, named after the project file.
    const std::vector<Diagnostic>& Check();
    // The edited project linked into a temporary image and read back; null
    // with the link's error lines when it does not link.
    const player::LinkedProject* Preview(std::string& error);

    // The file that a clip path of the project names, when it lies inside
    // the project folder.
    std::optional<std::string> ClipPath(const std::string& written) const;

    enum class Saved { kWritten, kUnchanged, kConflict, kFailed };
    // Writes the edits into the project file, which must be as it was read;
    // message says why not.
    Saved Save(std::string& message);
    // Reads the project file again; the edits are dropped, or kept to apply
    // to the file as it is now.
    bool Reload(bool keepEdits, std::string& error);

    struct Linked {
        bool success = false;
        std::vector<std::string> lines;  // every line of the link, without line breaks
    };
    // Links the project file as saved into the image at `image` (relative to
    // the project folder), as zlt900-link -C FOLDER PROJECT IMAGE would: the
    // image names both files as the folder does. Each line goes to onLine as
    // the link sends it.
    Linked Link(const std::string& image, const std::function<void(const std::string&)>& onLine);
    // The image of the last successful link; empty before one.
    const std::string& lastImage() const { return lastImage_; }

private:
    Session() = default;
    // Writes the edited text to the temporary project file when it changed.
    bool WriteTemp();
    // The library's texts name the temporary file: name the project instead.
    std::string Named(std::string text) const;

    std::string folder_, path_, fileName_, tempFolder_, tempPath_;
    std::string onDisk_;  // the project file as last read or written
    Edits edits_;
    std::string text_;
    unsigned generation_ = 1;  // of text_
    unsigned tempGeneration_ = 0, checkGeneration_ = 0, previewGeneration_ = 0;
    std::vector<Diagnostic> diagnostics_;
    std::optional<player::LinkedProject> preview_;
    std::string previewError_;
    std::string lastImage_;
};

}  // namespace zlt::studio
