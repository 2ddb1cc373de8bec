// zlt900-inspect: checks a Zelta-900 CFO image and shows what it holds.
#include "inspect/disassembler.h"
#include "inspect/image_model.h"
#include "inspect/report.h"

#include <cstdio>
#include <cstring>
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
        "Check the Zelta-900 CFO image IMAGE and print what it holds: the section\n"
        "directory, trigger mode, options, triggers, words and every sentence\n"
        "disassembled into the step language.\n"
        "\n"
        "      --json     print the same as JSON\n"
        "  -h, --help     show this help and exit\n"
        "  -V, --version  show the version and exit\n"
        "\n"
        "Exit status: 0 for a sound image, 1 when the image cannot be read or is\n"
        "corrupt (the first fault is named on standard error), 2 on a usage error.\n",
        out);
}

int UsageError(const char* what) {
    std::fprintf(stderr, "zlt900-inspect: %s\nTry 'zlt900-inspect --help' for more information.\n", what);
    return kExitUsage;
}

}  // namespace

int main(int argc, char** argv) {
    enum { kOptJson = 256 };
    const option longOptions[] = {
        {"json", no_argument, nullptr, kOptJson},
        {"help", no_argument, nullptr, 'h'},
        {"version", no_argument, nullptr, 'V'},
        {nullptr, 0, nullptr, 0},
    };
    bool json = false;
    opterr = 0;
    int c;
    while ((c = getopt_long(argc, argv, "+hV", longOptions, nullptr)) != -1) {
        switch (c) {
        case kOptJson: json = true; break;
        case 'h': Usage(stdout); return kExitOk;
        case 'V': std::printf("zlt900-inspect %s\n", ZLT_VERSION); return kExitOk;
        default: return UsageError("unknown option");
        }
    }
    if (argc - optind != 1) return UsageError("expected one IMAGE");
    const char* path = argv[optind];

    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    if (!in || !(bytes << in.rdbuf())) {
        std::fprintf(stderr, "zlt900-inspect: cannot read %s: %s\n", path, std::strerror(errno));
        return kExitBadImage;
    }
    std::string error;
    std::optional<zlt::inspect::Image> image = zlt::inspect::ParseImage(bytes.str(), error);
    std::vector<zlt::inspect::SentenceListing> sentences;
    if (image && !zlt::inspect::Disassemble(*image, sentences, error)) image.reset();
    if (!image) {
        std::fprintf(stderr, "zlt900-inspect: %s: %s\n", path, error.c_str());
        return kExitBadImage;
    }
    const std::string report =
        json ? zlt::inspect::JsonReport(*image, sentences) : zlt::inspect::TextReport(*image, sentences);
    std::fwrite(report.data(), 1, report.size(), stdout);
    return kExitOk;
}
