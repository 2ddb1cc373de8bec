// zlt900-inspect: checks a Zelta-900 CFO image and shows what it holds.
#include "base/bytes.h"
#include "base/format.h"
#include "inspect/recover.h"
#include "inspect/report.h"
#include "inspect/word_files.h"
#include "reader/decoded_image.h"
#include "reader/sentence_listing.h"
#include "target/readme.h"
#include "word/clip_writer.h"

#include <cstdio>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <getopt.h>
#include <sstream>
#include <string>

namespace {

constexpr int kExitOk = 0;
constexpr int kExitBadImage = 1;
constexpr int kExitUsage = 2;

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
        "  -h, --help     show this help and exit\n"
        "  -V, --version  show the version and exit\n"
        "\n"
        "Exit status: 0 for a sound image, 1 when the image cannot be read or is\n"
        "corrupt (the first fault is named on standard error), 2 on a usage error.\n",
        out);
}

bool WriteFile(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    if (zlt::WriteClipFile(path, bytes)) return true;
    std::fprintf(stderr, "zlt900-inspect: cannot write %s: %s\n", path.c_str(), std::strerror(errno));
    return false;
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
        if (!WriteFile(path, zlt::inspect::WavFile(w, zlt::inspect::WordSamples(file, image, w)))) return kExitBadImage;
        std::printf("%s\n", path.c_str());
        ++written;
    }
    std::printf("%d words written; words that no sentence plays have no audio in the image.\n", written);
    return kExitOk;
}

int Recover(std::span<const std::uint8_t> file, const zlt::DecodedImage& image,
            const std::vector<zlt::SentenceListing>& sentences, const std::string& dir) {
    std::string error;
    std::optional<std::string> project = zlt::inspect::RecoverProject(image, sentences, dir, error);
    if (!project) {
        std::fprintf(stderr, "zlt900-inspect: cannot recover a project: %s\n", error.c_str());
        return kExitBadImage;
    }
    if (!MakeFolder(dir)) return kExitBadImage;
    for (const zlt::WordInfo& w : image.words)
        if (!WriteFile(dir + zlt::FormatText("/W%0.4u.snx", w.number), zlt::inspect::RecoveredClip(file, image, w)))
            return kExitBadImage;
    if (!WriteFile(dir + "/project.zlp", std::vector<std::uint8_t>(project->begin(), project->end())))
        return kExitBadImage;
    std::printf("Wrote %s/project.zlp and %u clips.\n", dir.c_str(), static_cast<unsigned>(image.words.size()));
    if (auto facts = zlt::ParseReadme(image.readme)) {
        std::printf("The image's read-me names the project %s and the image %s; link the recovered\n"
                    "project under those names, from this folder,",
                    facts->projectPath.c_str(), facts->imagePath.c_str());
        if (auto epoch = zlt::inspect::FixedLinkTime(image.linkTime))
            std::printf(" with --timestamp=%lld,", *epoch);
        else
            std::printf(" at the same link time,");
        std::printf(" to get the same bytes.\n");
    }
    return kExitOk;
}

int UsageError(const char* what) {
    std::fprintf(stderr, "zlt900-inspect: %s\nTry 'zlt900-inspect --help' for more information.\n", what);
    return kExitUsage;
}

}  // namespace

int main(int argc, char** argv) {
    enum { kOptJson = 256, kOptExtract, kOptRecover };
    const option longOptions[] = {
        {"json", no_argument, nullptr, kOptJson},
        {"extract-words", required_argument, nullptr, kOptExtract},
        {"recover", required_argument, nullptr, kOptRecover},
        {"help", no_argument, nullptr, 'h'},
        {"version", no_argument, nullptr, 'V'},
        {nullptr, 0, nullptr, 0},
    };
    bool json = false;
    const char* extractDir = nullptr;
    const char* recoverDir = nullptr;
    opterr = 0;
    int c;
    while ((c = getopt_long(argc, argv, "+hV", longOptions, nullptr)) != -1) {
        switch (c) {
        case kOptJson: json = true; break;
        case kOptExtract: extractDir = optarg; break;
        case kOptRecover: recoverDir = optarg; break;
        case 'h': Usage(stdout); return kExitOk;
        case 'V': std::printf("zlt900-inspect %s\n", ZLT_VERSION); return kExitOk;
        default: return UsageError("unknown option");
        }
    }
    if (argc - optind != 1) return UsageError("expected one IMAGE");
    if ((extractDir != nullptr) + (recoverDir != nullptr) + json > 1)
        return UsageError("--json, --extract-words and --recover exclude each other");
    const char* path = argv[optind];

    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    if (!in || !(bytes << in.rdbuf())) {
        std::fprintf(stderr, "zlt900-inspect: cannot read %s: %s\n", path, std::strerror(errno));
        return kExitBadImage;
    }
    const std::string data = bytes.str();
    const std::span<const std::uint8_t> file = zlt::AsBytes(data);
    std::string error;
    std::optional<zlt::DecodedImage> image = zlt::ReadImage(file, error);
    std::vector<zlt::SentenceListing> sentences;
    if (image && !zlt::ListSentences(*image, sentences, error)) image.reset();
    if (!image) {
        std::fprintf(stderr, "zlt900-inspect: %s: %s\n", path, error.c_str());
        return kExitBadImage;
    }
    if (extractDir != nullptr) return ExtractWords(file, *image, extractDir);
    if (recoverDir != nullptr) return Recover(file, *image, sentences, recoverDir);
    const std::string report =
        json ? zlt::inspect::JsonReport(*image, sentences) : zlt::inspect::TextReport(*image, sentences);
    std::fwrite(report.data(), 1, report.size(), stdout);
    return kExitOk;
}
