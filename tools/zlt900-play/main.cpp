// zlt900-play: plays and traces a sentence of a Zelta-900 image or project
// the way the module would run it, and lists when its clock triggers speak.
#include "base/context.h"
#include "base/image.h"
#include "cli/command_line.h"
#include "platform/files.h"
#include "player/agenda.h"
#include "player/civil_time.h"
#include "player/project_link.h"
#include "player/render.h"
#include "player/report.h"
#include "reader/image_source.h"
#include "reader/sentence_listing.h"
#include "zlt900-snx/output.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <getopt.h>
#include <optional>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

using namespace zlt::player;

namespace cli = zlt::cli;

void Usage(std::FILE* out) {
    std::fputs(
        "Usage: zlt900-play [OPTION]... INPUT --trigger=N|--sentence=N|--unit=K\n"
        "       zlt900-play [OPTION]... INPUT --agenda FROM TO\n"
        "Run a sentence of INPUT, a Zelta-900 CFO image or a voice project file, the\n"
        "way the module would: write what it plays as a WAV file and, if asked, a\n"
        "trace of every step. A project file is linked first into a temporary image,\n"
        "which is removed afterwards.\n"
        "\n"
        "  -t, --trigger=N      run the sentence that trigger N is bound to\n"
        "  -s, --sentence=N     run sentence N: the project's key SN for a project file;\n"
        "                       for an image, the sentences are numbered as\n"
        "                       zlt900-inspect lists them\n"
        "  -u, --unit=K         start at unit index K of the sentence table\n"
        "  -o, --output=FILE    the WAV file (default play.wav): mono, 16-bit\n"
        "  -r, --rate=HZ        its sample rate, 1000 to 384000 (default: the highest\n"
        "                       rate among the words played)\n"
        "      --trace          print each step: time (ms), unit, step, the registers\n"
        "                       and flags it changed; serial bytes and clock writes\n"
        "      --json           print the trace (or the agenda) as JSON\n"
        "      --at=TIME        the clock at the start, \"YYYY-MM-DD HH:MM:SS\"\n"
        "                       (default: the local time now)\n"
        "      --inputs=HEX     the 32 input bits; X[7..0] reads the lowest byte\n"
        "      --seed=N         the sequence of the RANDOM port (default 0)\n"
        "      --max-steps=N    stop a sentence that has not ended after N steps\n"
        "                       (default 100000)\n"
        "      --max-seconds=N  stop a sentence that has played N seconds (default 600)\n"
        "      --agenda         list, in time order, every minute from FROM up to TO\n"
        "                       (\"YYYY-MM-DD HH:MM\" or \"YYYY-MM-DD\") at which a clock\n"
        "                       trigger speaks, with the trigger and its sentence\n"
        "  -C, --directory=DIR  change to DIR first; clip paths in a project are\n"
        "                       relative to the working directory\n"
        "  -h, --help           show this help and exit\n"
        "  -V, --version        show the version and exit\n"
        "\n"
        "How the player runs a sentence is told in the step language's documentation;\n"
        "the module's firmware stays the authority. The WAV file is written completely\n"
        "or not at all, and never over INPUT or a clip it reads.\n"
        "\n"
        "Exit status: 0 when the sentence ended by itself (end mark, ^EOP, ^RET outside\n"
        "a call) and the WAV was written, or the agenda was listed; 1 when INPUT cannot\n"
        "be read or linked, the sentence was stopped (steps, seconds, a stack\n"
        "overflow, a fault; no WAV is written then) or the WAV cannot be written; 2 on\n"
        "a usage error.\n",
        out);
}

int UsageError(const std::string& what) { return cli::UsageError("zlt900-play", what); }

int Failed(const std::string& what) {
    std::fflush(stdout);  // after the trace
    std::fprintf(stderr, "zlt900-play: %s\n", what.c_str());
    return cli::kExitFailed;
}

// What the sentences are, read from an image or linked from a project.
struct Input {
    std::optional<zlt::LoadedImage> loaded;
    std::vector<NamedSentence> sentences;
    std::vector<std::string> files;  // read to make the image
};

bool IsImageFile(const std::string& path) {
    zlt::platform::MappedFile file;
    char magic[sizeof zlt::kImageMagic] = {};
    return file.Open(path) && file.ReadAt(0, magic, sizeof magic) == sizeof magic &&
           std::memcmp(magic, zlt::kImageMagic, sizeof magic) == 0;
}

bool ReadInput(const std::string& path, Input& in, std::string& error) {
    in.files = {path};
    const zlt::platform::FileKind kind = zlt::platform::InfoOf(path).kind;
    if (kind != zlt::platform::FileKind::kRegular) {  // a FIFO would hold the reader
        error = kind == zlt::platform::FileKind::kNone ? "no such file"
                                                       : std::string("not a file but ") + zlt::platform::KindName(kind);
        return false;
    }
    if (!IsImageFile(path)) {
        std::optional<LinkedProject> linked = LinkProject(path, error);
        if (!linked) return false;
        in.loaded = std::move(linked->loaded);
        in.sentences = std::move(linked->sentences);
        in.files.insert(in.files.end(), linked->inputs.begin(), linked->inputs.end());
        return true;
    }
    in.loaded = zlt::LoadImage(path, error);
    std::vector<zlt::SentenceListing> listing;
    if (!in.loaded || !zlt::ListSentences(in.loaded->image, listing, error)) return false;
    for (std::size_t i = 0; i < listing.size(); ++i)
        in.sentences.push_back({static_cast<unsigned>(i), listing[i].start});
    return true;
}

bool IsInput(const std::string& output, const Input& in) {
    const zlt::platform::FileInfo target = zlt::platform::InfoOf(output);
    if (target.kind == zlt::platform::FileKind::kNone) return false;
    for (const std::string& f : in.files)
        if (zlt::platform::InfoOf(f).id == target.id) return true;
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    enum { kOptTrace = 256, kOptJson, kOptAt, kOptInputs, kOptSeed, kOptMaxSteps, kOptMaxSeconds, kOptAgenda };
    const option longOptions[] = {
        {"trigger", required_argument, nullptr, 't'},
        {"sentence", required_argument, nullptr, 's'},
        {"unit", required_argument, nullptr, 'u'},
        {"output", required_argument, nullptr, 'o'},
        {"rate", required_argument, nullptr, 'r'},
        {"trace", no_argument, nullptr, kOptTrace},
        {"json", no_argument, nullptr, kOptJson},
        {"at", required_argument, nullptr, kOptAt},
        {"inputs", required_argument, nullptr, kOptInputs},
        {"seed", required_argument, nullptr, kOptSeed},
        {"max-steps", required_argument, nullptr, kOptMaxSteps},
        {"max-seconds", required_argument, nullptr, kOptMaxSeconds},
        {"agenda", no_argument, nullptr, kOptAgenda},
        {"directory", required_argument, nullptr, 'C'},
        {"help", no_argument, nullptr, 'h'},
        {"version", no_argument, nullptr, 'V'},
        {nullptr, 0, nullptr, 0},
    };
    PlayOptions options;
    enum class Start { kNone, kTrigger, kSentence, kUnit } start = Start::kNone;
    unsigned long long startNumber = 0;
    std::string output = "play.wav";
    bool trace = false, json = false, agenda = false, atGiven = false;
    const char* directory = nullptr;
    opterr = 0;
    int c;
    while ((c = getopt_long(argc, argv, ":t:s:u:o:r:C:hV", longOptions, nullptr)) != -1) {
        unsigned long long n = 0;
        const bool isStart = c == 't' || c == 's' || c == 'u';
        if (isStart && start != Start::kNone) return UsageError("give one of --trigger, --sentence and --unit");
        switch (c) {
        case 't':
        case 's':
        case 'u':
            if (!cli::Number(optarg, 10, c == 'u' ? zlt::kSentenceUnits - 1 : zlt::kEntryCount - 1, startNumber) ||
                (c == 'u' && startNumber == 0))
                return UsageError(std::string("bad number '") + optarg + "' for -" + char(c));
            start = c == 't' ? Start::kTrigger : c == 's' ? Start::kSentence : Start::kUnit;
            break;
        case 'o': output = optarg; break;
        case 'r':
            if (!cli::Number(optarg, 10, 384000, n) || n < 1000)
                return UsageError(std::string("bad rate '") + optarg + "'");
            options.rate = static_cast<unsigned>(n);
            break;
        case kOptTrace: trace = true; break;
        case kOptJson: json = true; break;
        case kOptAt: {
            const std::optional<CivilTime> at = ParseCivilTime(optarg);
            if (!at) return UsageError(std::string("bad time '") + optarg + "': use \"YYYY-MM-DD HH:MM:SS\"");
            options.at = *at;
            atGiven = true;
            break;
        }
        case kOptInputs:
            if (!cli::Number(optarg, 16, 0xFFFFFFFF, n)) return UsageError(std::string("bad inputs '") + optarg + "'");
            options.inputs = static_cast<std::uint32_t>(n);
            break;
        case kOptSeed:
            if (!cli::Number(optarg, 10, ~0ull, n)) return UsageError(std::string("bad seed '") + optarg + "'");
            options.seed = n;
            break;
        case kOptMaxSteps:
        case kOptMaxSeconds:
            if (!cli::Number(optarg, 10, 0xFFFFFFFF, n)) return UsageError(std::string("bad limit '") + optarg + "'");
            (c == kOptMaxSteps ? options.maxSteps : options.maxSeconds) = static_cast<unsigned>(n);
            break;
        case kOptAgenda: agenda = true; break;
        case 'C': directory = optarg; break;
        case 'h': Usage(stdout); return cli::kExitOk;
        case 'V': std::printf("zlt900-play %s\n", ZLT_VERSION); return cli::kExitOk;
        default: return cli::OptionError("zlt900-play", c, argv);
        }
    }
    const int positional = argc - optind;
    if (agenda && (positional != 3 || start != Start::kNone))
        return UsageError("--agenda takes INPUT FROM TO and no sentence to run");
    if (!agenda && (positional != 1 || start == Start::kNone))
        return UsageError("give one INPUT and one of --trigger, --sentence and --unit");
    std::optional<CivilTime> from, to;
    if (agenda && (!(from = ParseCivilTime(argv[optind + 1])) || !(to = ParseCivilTime(argv[optind + 2]))))
        return UsageError("bad agenda time: use \"YYYY-MM-DD HH:MM\" or \"YYYY-MM-DD\"");
    if (!atGiven) options.at = LocalTimeNow();
    if (directory != nullptr && ::chdir(directory) != 0)
        return Failed(std::string("cannot change to directory ") + directory + ": " + std::strerror(errno));

    const std::string path = argv[optind];
    Input in;
    std::string error;
    if (!ReadInput(path, in, error)) return Failed(path + ": " + error);
    const zlt::DecodedImage& image = in.loaded->image;

    if (agenda) {
        const Agenda a = ClockAgenda(image, *from, *to);
        const std::string text = json ? AgendaJson(a, in.sentences) : AgendaText(a, image.triggerMode, in.sentences);
        std::fwrite(text.data(), 1, text.size(), stdout);
        return cli::kExitOk;
    }

    unsigned startUnit = static_cast<unsigned>(startNumber);
    std::string name;
    if (start == Start::kTrigger) {
        startUnit = 0;
        for (const zlt::TriggerBinding& t : image.triggers)
            if (t.trigger == startNumber) startUnit = t.startUnit;
        if (startUnit == 0) return Failed(path + ": trigger " + std::to_string(startNumber) + " is not bound");
        name = "T" + std::to_string(startNumber);
    } else if (start == Start::kSentence) {
        startUnit = 0;
        for (const NamedSentence& s : in.sentences)
            if (s.number == startNumber) startUnit = s.start;
        if (startUnit == 0) return Failed(path + ": there is no sentence " + std::to_string(startNumber));
    } else if (startUnit >= image.units.size()) {
        return Failed(path + ": no unit " + std::to_string(startUnit));
    }
    if (IsInput(output, in)) return Failed(output + " is an input; nothing was written");

    std::optional<Player> player = Player::Open(in.loaded->file, image, error);
    Rendering r;
    if (!player || !Render(*player, startUnit, options, r, error)) return Failed(path + ": " + error);
    if (json) {
        const std::string text = RunJson(r, startUnit, r.rate);
        std::fwrite(text.data(), 1, text.size(), stdout);
    } else if (trace) {
        const std::string text = TraceText(r);
        std::fwrite(text.data(), 1, text.size(), stdout);
    }
    const std::string what = SentenceName(in.sentences, startUnit) + (name.empty() ? "" : " of " + name);
    if (!EndsBySelf(r.ending)) return Failed(what + ": " + r.message + "; no WAV written");
    std::optional<std::vector<std::uint8_t>> wav = WavFileBytes(r.samples, r.rate, error);
    if (!wav || !zlt::snx::WriteWhole(output, *wav, error)) return Failed("cannot write " + output + ": " + error);
    if (!json)
        std::printf("%s: %.3f s at %u Hz, ended by %s; wrote %s\n", what.c_str(), double(r.lengthUs) / 1e6, r.rate,
                    r.ending == Ending::kReturn ? "^RET outside any call" : "its end mark", output.c_str());
    return cli::kExitOk;
}
