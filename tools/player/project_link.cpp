#include "player/project_link.h"

#include "base/message.h"
#include "base/progress.h"
#include "link/pipeline.h"
#include "platform/clock.h"

#include <cstdlib>
#include <filesystem>
#include <memory>

namespace zlt::player {

namespace {

namespace fs = std::filesystem;

std::string* g_messages = nullptr;
std::vector<std::string>* g_inputs = nullptr;

int TakeMessage(const char* text) {
    *g_messages += text;
    return 0;
}

void TakeInput(const char* path) { g_inputs->emplace_back(path); }

// Removes the folder and what it holds when it goes.
struct TempFolder {
    fs::path path;
    ~TempFolder() {
        std::error_code ec;
        if (!path.empty()) fs::remove_all(path, ec);
    }
};

}  // namespace

std::optional<LinkedProject> LinkProject(const std::string& projectPath, std::string& error) {
    TempFolder folder;
    std::error_code ec;
    std::string name = (fs::temp_directory_path(ec) / "zlt900-play-XXXXXX").string();
    if (ec || ::mkdtemp(name.data()) == nullptr) {
        error = "cannot make a temporary folder for the image";
        return std::nullopt;
    }
    folder.path = name;
    const std::string imagePath = (folder.path / "play.cfo").string();

    std::string messages;
    std::vector<std::string> inputs;
    auto ctx = std::make_unique<LinkContext>();
    g_messages = &messages;
    g_inputs = &inputs;
    SetOutputCallback(TakeMessage);
    SetInputNotify(TakeInput);
    SetFixedLinkTime(0);
    const bool linked = MakeZltCfo(*ctx, projectPath.c_str(), imagePath.c_str());
    SetFixedLinkTime(-1);
    SetInputNotify(nullptr);
    SetOutputCallback(nullptr);
    if (!linked) {
        const std::size_t first = messages.find("\nErr: ");
        error = "the link failed:" + messages.substr(first == std::string::npos ? 0 : first);
        return std::nullopt;
    }
    std::optional<LoadedImage> loaded = LoadImage(imagePath, error);
    if (!loaded) return std::nullopt;
    LinkedProject project{std::move(*loaded), {}, std::move(inputs)};
    for (unsigned n = 0; n < kEntryCount; ++n)
        if (ctx->sentenceIndex[n] != 0) project.sentences.push_back({n, ctx->sentenceIndex[n]});
    return project;
}

}  // namespace zlt::player
