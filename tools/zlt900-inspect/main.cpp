// zlt900-inspect: checks a Zelta-900 CFO image and shows what it holds.
#include "base/format.h"
#include "cli/command_line.h"
#include "reader/image_source.h"
#include "inspect/recover.h"
#include "inspect/report.h"
#include "inspect/word_files.h"
#include "platform/files.h"
#include "reader/decoded_image.h"
#include "reader/sentence_listing.h"
#include "target/readme.h"

#include <cstdio>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

namespace {

using zlt::cli::kExitOk;
constexpr int kExitBadImage = zlt::cli::kExitFailed;

void Usage(std::FILE* out) {
    std::fputs(
        "Usage: zlt900-inspect [--json] IMAGE\n"
        "       zlt900-inspect --extract-words DIR IMAGE\n"
        "       zlt900-inspect --recover DIR IMAGE\n"
        "Check the Zelta-900 CFO image IMAGE and print what it holds: the section\n"
        "directory, trigger mode, options, triggers, words and every sentence\n"
        "disassembled into the step language.\n"
        "\n"
        "      --json               print the same as JSON\n"
        "      --extract-words=DIR  write each word the image plays as DIR/Wnnnn.wav\n"
        "      --recover=DIR        write a project (DIR/project.zlp) and its clips\n"
        "                           (DIR/Wnnnn.snx) that link back to the same image\n"
        "      --force              let --recover replace files that exist\n"
        "  -h, --help     show this help and exit\n"
        "  -V, --version  show the version and exit\n"
        "\n"
        "IMAGE must be a regular file; only the bytes its directory describes are\n"
        "read.\n"
        "\n"
        "Exit status: 0 for a sound image, 1 when the image cannot be read or is\n"
        "corrupt (the first fault is named on standard error), or a file to write\n"
        "exists or cannot be written, 2 on a usage error.\n",
        out);
}

// Writes a file completely or not at all.
bool WriteFile(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    zlt::platform::WholeFile file;
    if (file.Open(path) && file.Write(bytes.data(), bytes.size()) && file.Commit()) return true;
    std::fprintf(stderr, "zlt900-inspect: cannot write %s: %s\n", path.c_str(), file.Reason().c_str());
    return false;
}

// The text as one word of a shell command.
std::string ShellWord(const std::string& text) {
    if (!text.empty() && text.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"
                                                "0123456789_./-+=:,") == std::string::npos)
        return text;
    std::string quoted = "'";
    for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

bool MakeFolder(const std::string& dir) {
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    if (!ec) return true;
    std::fprintf(stderr, "zlt900-inspect: cannot create %s: %s\n", dir.c_str(), ec.message().c_str());
    return false;
}

int ExtractWords(std::span<const std::uint8_t> file, const zlt::DecodedImage& image, const std::string& dir) {
    if (!MakeFolder(dir)) return kExitBadImage;
    int written = 0;
    for (const zlt::WordInfo& w : image.words) {
        if (!w.used) continue;
        const std::string path = dir + zlt::FormatText("/W%0.4u.wav", w.number);
        if (!WriteFile(path, zlt::inspect::WavFile(w, zlt::WordSamples(file, image, w)))) return kExitBadImage;
        std::printf("%s\n", path.c_str());
        ++written;
    }
    std::printf("%d words written; words that no sentence plays have no audio in the image.\n", written);
    return kExitOk;
}

// Writes DIR/project.zlp and its clips DIR/Wnnnn.snx. Files that exist are
// replaced only with force; without it, nothing is written.
int Recover(std::span<const std::uint8_t> file, const zlt::DecodedImage& image,
            const std::vector<zlt::SentenceListing>& sentences, const std::string& dir, bool force) {
    std::string error;
    std::optional<std::string> project = zlt::inspect::RecoverProject(image, sentences, error);
    if (!project) {
        std::fprintf(stderr, "zlt900-inspect: cannot recover a project: %s\n", error.c_str());
        return kExitBadImage;
    }
    std::vector<std::pair<std::string, std::vector<std::uint8_t>>> files;
    for (const zlt::WordInfo& w : image.words)
        files.emplace_back(dir + zlt::FormatText("/W%0.4u.snx", w.number), zlt::inspect::RecoveredClip(file, image, w));
    files.emplace_back(dir + "/project.zlp", std::vector<std::uint8_t>(project->begin(), project->end()));
    for (const auto& [path, bytes] : files) {
        if (!force && zlt::platform::InfoOf(path).kind != zlt::platform::FileKind::kNone) {
            std::fprintf(stderr, "zlt900-inspect: %s exists; nothing was written (--force replaces it)\n",
                         path.c_str());
            return kExitBadImage;
        }
    }
    if (!MakeFolder(dir)) return kExitBadImage;
    for (const auto& [path, bytes] : files)
        if (!WriteFile(path, bytes)) return kExitBadImage;
    std::printf("Wrote %s/project.zlp and %u clips. Link it again with\n  zlt900-link -C %s", dir.c_str(),
                static_cast<unsigned>(image.words.size()), ShellWord(dir).c_str());
    const std::optional<long long> epoch = zlt::inspect::FixedLinkTime(image.linkTime);
    if (epoch) std::printf(" --timestamp=%lld", *epoch);
    std::printf(" project.zlp project.cfo\n");
    if (auto facts = zlt::ParseReadme(image.readme))
        std::printf("For the same bytes, link it from %s under the names that the image's read-me holds:\n"
                    "the project %s and the image %s.\n",
                    dir.c_str(), facts->projectPath.c_str(), facts->imagePath.c_str());
    return kExitOk;
}

int UsageError(const char* what) { return zlt::cli::UsageError("zlt900-inspect", what); }

}  // namespace

int main(int argc, char** argv) {
    enum { kOptJson = 256, kOptExtract, kOptRecover, kOptForce };
    const option longOptions[] = {
        {"json", no_argument, nullptr, kOptJson},
        {"extract-words", required_argument, nullptr, kOptExtract},
        {"recover", required_argument, nullptr, kOptRecover},
        {"force", no_argument, nullptr, kOptForce},
        {"help", no_argument, nullptr, 'h'},
        {"version", no_argument, nullptr, 'V'},
        {nullptr, 0, nullptr, 0},
    };
    bool json = false;
    const char* extractDir = nullptr;
    const char* recoverDir = nullptr;
    bool force = false;
    opterr = 0;
    int c;
    while ((c = getopt_long(argc, argv, "+:hV", longOptions, nullptr)) != -1) {
        switch (c) {
        case kOptJson: json = true; break;
        case kOptExtract: extractDir = optarg; break;
        case kOptRecover: recoverDir = optarg; break;
        case kOptForce: force = true; break;
        case 'h': Usage(stdout); return kExitOk;
        case 'V': std::printf("zlt900-inspect %s\n", ZLT_VERSION); return kExitOk;
        default: return zlt::cli::OptionError("zlt900-inspect", c, argv);
        }
    }
    if (argc - optind != 1) return UsageError("expected one IMAGE");
    if ((extractDir != nullptr) + (recoverDir != nullptr) + json > 1)
        return UsageError("--json, --extract-words and --recover exclude each other");
    if (force && recoverDir == nullptr) return UsageError("--force goes with --recover");
    const char* path = argv[optind];

    std::string error;
    std::optional<zlt::LoadedImage> loaded = zlt::LoadImage(path, error);
    std::vector<zlt::SentenceListing> sentences;
    if (loaded && !zlt::ListSentences(loaded->image, sentences, error)) loaded.reset();
    if (!loaded) {
        std::fprintf(stderr, "zlt900-inspect: %s: %s\n", path, error.c_str());
        return kExitBadImage;
    }
    const zlt::DecodedImage& image = loaded->image;
    if (extractDir != nullptr) return ExtractWords(loaded->file, image, extractDir);
    if (recoverDir != nullptr) return Recover(loaded->file, image, sentences, recoverDir, force);
    const std::string report =
        json ? zlt::inspect::JsonReport(image, sentences) : zlt::inspect::TextReport(image, sentences);
    std::fwrite(report.data(), 1, report.size(), stdout);
    return kExitOk;
}
