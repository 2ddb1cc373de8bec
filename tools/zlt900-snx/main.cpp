// zlt900-snx: encodes audio files as Sonorium clips for Zelta-900 voice
// projects.
#include "cli/command_line.h"
#include "zlt900-snx/encode.h"
#include "zlt900-snx/output.h"

#include <cstdio>
#include <string>
#include <vector>

namespace {

using zlt::cli::kExitFailed;
using zlt::cli::kExitOk;

void Usage(std::FILE* out) {
    std::fputs(
        "Usage: zlt900-snx [OPTION]... INPUT...\n"
        "Encode audio files as Sonorium clips (.snx), the words of a Zelta-900 voice\n"
        "project. Each INPUT may be any audio file that libsndfile reads (WAV, FLAC,\n"
        "AIFF, OGG and more); it is mixed down to one channel, resampled and\n"
        "quantised to 8 or 16 bits.\n"
        "\n"
        "  -o, --output=PATH  where the clips go: a folder (one that exists, or any\n"
        "                     PATH ending in '/'), which takes each clip under its\n"
        "                     input's name with the extension .snx, or, for a single\n"
        "                     INPUT, the clip file itself; by default each clip is\n"
        "                     written beside its input\n"
        "  -r, --rate=HZ      sample rate of the clips: 8000, 11025, 16000, 22050,\n"
        "                     24000, 32000, 40000, 44100 or 48000; by default the\n"
        "                     lowest of these at or above the input's rate (48000\n"
        "                     for faster inputs)\n"
        "  -b, --bits=8|16    bits per sample (default 16); triangular dither is added\n"
        "                     when the input has finer samples than the clip\n"
        "  -s, --seed=N       reproducible clips: derive the key bytes and the dither\n"
        "                     from N (the k-th INPUT, counted from 0, uses N+k);\n"
        "                     by default both are fresh and random\n"
        "  -q, --quiet        print nothing for clips written\n"
        "  -h, --help         show this help and exit\n"
        "  -V, --version      show the version and exit\n"
        "\n"
        "A clip is written completely or not at all: an interrupted run leaves neither\n"
        "a part of a clip nor a temporary file. An output that is a symbolic link keeps\n"
        "it (the file it names is written); a device, or a FIFO with a reader, is\n"
        "written in place; an output that is one of the inputs is refused. A clip\n"
        "holds less than 256 MiB of samples (46 minutes at 48000 Hz and 16 bits).\n"
        "\n"
        "Exit status: 0 when every clip was written, 1 when an input could not be\n"
        "encoded or its clip not written (the encoder stops at that input; the clips\n"
        "written before it stay), 2 on a usage error.\n",
        out);
}

int UsageError(const std::string& what) { return zlt::cli::UsageError("zlt900-snx", what); }

}  // namespace

int main(int argc, char** argv) {
    const option longOptions[] = {
        {"output", required_argument, nullptr, 'o'},
        {"rate", required_argument, nullptr, 'r'},
        {"bits", required_argument, nullptr, 'b'},
        {"seed", required_argument, nullptr, 's'},
        {"quiet", no_argument, nullptr, 'q'},
        {"help", no_argument, nullptr, 'h'},
        {"version", no_argument, nullptr, 'V'},
        {nullptr, 0, nullptr, 0},
    };
    zlt::snx::EncodeOptions options;
    const char* output = nullptr;
    bool quiet = false;
    opterr = 0;
    int c;
    while ((c = getopt_long(argc, argv, ":o:r:b:s:qhV", longOptions, nullptr)) != -1) {
        unsigned long long n = 0;
        switch (c) {
        case 'o': output = optarg; break;
        case 'r':
            if (!zlt::cli::Number(optarg, 10, ~0ull, n) || !zlt::snx::IsClipRate(n))
                return UsageError(std::string("unsupported rate '") + optarg + "': use " + zlt::snx::ClipRatesText());
            options.rate = static_cast<unsigned>(n);
            break;
        case 'b':
            if (!zlt::cli::Number(optarg, 10, ~0ull, n) || (n != 8 && n != 16))
                return UsageError(std::string("unsupported bits '") + optarg + "': use 8 or 16");
            options.bits = static_cast<unsigned>(n);
            break;
        case 's':
            if (!zlt::cli::Number(optarg, 10, ~0ull, n)) return UsageError(std::string("seed '") + optarg + "' is not a whole number");
            options.seed = n;
            break;
        case 'q': quiet = true; break;
        case 'h': Usage(stdout); return kExitOk;
        case 'V': std::printf("zlt900-snx %s\n", ZLT_VERSION); return kExitOk;
        default: return zlt::cli::OptionError("zlt900-snx", c, argv);
        }
    }
    if (optind == argc) return UsageError("no INPUT given");
    const std::vector<std::string> inputs(argv + optind, argv + argc);
    std::string error;
    const auto outputs = zlt::snx::PlanOutputs(inputs, output, error);
    if (!outputs) return UsageError(error);

    const std::optional<std::uint64_t> seed = options.seed;
    for (std::size_t i = 0; i < inputs.size(); ++i) {
        const std::string& in = inputs[i];
        const std::string& out = (*outputs)[i];
        if (seed) options.seed = *seed + i;
        auto clip = zlt::snx::EncodeFile(in, options, error);
        const bool ok = clip && zlt::snx::WriteWhole(out, clip->bytes, error);
        if (!ok) {
            std::fprintf(stderr, "zlt900-snx: %s: %s\n", clip ? out.c_str() : in.c_str(),
                         clip ? ("cannot write: " + error).c_str() : error.c_str());
            if (inputs.size() > 1)
                std::fprintf(stderr, "zlt900-snx: stopped there; %zu of %zu clips written\n", i, inputs.size());
            return kExitFailed;
        }
        if (clip->clipped != 0)
            std::fprintf(stderr, "zlt900-snx: warning: %s: %zu samples clipped at full scale\n", in.c_str(),
                         clip->clipped);
        if (!quiet)
            std::printf("%s -> %s: %u-bit %u Hz, %.2f s, %zu bytes%s\n", in.c_str(), out.c_str(), clip->bits,
                        clip->rate, double(clip->samples) / clip->rate, clip->bytes.size(),
                        clip->dithered ? ", dithered" : "");
    }
    return kExitOk;
}
