// Checking the largest project: every W, S and T key of the 8192 each, the
// 8192 clips present, every sentence 64 steps long (each plays its word and
// moves a register; comments and empty steps fill the rest, so that the
// sentence table holds them all), every trigger bound, the clock triggers
// with their conditions. Run the release build:
//   build/bench/bench/zlt900_bench --benchmark_filter=Check

#include "base/format.h"
#include "check/checker.h"
#include "largest_project.h"
#include "word/clip_writer.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

namespace zlt {
namespace {

// 64 steps: the sentence's word, a register move, then comments and empty
// steps, which store nothing, so that the sentence table holds all 8192.
std::string LongSentence(int n) {
    std::string text = FormatText("W%0.4d+^MOV_R1_3", n);
    for (int step = 2; step < 64; ++step) text += step % 2 ? "+^REM_note" : "+N";
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
    for (int n = 0; n < 8192; ++n) WriteClipFile(MaximalProjectClip(n), clip);
    std::ofstream("largest.zlp", std::ios::binary) << MaximalProject(LongSentence);
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
