// zlt900-studio: a Zelta-900 voice project in the browser. Serves the studio
// for one project on the loopback address and opens the page.
#include "cli/command_line.h"
#include "studio/server.h"
#include "zlt900-link/skeleton.h"

#include <csignal>
#include <fcntl.h>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <getopt.h>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

namespace cli = zlt::cli;
namespace fs = std::filesystem;

constexpr const char* kTool = "zlt900-studio";

void Usage(std::FILE* out) {
    std::fputs(
        "Usage: zlt900-studio [OPTION]... [DIR | PROJECT]\n"
        "Open a Zelta-900 voice project in the browser: see its words, sentences and\n"
        "triggers, get the checker's diagnostics as you type, hear any sentence, see\n"
        "when the clock triggers speak, and link the image. Saving rewrites only the\n"
        "lines of the keys you changed.\n"
        "\n"
        "PROJECT is a project file; DIR a folder that holds one (default: the working\n"
        "directory). A folder without a project is offered a new one, the project\n"
        "that zlt900-link --init writes. Clip paths are taken relative to the\n"
        "project's folder.\n"
        "\n"
        "  -p, --port=N      listen on port N of 127.0.0.1 (default 0: any free port)\n"
        "      --no-browser  only print the address; do not open the browser\n"
        "  -h, --help        show this help and exit\n"
        "  -V, --version     show the version and exit\n"
        "\n"
        "The studio listens on 127.0.0.1 only and prints its address, which holds a\n"
        "fresh random token; only a browser given that address is served. Ctrl-C\n"
        "stops it; edits not saved are lost.\n"
        "\n"
        "Exit status: 0 after Ctrl-C, 1 when the project cannot be opened or served,\n"
        "2 on a usage error.\n",
        out);
}

int Failed(const std::string& what) {
    std::fprintf(stderr, "%s: %s\n", kTool, what.c_str());
    return cli::kExitFailed;
}

// Asks on the terminal whether to start a project in dir; writes it.
bool OfferNewProject(const fs::path& dir, fs::path& project) {
    project = dir / "project.zlp";
    if (!::isatty(STDIN_FILENO)) {
        std::fprintf(stderr, "%s: %s holds no project; start one with zlt900-link --init %s\n", kTool,
                     dir.c_str(), dir.c_str());
        return false;
    }
    std::printf("%s holds no project. Start one as %s? [y/N] ", dir.c_str(), project.c_str());
    std::fflush(stdout);
    char answer[16] = {};
    if (std::fgets(answer, sizeof answer, stdin) == nullptr || (answer[0] != 'y' && answer[0] != 'Y')) return false;
    std::FILE* f = std::fopen(project.c_str(), "wx");
    const bool written = f != nullptr && std::fputs(zlt::tool::kProjectSkeleton, f) >= 0;
    if (f == nullptr || std::fclose(f) != 0 || !written) {
        std::fprintf(stderr, "%s: cannot write %s\n", kTool, project.c_str());
        return false;
    }
    return true;
}

// The project file that the argument names; false after saying why not.
bool FindProject(const std::string& arg, fs::path& project) {
    std::error_code ec;
    if (!fs::is_directory(arg, ec)) {
        project = arg;
        return true;
    }
    std::vector<fs::path> found;
    for (const fs::directory_entry& e : fs::directory_iterator(arg, ec))
        if (e.path().extension() == ".zlp" && e.is_regular_file(ec)) found.push_back(e.path());
    if (found.size() == 1) {
        project = found.front();
        return true;
    }
    if (found.empty()) return OfferNewProject(arg, project);
    std::fprintf(stderr, "%s: %s holds %zu projects; name the one to open\n", kTool, arg.c_str(), found.size());
    return false;
}

void OpenBrowser(const std::string& url) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t none;
    sigemptyset(&none);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK);
    std::string program = "xdg-open";
    char* argv[] = {program.data(), const_cast<char*>(url.c_str()), nullptr};
    pid_t pid = 0;
    if (posix_spawnp(&pid, "xdg-open", &actions, &attributes, argv, environ) != 0)
        std::printf("Open the address in your browser (xdg-open is not there).\n");
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
}

}  // namespace

int main(int argc, char** argv) {
    enum { kOptNoBrowser = 256 };
    const option longOptions[] = {
        {"port", required_argument, nullptr, 'p'},
        {"no-browser", no_argument, nullptr, kOptNoBrowser},
        {"help", no_argument, nullptr, 'h'},
        {"version", no_argument, nullptr, 'V'},
        {nullptr, 0, nullptr, 0},
    };
    zlt::studio::StudioOptions options;
    bool browser = true;
    opterr = 0;
    int c;
    while ((c = getopt_long(argc, argv, ":p:hV", longOptions, nullptr)) != -1) {
        unsigned long long n = 0;
        switch (c) {
        case 'p':
            if (!cli::Number(optarg, 10, 65535, n)) return cli::UsageError(kTool, std::string("bad port '") + optarg + "'");
            options.port = static_cast<unsigned>(n);
            break;
        case kOptNoBrowser: browser = false; break;
        case 'h': Usage(stdout); return cli::kExitOk;
        case 'V': std::printf("%s %s\n", kTool, ZLT_VERSION); return cli::kExitOk;
        default: return cli::OptionError(kTool, c, argv);
        }
    }
    if (argc - optind > 1) return cli::UsageError(kTool, "give one folder or project file");
    fs::path project;
    if (!FindProject(optind < argc ? argv[optind] : ".", project)) return cli::kExitFailed;
    options.project = project.string();

    // Ctrl-C and the like are taken by this thread alone, once the server's
    // threads (which inherit the mask) are running.
    sigset_t stop;
    sigemptyset(&stop);
    for (int s : {SIGINT, SIGTERM, SIGHUP}) sigaddset(&stop, s);
    pthread_sigmask(SIG_BLOCK, &stop, nullptr);

    zlt::studio::Studio studio;
    std::string error;
    if (!studio.Start(options, error)) return Failed(options.project + ": " + error);
    std::printf("Studio: %s\nServing %s; Ctrl-C stops the studio.\n", studio.Url().c_str(), options.project.c_str());
    std::fflush(stdout);
    if (browser) OpenBrowser(studio.Url());
    int signal = 0;
    sigwait(&stop, &signal);
    studio.Stop();
    std::printf("\nStudio stopped.\n");
    return cli::kExitOk;
}
