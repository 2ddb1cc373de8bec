// Reading the largest project file: every W, S and T key of the 8192 each,
// with clip paths, sentences and triggers of ordinary lengths, and every
// option. Run the release build:
//   build/bench/bench/zlt900_bench --benchmark_filter=Project

#include "base/format.h"
#include "largest_project.h"
#include "project/ini_file.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace zlt {

std::string MaximalProjectClip(int n) { return FormatText("clips/word_%0.4d_of_the_voice_project.snx", n); }

std::string MaximalProject(std::string (*sentence)(int n)) {
    std::string text =
        "[ZLP.Head]\nSignature=NVK\nVersion=1.0\n"
        "[ZLP.System]\nTarget=ZELTA_900\nTG_Mode=TGM_PBIN_M2\nDescription=The largest project\n"
        "[ZLP.Firmware]\nBUSY_Signal=1\nReset_Beep=true\nTG_Pin_Debounce_Time=40\n"
        "[ZLP.Firmware.UartMode]\nBitsParity=80\nBaudRate=9600\n[ZLP.Word]\n";
    for (int n = 0; n < 8192; ++n) text += FormatText("W%0.4d=", n) + MaximalProjectClip(n) + "\n";
    text += "[ZLP.Sentence]\n";
    for (int n = 0; n < 8192; ++n) text += FormatText("S%0.4d=", n) + sentence(n) + "\n";
    text += "[ZLP.Trigger]\n";
    for (int n = 0; n < 8192; ++n) {
        if (n >= 7808 && n <= 7935)
            text += FormatText("T%0.4d=LUN + S%0.4d + MON~FRI/8~17:30\n", n, n);
        else
            text += FormatText("T%0.4d=LUN + S%0.4d\n", n, n);
    }
    return text;
}

namespace {

// Sentences of ordinary length: words, a pause, a loop.
std::string OrdinarySentence(int n) {
    return FormatText("W%0.4d+M100+^MOV_R1_3+W%0.4d+^DJNZ_R1_STEP1+^RET", n, (n + 1) % 8192);
}

// Loading: the file read and parsed into sections and keys.
void BM_ProjectLoad(benchmark::State& state) {
    namespace fs = std::filesystem;
    const std::string text = MaximalProject(OrdinarySentence);
    const std::string path = (fs::temp_directory_path() / "zlt900-bench-project.zlp").string();
    std::ofstream(path, std::ios::binary) << text;
    for (auto _ : state) {
        auto ini = IniFile::Load(path.c_str());
        if (!ini) state.SkipWithError("load failed");
        benchmark::DoNotOptimize(ini.get());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
    state.counters["keys"] = 3 * 8192;
    fs::remove(path);
}
BENCHMARK(BM_ProjectLoad)->Unit(benchmark::kMillisecond);

// The lookups a link makes: every W, S and T key by its formatted name.
void BM_ProjectLookups(benchmark::State& state) {
    const auto ini = IniFile::Parse(MaximalProject(OrdinarySentence));
    const struct {
        const char* section;
        Format<int> key;
    } kinds[] = {{"ZLP.Word", "W%0.4d"}, {"ZLP.Sentence", "S%0.4d"}, {"ZLP.Trigger", "T%0.4d"}};
    for (auto _ : state) {
        std::size_t bytes = 0;
        for (const auto& kind : kinds)
            for (int n = 0; n < 8192; ++n) bytes += ini->ReadString(kind.section, FormatText(kind.key, n), "").size();
        benchmark::DoNotOptimize(bytes);
    }
}
BENCHMARK(BM_ProjectLookups)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace zlt
