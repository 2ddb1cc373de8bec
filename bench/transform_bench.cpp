// The block transform from clip data to word image pages, per MiB, for each
// sample width. Run the release build:
//   build/bench/bench/zlt900_bench --benchmark_filter=BlockTransform

#include "word/clip.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

namespace zlt {
namespace {

void BM_BlockTransform(benchmark::State& state) {
    const auto bits = static_cast<unsigned>(state.range(0));
    constexpr std::size_t kBlocks = 2048;  // 1 MiB, one run of the word image writer
    std::vector<std::uint8_t> in(kBlocks * kClipBlockSize), out(in.size());
    std::uint32_t x = 12345;
    for (auto& b : in) {
        x = x * 1664525u + 1013904223u;
        b = static_cast<std::uint8_t>(x >> 24);
    }
    const BlockTransform transform(ClipKey{0x3C, 0xA5}, bits);
    for (auto _ : state) {
        transform.Apply(in.data(), out.data(), kBlocks);
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * in.size()));
}
BENCHMARK(BM_BlockTransform)->Arg(8)->Arg(16)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace zlt
