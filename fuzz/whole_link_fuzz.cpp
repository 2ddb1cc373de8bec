// A whole link driven by one input: a project file and up to four clips,
// separated by the line "#SNX#". "$1" to "$4" in the project name the clip
// files. A link that succeeds leaves an image that the inspector reads back
// and disassembles; one that fails leaves no image and no temporary file.
// The checker reports an error exactly when the link fails, and flags the
// link's error line as where it stops.
#include "fuzz_support.h"
#include "base/bytes.h"
#include "base/message.h"
#include "check/checker.h"
#include "link/pipeline.h"
#include "platform/clock.h"
#include "reader/decoded_image.h"
#include "reader/sentence_listing.h"
#include "word/clip_writer.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <string_view>

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

void Put(const std::string& path, std::string_view bytes) {
    if (!zlt::WriteClipFile(path, zlt::AsBytes(bytes))) std::abort();
}

std::size_t FilesInFolder() {
    return static_cast<std::size_t>(std::distance(fs::directory_iterator(zlt::fuzz::WorkFolder()), fs::directory_iterator()));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static auto* ctx = new zlt::LinkContext;
    zlt::SetOutputCallback(zlt::fuzz::Discard);
    zlt::SetFixedLinkTime(0);
    std::string_view input(reinterpret_cast<const char*>(data), size);

    // The parts: the project, then the clips; a clip without a part is absent.
    const std::string project = zlt::fuzz::WorkFolder() + "/p.zlp";
    const std::string image = zlt::fuzz::WorkFolder() + "/out.cfo";
    std::size_t files = 1;
    bool more = true;
    for (unsigned part = 0; part <= kClips; ++part) {
        if (!more) {
            fs::remove(ClipPath(part));
            continue;
        }
        const std::size_t at = input.find(kDelimiter);
        const std::string_view text = input.substr(0, at);
        more = at != std::string_view::npos;
        input.remove_prefix(more ? at + kDelimiter.size() : input.size());
        if (part == 0) {
            Put(project, ExpandClipNames(text));
        } else {
            Put(ClipPath(part), text);
            ++files;
        }
    }

    zlt::fuzz::FirstErrorLine().clear();
    zlt::SetOutputCallback(zlt::fuzz::KeepFirstError);
    const bool ok = zlt::MakeZltCfo(*ctx, project.c_str(), image.c_str());
    zlt::SetOutputCallback(zlt::fuzz::Discard);
    bool checkerErrs = false;
    const std::vector<zlt::Diagnostic> found = zlt::CheckProject(project.c_str());
    for (const zlt::Diagnostic& d : found) checkerErrs |= d.severity == zlt::Severity::kError;
    if (checkerErrs == ok || zlt::fuzz::FlaggedLine(found) != zlt::fuzz::FirstErrorLine()) {
        std::fprintf(stderr, "the link %s (%s), the checker reports %s error (%s)\n", ok ? "succeeds" : "fails",
                     zlt::fuzz::FirstErrorLine().c_str(), checkerErrs ? "an" : "no",
                     zlt::fuzz::FlaggedLine(found).c_str());
        std::abort();
    }
    if (!ok) {
        if (FilesInFolder() != files) std::abort();  // an image or a temporary file is left
        return 0;
    }
    if (FilesInFolder() != files + 1) std::abort();
    std::ifstream in(image, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    const std::string linked = bytes.str();
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
