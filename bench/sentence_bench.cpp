// Compile time of the heaviest sentence projects.
//
// Every sentence has 64 steps: a block declaration (while labels remain), a
// CALL and a JMP to blocks spread over the whole project, and 61 steps that
// store nothing. With 8189 labels in 8192 sentences this is the largest
// project the sentence table holds (32766 units). Run the release build:
//   build/bench/bench/zlt900_bench --benchmark_filter='Sentences|LinkWorstCase'

#include "base/format.h"
#include "base/message.h"
#include "link/pipeline.h"
#include "sentence/sentence_table.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

namespace zlt {
namespace {

constexpr unsigned kWorstLabels = 8189;

std::string BlockLabel(unsigned i) { return FormatText("Block_%0.4d_of_the_project", static_cast<int>(i)); }

// `sentences` sentences declaring `labels` blocks, the first ones in order.
std::string SentenceSection(unsigned sentences, unsigned labels) {
    std::string text = "[ZLP.Sentence]\n";
    for (unsigned i = 0; i < sentences; ++i) {
        text += FormatText("S%0.4d=", static_cast<int>(i));
        if (i < labels) text += "^BLK_" + BlockLabel(i) + "+";
        text += "^CALL_" + BlockLabel((i * 7919u + 1) % labels);  // anywhere, either way
        text += "+^JMP_" + BlockLabel((labels + i - 1) % labels);
        for (unsigned step = i < labels ? 3 : 2; step < 64; ++step)
            text += step % 2 ? "+^REM_filler_comment" : "+N";
        text += "\n";
    }
    return text;
}

int Discard(const char*) { return 0; }

// The compile stage and the block resolution pass, for `labels` labels in
// as many sentences plus three without a declaration.
void BM_CompileSentences(benchmark::State& state) {
    const auto labels = static_cast<unsigned>(state.range(0));
    auto ctx = std::make_unique<LinkContext>();
    ctx->projectPath = "bench.zlp";
    ctx->reader = IniFile::Parse(SentenceSection(labels + 3, labels));
    SetOutputCallback(Discard);
    for (auto _ : state) {
        ctx->ClearTables();
        if (!CompileSentenceTable(*ctx)) state.SkipWithError("compile failed");
        benchmark::DoNotOptimize(ctx->sentenceTable.data());
    }
    SetOutputCallback(nullptr);
    state.SetComplexityN(labels);
}
BENCHMARK(BM_CompileSentences)
    ->Arg(2048)->Arg(4096)->Arg(kWorstLabels)
    ->Unit(benchmark::kMillisecond)->Complexity(benchmark::oN);

// A whole link of the largest project, without words: reading the project
// file, every stage and every section written.
void BM_LinkWorstCase(benchmark::State& state) {
    namespace fs = std::filesystem;
    std::string dir = (fs::temp_directory_path() / "zlt900-bench-XXXXXX").string();
    if (::mkdtemp(dir.data()) == nullptr) {
        state.SkipWithError("no temporary folder");
        return;
    }
    const std::string project = dir + "/worst.zlp";
    const std::string image = dir + "/worst.cfo";
    std::ofstream(project, std::ios::binary)
        << "[ZLP.Head]\nSignature=NVK\nVersion=1.0\n"
           "[ZLP.System]\nTarget=ZELTA_900\nTG_Mode=TGM_SINGLE_M0\n"
        << SentenceSection(8192, kWorstLabels);
    auto ctx = std::make_unique<LinkContext>();
    SetOutputCallback(Discard);
    for (auto _ : state)
        if (!MakeZltCfo(*ctx, project.c_str(), image.c_str())) state.SkipWithError("link failed");
    SetOutputCallback(nullptr);
    fs::remove_all(dir);
}
BENCHMARK(BM_LinkWorstCase)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace zlt
