// A whole link driven by one input: a project file and up to four clips,
// separated by the line "#SNX#". "$1" to "$4" in the project name the clip
// files. A link that succeeds leaves an image that the inspector reads back
// and disassembles; one that fails leaves no image and no temporary file.
// The checker reports an error exactly when the link fails, and flags the
// link's error line as where it stops.
#include "fuzz_support.h"
#include "check/checker.h"
#include "link/pipeline.h"
#include "platform/clock.h"
#include "reader/decoded_image.h"
#include "reader/sentence_listing.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace {

namespace fs = std::filesystem;

constexpr std::string_view kDelimiter = "\n#SNX#\n";
constexpr unsigned kClips = 4;

std::string ClipPath(unsigned n) { return zlt::fuzz::WorkFolder() + "/c" + std::to_string(n) + ".snx"; }

// The project text with "$1" to "$4" replaced by the clip paths.
std::string ExpandClipNames(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const bool clip = text[i] == '$' && i + 1 < text.size() && text[i + 1] >= '1' && text[i + 1] <= '4';
        out += clip ? ClipPath(static_cast<unsigned>(text[++i] - '0')) : std::string(1, text[i]);
    }
    return out;
}

std::size_t FilesInFolder() {
    const fs::directory_iterator files(zlt::fuzz::WorkFolder());
    return static_cast<std::size_t>(std::distance(begin(files), end(files)));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static auto* ctx = new zlt::LinkContext;
    zlt::SetOutputCallback(zlt::fuzz::Discard);
    zlt::SetFixedLinkTime(0);
    std::string_view input(reinterpret_cast<const char*>(data), size);

    // The parts: the project, then the clips; a clip without a part is absent.
    std::vector<std::string_view> parts;
    for (bool more = true; more && parts.size() <= kClips;) {
        const std::size_t at = input.find(kDelimiter);
        parts.push_back(input.substr(0, at));
        more = at != std::string_view::npos;
        input.remove_prefix(more ? at + kDelimiter.size() : input.size());
    }
    const std::string project = zlt::fuzz::WorkFolder() + "/p.zlp";
    const std::string image = zlt::fuzz::WorkFolder() + "/out.cfo";
    for (unsigned n = 1; n <= kClips; ++n) fs::remove(ClipPath(n));
    zlt::fuzz::WriteFile(project, zlt::AsBytes(ExpandClipNames(parts[0])));
    for (unsigned n = 1; n < parts.size(); ++n) zlt::fuzz::WriteFile(ClipPath(n), zlt::AsBytes(parts[n]));

    const zlt::fuzz::LinkRun link =
        zlt::fuzz::RunInLinkMode([&] { return zlt::MakeZltCfo(*ctx, project.c_str(), image.c_str()); });
    zlt::fuzz::RequireCheckAgrees(link, zlt::CheckProject(project.c_str()));
    // Beside the inputs there is the image of a link that succeeds, and nothing else.
    if (FilesInFolder() != parts.size() + (link.ok ? 1 : 0)) std::abort();
    if (!link.ok) return 0;
    const std::string linked = zlt::fuzz::ReadFile(image);
    std::string error;
    const auto parsed = zlt::ReadImage(zlt::AsBytes(linked), error);
    std::vector<zlt::SentenceListing> sentences;
    if (!parsed || !zlt::ListSentences(*parsed, sentences, error)) {
        std::fprintf(stderr, "linked image refused by the inspector: %s\n", error.c_str());
        std::abort();
    }
    fs::remove(image);
    return 0;
}
