// The sentence compiler and the block resolution pass on sentence texts:
// each line of the input is one sentence (S0000, S0001, ...), with words 0
// to 9 defined. A compile that succeeds leaves every sentence ended by an
// end mark and playing defined words only; no compile leaves a label behind.
// A check of the same sentences finds an error exactly when the compile
// fails, the first with the compile's error line.
#include "fuzz_support.h"
#include "project/ini_file.h"
#include "sentence/sentence_table.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

constexpr unsigned kMaxSentences = 64;
constexpr unsigned kDefinedWords = 10;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    zlt::SetOutputCallback(zlt::fuzz::Discard);
    std::string_view input(reinterpret_cast<const char*>(data), size);
    std::string project = "[ZLP.Sentence]\n";
    unsigned count = 0;
    for (; !input.empty() && count < kMaxSentences; ++count) {
        const std::size_t eol = input.find('\n');
        char key[8];
        std::snprintf(key, sizeof key, "S%04u=", count);
        project.append(key).append(input.substr(0, eol)).append("\n");
        input.remove_prefix(eol == std::string_view::npos ? input.size() : eol + 1);
    }
    // The same project, compiled for a link and checked.
    static auto* ctx = new zlt::LinkContext;
    static auto* check = new zlt::LinkContext;
    for (zlt::LinkContext* c : {ctx, check}) {
        c->ClearTables();
        c->projectPath = "fuzz.zlp";
        c->reader = zlt::IniFile::Parse(project);
        for (unsigned w = 0; w < kDefinedWords; ++w) c->wordTable[w].length = 0x01000001;
        c->report.Start(c == ctx ? zlt::Reporter::Mode::kLink : zlt::Reporter::Mode::kCheck, c->projectPath);
    }
    const zlt::fuzz::LinkRun link = zlt::fuzz::RunInLinkMode([] { return zlt::CompileSentenceTable(*ctx); });
    zlt::CompileSentenceTable(*check);
    zlt::fuzz::RequireCheckAgrees(link, check->report.Diagnostics());
    if (!link.ok) return 0;
    for (unsigned n = 0; n < count; ++n) {
        unsigned at = ctx->sentenceIndex[n];
        if (at == 0) continue;
        for (; at < zlt::kSentenceUnits && ctx->sentenceTable[at] != 0xFFFF; ++at) {
            // A word step plays a defined word and has marked it used.
            const unsigned unit = ctx->sentenceTable[at];
            if (unit >= 0x2000 && unit < 0x4000 &&
                (unit - 0x2000 >= kDefinedWords || (ctx->wordTable[unit - 0x2000].length >> 31) == 0))
                std::abort();
        }
        if (at == zlt::kSentenceUnits) std::abort();  // runs off the table
    }
    return 0;
}
