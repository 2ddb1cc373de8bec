// zlt900-link: links a Zelta-900 voice project into its CFO image.
#include "zlt900/zlt900_lnk.h"

#include "diagnostics.h"
#include "platform/files.h"
#include "trigger/key_table.h"
#include "skeleton.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <getopt.h>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

constexpr int kExitOk = 0;
constexpr int kExitLinkFailed = 1;
constexpr int kExitUsage = 2;

bool g_quiet = false;
bool g_inError = false;      // an error line has been seen: the rest goes to stderr
std::string g_errorLine;     // the link's error line, as the library sent it
std::FILE* g_lastStream = nullptr;

// The progress bar of the word image, drawn on standard error when that is a
// terminal. It takes a line of its own below the last message; since every
// message begins with its line break, removing the bar (clear the line, go
// up one) puts the next message exactly where it would have gone.
bool g_showProgress = false;
bool g_barShown = false;
int g_barPercent = -1;

void HideBar() {
    if (!g_barShown) return;
    std::fputs("\r\033[K\033[A", stderr);
    g_barShown = false;
    g_barPercent = -1;
}

void DrawProgress(unsigned done, unsigned total) {
    if (!g_showProgress || total == 0) return;
    const int percent = static_cast<int>(100ull * done / total);
    if (done >= total) {
        HideBar();
        return;
    }
    if (percent == g_barPercent) return;
    std::fflush(stdout);
    if (!g_barShown) std::fputc('\n', stderr);
    constexpr int kWidth = 40;
    char bar[kWidth + 1];
    const int filled = percent * kWidth / 100;
    for (int i = 0; i < kWidth; ++i) bar[i] = i < filled ? '#' : '.';
    bar[kWidth] = '\0';
    std::fprintf(stderr, "\r[%s] %3d%%  %u of %u pages", bar, percent, done, total);
    g_barShown = true;
    g_barPercent = percent;
}

// What the link's lines tell of the image, for the summary line: each
// sentence and trigger is announced as it is read, each word as its audio
// is placed.
struct Counts {
    unsigned words = 0, sentences = 0, triggers = 0, clockTriggers = 0;
} g_counts;

void Count(const char* text) {
    constexpr const char kParsing[] = "\n        Parsing ";
    constexpr std::size_t kParsingLength = sizeof kParsing - 1;
    if (std::strncmp(text, kParsing, kParsingLength) == 0) {
        const char kind = text[kParsingLength];
        if (kind == 'S') ++g_counts.sentences;
        if (kind == 'T') {
            ++g_counts.triggers;
            const long t = std::strtol(text + kParsingLength + 1, nullptr, 10);
            if (t >= 0 && zlt::IsClockTrigger(static_cast<unsigned>(t))) ++g_counts.clockTriggers;
        }
    } else if (std::strncmp(text, "\n        W", 10) == 0 && std::strstr(text, ",PageSize=") != nullptr) {
        ++g_counts.words;
    }
}

// "IMAGE: 461 pages (236032 bytes); 4 words, 5 sentences, 7 triggers (3 on the clock)"
void PrintSummary(const char* image) {
    std::error_code ec;
    const std::uintmax_t bytes = std::filesystem::file_size(image, ec);
    if (ec) return;
    std::printf("%s: %ju pages (%ju bytes); %u words, %u sentences, %u triggers (%u on the clock)\n", image,
                bytes / 512, bytes, g_counts.words, g_counts.sentences, g_counts.triggers,
                g_counts.clockTriggers);
}

int PrintLine(const char* text) {
    Count(text);
    if (!g_inError && std::strncmp(text, "\nErr: ", 6) == 0) {
        // From the first error line on, lines go to standard error. Each
        // stream is left with whole lines: standard output's last line is
        // ended, and the error line starts its stream without a blank line.
        g_inError = true;
        g_errorLine = text;
        if (g_lastStream == stdout) std::fputc('\n', stdout);
        std::fflush(stdout);
        ++text;
    }
    if (g_quiet && !g_inError) return 0;
    HideBar();
    g_lastStream = g_inError ? stderr : stdout;
    std::fputs(text, g_lastStream);
    if (g_showProgress) std::fflush(g_lastStream);
    return 0;
}

void Usage(std::FILE* out) {
    std::fputs(
        "Usage: zlt900-link [OPTION]... PROJECT IMAGE\n"
        "       zlt900-link --check [OPTION]... PROJECT\n"
        "       zlt900-link --init DIR\n"
        "Link the Zelta-900 voice project PROJECT into the CFO image IMAGE, check\n"
        "it for every problem without linking, or start a new project:\n"
        "DIR/project.zlp with every section and key.\n"
        "\n"
        "      --check          report every error and warning of PROJECT as\n"
        "                       PATH:LINE:COL: error|warning|note: MESSAGE, with\n"
        "                       the source line and a caret; write no image\n"
        "      --diagnostics-format=text|sarif\n"
        "                       with --check: sarif writes a SARIF 2.1.0 log to\n"
        "                       standard output instead\n"
        "  -Werror              count warnings as errors (a link then stops\n"
        "                       before it starts)\n"
        "  -Wno-KIND            leave out the warnings of KIND (see\n"
        "                       docs/diagnostics.md)\n"
        "  -w                   leave out every warning\n"
        "  -C, --directory=DIR  change to DIR before linking; clip paths in the\n"
        "                       project are relative to the working directory\n"
        "  -q, --quiet          print error lines only\n"
        "                       (without it, a progress bar of the word image is\n"
        "                       shown on standard error when that is a terminal)\n"
        "      --timestamp=SECS\n"
        "                       fix the link time (seconds since 1970-01-01 UTC,\n"
        "                       shown as UTC) for a reproducible image; without\n"
        "                       it, SOURCE_DATE_EPOCH is used when set\n"
        "      --init=DIR       write a new project file DIR/project.zlp (DIR is\n"
        "                       made if needed; an existing project is kept)\n"
        "      --depfile=FILE   after a link, write a make dependency file: IMAGE\n"
        "                       depends on PROJECT and every clip the link read\n"
        "      --code-page=CP   ANSI code page of a project made on Windows (874,\n"
        "                       1250 to 1258; default 1252): a clip path that\n"
        "                       names no file is tried as UTF-8 text of it\n"
        "  -h, --help           show this help and exit\n"
        "  -V, --version        show the version and exit\n"
        "\n"
        "A link checks the project first: it prints the warnings on standard error\n"
        "before it starts and, when it fails, the place of the error in the project.\n"
        "\n"
        "Exit status: 0 when the image was written (--check: no error), 1 when\n"
        "the link failed (--check: errors), 2 on a usage error.\n",
        out);
}

bool ParseEpoch(const char* text, long long& out) {
    if (text == nullptr || *text == '\0') return false;
    char* end = nullptr;
    errno = 0;
    long long v = std::strtoll(text, &end, 10);
    if (errno != 0 || *end != '\0' || v < 0 || v > 253402300799LL) return false;  // to year 9999
    out = v;
    return true;
}

// Writes DIR/project.zlp, refusing to replace one that exists.
int InitProject(const char* dir) {
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    const std::string path = std::string(dir) + "/project.zlp";
    std::FILE* f = ec ? nullptr : std::fopen(path.c_str(), "wx");
    if (f == nullptr) {
        std::fprintf(stderr, "zlt900-link: cannot create %s: %s\n", path.c_str(),
                     ec ? ec.message().c_str() : std::strerror(errno));
        return kExitLinkFailed;
    }
    const bool ok = std::fputs(zlt::tool::kProjectSkeleton, f) >= 0;
    if (std::fclose(f) != 0 || !ok) {
        std::fprintf(stderr, "zlt900-link: cannot write %s\n", path.c_str());
        std::remove(path.c_str());
        return kExitLinkFailed;
    }
    std::printf("Wrote %s\n", path.c_str());
    return kExitOk;
}

// The files the link read, each once, in the order first read.
std::vector<std::string> g_inputs;

void NoteInput(const char* path) {
    if (std::find(g_inputs.begin(), g_inputs.end(), path) == g_inputs.end()) g_inputs.emplace_back(path);
}

// A path as make and Ninja read it in a dependency file.
std::string DepfileEscaped(const std::string& path) {
    std::string out;
    for (char c : path) {
        if (c == ' ' || c == '#' || c == '\\') out += '\\';
        if (c == '$') out += '$';
        out += c;
    }
    return out;
}

// Writes "IMAGE: PROJECT CLIP..." to the dependency file, all paths taken
// from the folder the tool was started in (`base` is the -C folder). The
// file is written whole or not at all, so make never reads half of one.
bool WriteDepfile(const std::string& depfile, const std::filesystem::path& base, const char* image) {
    auto from = [&](const std::string& p) {
        return DepfileEscaped((base / p).lexically_normal().string());
    };
    std::string text = from(image) + ":";
    for (const std::string& input : g_inputs) text += " \\\n  " + from(input);
    text += "\n";
    zlt::platform::WholeFile file;
    if (file.Open(depfile) && file.Write(text.data(), text.size()) && file.Commit()) return true;
    std::fprintf(stderr, "zlt900-link: cannot write %s: %s\n", depfile.c_str(), file.Reason().c_str());
    file.Discard(false);
    return false;
}

int UsageError(const char* what, const char* arg) {
    std::fprintf(stderr, "zlt900-link: %s%s%s\n", what, arg ? ": " : "", arg ? arg : "");
    std::fputs("Try 'zlt900-link --help' for more information.\n", stderr);
    return kExitUsage;
}

}  // namespace

// zlt900-link --check: every diagnostic, exit 1 when there is an error.
int Check(const char* project, const zlt::tool::WarningOptions& warnings, bool sarif) {
    const std::vector<zlt::tool::Finding> findings = zlt::tool::CheckProject(project, warnings);
    if (sarif) {
        zlt::tool::WriteSarif(stdout, findings, ZLT_VERSION);
    } else {
        zlt::tool::WriteText(stderr, findings, zlt::tool::ColourStderr());
        int errors = zlt::tool::ErrorCount(findings), warningCount = 0;
        for (const auto& f : findings) warningCount += f.severity == ZLTLNK_WARNING;
        if (errors + warningCount > 0)
            std::fprintf(stderr, "%d error%s and %d warning%s in %s\n", errors, errors == 1 ? "" : "s",
                         warningCount, warningCount == 1 ? "" : "s", project);
    }
    return zlt::tool::ErrorCount(findings) > 0 ? kExitLinkFailed : kExitOk;
}

int main(int argc, char** argv) {
    enum { kOptTimestamp = 256, kOptInit, kOptDepfile, kOptCodePage, kOptCheck, kOptFormat };
    const option longOptions[] = {
        {"directory", required_argument, nullptr, 'C'},
        {"quiet", no_argument, nullptr, 'q'},
        {"timestamp", required_argument, nullptr, kOptTimestamp},
        {"init", required_argument, nullptr, kOptInit},
        {"depfile", required_argument, nullptr, kOptDepfile},
        {"code-page", required_argument, nullptr, kOptCodePage},
        {"check", no_argument, nullptr, kOptCheck},
        {"diagnostics-format", required_argument, nullptr, kOptFormat},
        {"help", no_argument, nullptr, 'h'},
        {"version", no_argument, nullptr, 'V'},
        {nullptr, 0, nullptr, 0},
    };
    const char* directory = nullptr;
    const char* timestamp = nullptr;
    const char* initDir = nullptr;
    const char* depfile = nullptr;
    const char* codePage = nullptr;
    bool check = false, sarif = false;
    zlt::tool::WarningOptions warnings;
    std::string reason;
    opterr = 0;
    int c;
    while ((c = getopt_long(argc, argv, "+:C:qhVW:w", longOptions, nullptr)) != -1) {
        switch (c) {
        case kOptCheck: check = true; break;
        case kOptFormat:
            if (std::strcmp(optarg, "sarif") != 0 && std::strcmp(optarg, "text") != 0)
                return UsageError("unknown --diagnostics-format", optarg);
            sarif = std::strcmp(optarg, "sarif") == 0;
            break;
        case 'W':
            if (!zlt::tool::ParseWarningOption(optarg, warnings, reason)) return UsageError(reason.c_str(), nullptr);
            break;
        case 'w': warnings.all = false; break;
        case 'C': directory = optarg; break;
        case 'q': g_quiet = true; break;
        case kOptTimestamp: timestamp = optarg; break;
        case kOptInit: initDir = optarg; break;
        case kOptDepfile: depfile = optarg; break;
        case kOptCodePage: codePage = optarg; break;
        case 'h': Usage(stdout); return kExitOk;
        case 'V': std::printf("zlt900-link %s\n", ZLT_VERSION); return kExitOk;
        case ':': return UsageError("option requires an argument", argv[optind - 1]);
        default: return UsageError("unknown option", argv[optind - 1]);
        }
    }
    if (initDir != nullptr) {
        if (argc != optind) return UsageError("--init takes no PROJECT or IMAGE", nullptr);
        if (directory != nullptr && ::chdir(directory) != 0) {
            std::fprintf(stderr, "zlt900-link: cannot change to directory %s: %s\n", directory,
                         std::strerror(errno));
            return kExitLinkFailed;
        }
        return InitProject(initDir);
    }
    if (codePage != nullptr) {
        char* end = nullptr;
        const unsigned long cp = std::strtoul(codePage, &end, 10);
        if (*codePage == '\0' || *end != '\0' || cp > 65535 || !ZltLnk_SetAnsiCodePage(static_cast<unsigned>(cp)))
            return UsageError("unknown --code-page (874 or 1250 to 1258)", codePage);
    }
    if (check) {
        if (argc - optind != 1) return UsageError("--check takes one PROJECT", nullptr);
        if (directory != nullptr && ::chdir(directory) != 0) {
            std::fprintf(stderr, "zlt900-link: cannot change to directory %s: %s\n", directory,
                         std::strerror(errno));
            return kExitLinkFailed;
        }
        return Check(argv[optind], warnings, sarif);
    }
    if (sarif) return UsageError("--diagnostics-format goes with --check", nullptr);
    if (argc - optind != 2) return UsageError("expected PROJECT and IMAGE", nullptr);

    long long epoch = -1;
    if (timestamp != nullptr) {
        if (!ParseEpoch(timestamp, epoch)) return UsageError("invalid --timestamp", timestamp);
    } else if (const char* env = std::getenv("SOURCE_DATE_EPOCH"); env != nullptr && *env != '\0') {
        if (!ParseEpoch(env, epoch)) return UsageError("invalid SOURCE_DATE_EPOCH", env);
    }
    // The dependency file and the paths in it are taken from the folder the
    // tool was started in, not from the -C folder.
    std::string depfilePath;
    if (depfile != nullptr) depfilePath = std::filesystem::absolute(depfile).string();
    const std::filesystem::path base = directory != nullptr ? directory : "";
    if (directory != nullptr && ::chdir(directory) != 0) {
        std::fprintf(stderr, "zlt900-link: cannot change to directory %s: %s\n", directory,
                     std::strerror(errno));
        return kExitLinkFailed;
    }

    // The checker's warnings come before the link; its located form of the
    // link's error after it.
    const std::vector<zlt::tool::Finding> findings = zlt::tool::CheckProject(argv[optind], warnings);
    std::vector<zlt::tool::Finding> before;
    for (const auto& f : findings)
        if (f.severity != ZLTLNK_ERROR || f.promoted) before.push_back(f);
    if (!g_quiet || warnings.asErrors) zlt::tool::WriteText(stderr, before, zlt::tool::ColourStderr());
    if (warnings.asErrors && !before.empty()) return kExitLinkFailed;

    ZltLnk_SetDefFputs(PrintLine);
    g_showProgress = !g_quiet && ::isatty(STDERR_FILENO) == 1;
    if (g_showProgress) ZltLnk_SetPageProgress(DrawProgress);
    ZltLnk_SetLinkTime(epoch);
    if (depfile != nullptr) ZltLnk_SetInputNotify(NoteInput);
    bool ok = ZltLnk_MakeZltCfo(argv[optind], argv[optind + 1]);
    HideBar();
    if (g_lastStream != nullptr) std::fputc('\n', g_lastStream);
    if (!ok) {
        for (const auto& f : findings) {
            if (f.linkLine.empty() || f.linkLine != g_errorLine) continue;
            zlt::tool::WriteText(stderr, {f}, zlt::tool::ColourStderr());
            break;
        }
    }
    if (ok && depfile != nullptr && !WriteDepfile(depfilePath, base, argv[optind + 1]))
        return kExitLinkFailed;
    if (ok && !g_quiet) PrintSummary(argv[optind + 1]);
    return ok ? kExitOk : kExitLinkFailed;
}
