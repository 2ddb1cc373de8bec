#include "check/checker.h"

#include "base/context.h"
#include "link/pipeline.h"
#include "options/option_table.h"
#include "sentence/instructions.h"
#include "sentence/sentence_table.h"
#include "trigger/trigger_table.h"
#include "target/firmware.h"
#include "word/word_image.h"
#include "word/word_table.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <set>

namespace zlt {

namespace {

// Whether every sentence was compiled to its end, also the faulty ones: a
// check knows what each plays and where each jumps only then.
bool EverySentenceRead(const LinkContext& ctx) {
    for (unsigned n = 0; n < kEntryCount; ++n)
        if (ctx.faultySentences.test(n) && ctx.sentenceIndex[n] == 0) return false;
    return true;
}

// Warns about defined words that no sentence plays, unless their clip was
// refused.
void WarnUnusedWords(LinkContext& ctx) {
    std::set<std::string> faulty;
    for (const Diagnostic& d : ctx.report.Diagnostics())
        if (d.severity == Severity::kError) faulty.insert(d.key);
    for (unsigned n = 0; n < kEntryCount; ++n) {
        if (!IsDefined(ctx.wordTable[n]) || IsUsed(ctx.wordTable[n])) continue;
        const std::string key = WordKey(n);
        if (!faulty.contains(key)) ctx.report.Warn(Found<Diag::kUnusedWord>(WordValueSpan(ctx, key), key, key));
    }
}

// Warns about sentences that no trigger binds and no CALL or JMP of a
// played sentence enters.
void WarnUnreachedSentences(LinkContext& ctx) {
    std::vector<std::pair<unsigned, unsigned>> starts;  // (first unit, sentence), in unit order
    for (unsigned n = 0; n < kEntryCount; ++n)
        if (ctx.sentenceIndex[n] != 0) starts.emplace_back(ctx.sentenceIndex[n], n);
    std::vector<bool> reached(starts.size());
    std::vector<std::size_t> todo;
    const auto reach = [&](unsigned unit) {
        const auto holder = std::upper_bound(starts.begin(), starts.end(), std::pair(unit, kEntryCount));
        if (holder == starts.begin()) return;
        const auto i = static_cast<std::size_t>(holder - starts.begin() - 1);
        if (!reached[i]) todo.push_back(i);
        reached[i] = true;
    };
    for (const std::uint16_t start : ctx.triggerTable)
        if (start != 0) reach(start);
    while (!todo.empty()) {
        const std::size_t i = todo.back();
        todo.pop_back();
        const unsigned end = i + 1 < starts.size() ? starts[i + 1].first : kSentenceUnits;
        for (unsigned k = starts[i].first; k < end; ++k) {
            const std::uint16_t u = ctx.sentenceTable[k];
            if (u < 0x8000 || u == kEndMark) continue;  // only CALL and JMP units have bit 15
            if (const std::optional<DecodedUnit> jump = DecodeUnit(u)) reach(BlockStart(*jump));
        }
    }
    for (std::size_t i = 0; i < starts.size(); ++i) {
        if (reached[i]) continue;
        const std::string key = FormatText("S%0.4d", static_cast<int>(starts[i].second));
        ctx.report.Warn(Found<Diag::kUnreachedSentence>(ValueSpan(*ctx.reader, "ZLP.Sentence", key), key, key));
    }
}

// The diagnostics in file order; a note keeps its place after the one it
// belongs to, diagnostics at one place keep the order they were found in.
std::vector<Diagnostic> InFileOrder(std::vector<Diagnostic> found) {
    std::vector<std::size_t> head(found.size());
    for (std::size_t i = 0; i < found.size(); ++i)
        head[i] = (found[i].severity == Severity::kNote && i > 0) ? head[i - 1] : i;
    std::vector<std::size_t> order(found.size());
    for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
        const TextSpan& x = found[head[a]].at;
        const TextSpan& y = found[head[b]].at;
        if (x.line != y.line) return x.line < y.line;
        if (x.column != y.column) return x.column < y.column;
        return head[a] < head[b];
    });
    std::vector<Diagnostic> sorted;
    sorted.reserve(found.size());
    for (std::size_t i : order) sorted.push_back(std::move(found[i]));
    return sorted;
}

// Runs the checks in the order a link makes them, so that the first error
// found is the one a link stops at.
void RunChecks(LinkContext& ctx) {
    if (std::strlen(ctx.projectPath.c_str()) > kMaxPathLength) {
        ctx.report.Fail(Found<Diag::kPathTooLong>({}, "", std::to_string(kMaxPathLength)),
                        "\nErr: Path longer than %d characters: %s", static_cast<int>(kMaxPathLength),
                        ctx.projectPath.c_str());
        return;
    }
    ctx.reader = IniFile::Load(ctx.projectPath.c_str());
    if (!ctx.reader) {
        ctx.report.Fail(Found<Diag::kProjectUnreadable>({}, "", ctx.projectPath),
                        "\nErr: Can not load file %s", ctx.projectPath.c_str());
        return;
    }
    LintProjectText(ctx);
    CheckHead(ctx);
    CheckTarget(ctx);
    ParseOptionTable(ctx);
    ParseWordTable(ctx);
    CompileSentenceTable(ctx);
    ParseTriggerTable(ctx);
    // The word image is checked only when every used word has its place.
    const bool placed = PlaceWords(ctx);
    CheckTriggerMode(ctx);
    if (placed) CheckWordImage(ctx);
    if (!EverySentenceRead(ctx)) return;
    WarnUnusedWords(ctx);
    WarnUnreachedSentences(ctx);
}

}  // namespace

std::vector<Diagnostic> CheckProject(const char* projectPath) {
    auto ctx = std::make_unique<LinkContext>();
    ctx->ClearTables();
    ctx->projectPath = projectPath ? projectPath : "";
    ctx->report.Start(Reporter::Mode::kCheck, ctx->projectPath);
    {
        QuietMessages quiet;
        RunChecks(*ctx);
    }
    return InFileOrder(ctx->report.Take());
}

}  // namespace zlt
