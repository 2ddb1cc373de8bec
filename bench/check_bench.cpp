// Checking the largest project: every W, S and T key of the 8192 each, the
// 8192 clips present, every sentence 64 steps long (each plays its word and
// moves a register; comments and empty steps fill the rest, so that the
// sentence table holds them all), every trigger bound, the clock triggers
// with their conditions. Run the release build:
//   build/bench/bench/zlt900_bench --benchmark_filter=Check

#include "base/format.h"
#include "check/checker.h"
#include "word/clip_writer.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

namespace zlt {
namespace {

std::string LargestProject() {
    std::string text =
        "[ZLP.Head]\nSignature=NVK\nVersion=1.0\n"
        "[ZLP.System]\nTarget=ZELTA_900\nTG_Mode=TGM_PBIN_M2\nDescription=The largest project\n"
        "[ZLP.Firmware]\nBUSY_Signal=1\nReset_Beep=true\nTG_Pin_Debounce_Time=40\n"
        "[ZLP.Firmware.UartMode]\nBitsParity=80\nBaudRate=9600\n[ZLP.Word]\n";
    for (int n = 0; n < 8192; ++n) text += FormatText("W%0.4d=clips/w%0.4d.snx\n", n, n);
    text += "[ZLP.Sentence]\n";
    for (int n = 0; n < 8192; ++n) {
        text += FormatText("S%0.4d=W%0.4d+^MOV_R1_3", n, n);
        for (int step = 2; step < 64; ++step) text += step % 2 ? "+^REM_note" : "+N";
        text += "\n";
    }
    text += "[ZLP.Trigger]\n";
    for (int n = 0; n < 8192; ++n) {
        if (n >= 7808 && n <= 7935)
            text += FormatText("T%0.4d=LUN + S%0.4d + MON~FRI/8~17:30\n", n, n);
        else
            text += FormatText("T%0.4d=LUN + S%0.4d\n", n, n);
    }
    return text;
}

void BM_CheckLargestProject(benchmark::State& state) {
    namespace fs = std::filesystem;
    std::string dir = (fs::temp_directory_path() / "zlt900-check-bench-XXXXXX").string();
    if (::mkdtemp(dir.data()) == nullptr) {
        state.SkipWithError("no temporary folder");
        return;
    }
    const fs::path saved = fs::current_path();
    fs::current_path(dir);
    fs::create_directory("clips");
    ClipFields fields;
    const std::vector<std::int16_t> samples(256, 0);
    const std::vector<std::uint8_t> clip = MakeClip16(fields, samples);
    for (int n = 0; n < 8192; ++n) WriteClipFile(FormatText("clips/w%0.4d.snx", n), clip);
    std::ofstream("largest.zlp", std::ios::binary) << LargestProject();
    std::size_t found = 0;
    for (auto _ : state) {
        found = CheckProject("largest.zlp").size();
        benchmark::DoNotOptimize(found);
    }
    if (found != 0) state.SkipWithError("the largest project is not clean");
    fs::current_path(saved);
    fs::remove_all(dir);
}
BENCHMARK(BM_CheckLargestProject)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace zlt
