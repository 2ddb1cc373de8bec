// The sentence and trigger stages in a check.
//
// These stages report through LnkPrintf and stop at their first fault. A
// check runs them as a link does, reads the fault back from the lines they
// send, and reports it located and by kind; then it leaves the faulty
// sentence out and compiles again, or goes on with the next trigger, so that
// every faulty entry is reported once. Once the two stages report through
// the Reporter themselves, this reading of lines goes away.
#include "check/checker.h"

#include "base/context.h"
#include "base/format.h"
#include "sentence/sentence_table.h"
#include "trigger/trigger_table.h"

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace zlt {

namespace {

// A check reports at most this many faulty sentences, each costing a compile.
constexpr unsigned kMaxSentenceFaults = 50;

// The lines of a stage's fault: its error line and the detail lines after
// it; and the last sentence the compiler announced.
struct StageLines {
    std::string lastParsing;
    std::vector<std::string> fault;

    static void Collect(const char* text, void* self) {
        auto& lines = *static_cast<StageLines*>(self);
        const std::string_view t = text;
        if (t.starts_with("\n        Parsing "))
            lines.lastParsing = t;
        else if (t.starts_with("\nErr: ") || (t.starts_with("\n     ") && t.size() > 6 && t[6] != ' '))
            lines.fault.emplace_back(t);
    }
    // The text of detail line i after "= " or "at ", or "".
    std::string Detail(std::size_t i) const {
        if (i >= fault.size()) return "";
        const std::size_t eq = fault[i].find("= ");
        return eq == std::string::npos ? "" : fault[i].substr(eq + 2);
    }
};

std::string Key(char letter, int n) { return FormatText("%c%0.4d", static_cast<int>(letter), n); }

// Reports the sentence fault of `lines`; the number of the sentence it is
// in, or -1 when the lines name none.
int ReportSentenceFault(LinkContext& ctx, const StageLines& lines) {
    if (lines.fault.empty()) return -1;
    const char* e = lines.fault[0].c_str();
    int s = -1, step = -1, word = -1, units = 0;
    Finding f{};
    auto at = [&](int n) { return ValueSpan(*ctx.reader, "ZLP.Sentence", Key('S', n)); };
    std::sscanf(lines.lastParsing.c_str(), "\n        Parsing S%d", &s);
    const int parsed = s;
    if (std::sscanf(e, "\nErr: Inavlid code in S%d(Step%d)", &s, &step) == 2) {
        f = Found<Diag::kInvalidStep>(at(s), Key('S', s), std::to_string(step), Key('S', s));
    } else if (std::sscanf(e, "\nErr: W%d referance fail, in S%d(Step%d)", &word, &s, &step) == 3) {
        f = Found<Diag::kUndefinedWord>(at(s), Key('S', s), std::to_string(step), Key('S', s), Key('W', word));
    } else if (std::sscanf(e, "\nErr: STEP referance fail, in S%d(Step%d)", &s, &step) == 2) {
        f = Found<Diag::kBadStepReference>(at(s), Key('S', s), std::to_string(step), Key('S', s), Key('S', s));
    } else if (std::sscanf(e, "\nErr: BLK referance fail, at S%d", &s) == 1) {
        f = Found<Diag::kUndeclaredBlock>(at(s), Key('S', s), Key('S', s), lines.Detail(1));
    } else if (std::sscanf(e, "\nErr: BLK out of JMP range, at S%d", &s) == 1) {
        f = Found<Diag::kBlockPlacement>(at(s), Key('S', s), Key('S', s), lines.Detail(1),
                                         "it starts beyond the reach of a JMP");
    } else if (std::sscanf(e, "\nErr: Internal error for BLK at S%d(Step%d)", &s, &step) == 2) {
        f = Found<Diag::kBlockPlacement>(at(s), Key('S', s), Key('S', s), "", "the label table is full");
    } else if (lines.fault[0].starts_with("\nErr: Multiple BLK declaration") && lines.fault.size() >= 4) {
        int old = -1;
        std::sscanf(lines.fault[2].c_str(), "\n     Old declaration at S%d", &old);
        std::sscanf(lines.fault[3].c_str(), "\n     Dup declaration at S%d(Step%d)", &s, &step);
        f = Found<Diag::kDuplicateBlock>(at(s), Key('S', s), std::to_string(step), Key('S', s),
                                         lines.Detail(1), Key('S', old));
    } else if (std::sscanf(e, "\nErr: More then %d STEPs", &units) == 1) {
        s = std::max(parsed, 0);
        f = Found<Diag::kSentenceTableFull>(at(s), Key('S', s), std::to_string(units), Key('S', s));
    } else {
        // A fault this reading does not know: charged to the sentence being
        // compiled, so that the check fails where the link does.
        s = std::max(parsed, 0);
        f = Found<Diag::kInvalidStep>(at(s), Key('S', s), "?", Key('S', s));
        f.message += FormatText(" (%s)", e + 6);
    }
    ctx.report.Fail(std::move(f), "%s", e);
    return s;
}

}  // namespace

std::set<unsigned> CheckSentences(LinkContext& ctx) {
    std::set<unsigned> uncompiled;
    for (unsigned round = 0;; ++round) {
        ctx.sentenceTable.fill(0xFFFF);
        ctx.sentenceIndex.fill(0);
        StageLines lines;
        bool ok;
        {
            MessageTap tap(StageLines::Collect, &lines);
            ok = CompileSentenceTable(ctx);
        }
        if (ok) return uncompiled;
        const int s = ReportSentenceFault(ctx, lines);
        const bool more = s >= 0 && !uncompiled.contains(static_cast<unsigned>(s)) &&
                          !lines.fault[0].starts_with("\nErr: More then") && round + 1 < kMaxSentenceFaults;
        if (!more) {
            // The sentences from here on cannot be told apart: none counts as compiled.
            for (unsigned n = s < 0 ? 0 : static_cast<unsigned>(s); n < kEntryCount; ++n) uncompiled.insert(n);
            return uncompiled;
        }
        uncompiled.insert(static_cast<unsigned>(s));
        ctx.reader->Forget("ZLP.Sentence", Key('S', s));
    }
}

void CheckTriggers(LinkContext& ctx, const std::set<unsigned>& uncompiled) {
    for (unsigned t = 0; t < kEntryCount; ++t) {
        const std::string key = Key('T', static_cast<int>(t));
        const std::string value = ctx.reader->ReadString("ZLP.Trigger", key, "");
        if (value.empty()) continue;
        StageLines lines;
        bool ok;
        {
            MessageTap tap(StageLines::Collect, &lines);
            ok = ParseTriggerEntry(ctx, t, value);
        }
        if (ok || lines.fault.empty()) continue;
        const char* e = lines.fault[0].c_str();
        const TextSpan at = ValueSpan(*ctx.reader, "ZLP.Trigger", key);
        int s = -1;
        if (std::sscanf(e, "\nErr: S%d referance fail", &s) == 1) {
            // A sentence already reported is not reported again here.
            if (uncompiled.contains(static_cast<unsigned>(s))) continue;
            ctx.report.Fail(Found<Diag::kUndefinedSentence>(at, key, key, Key('S', s)), "%s", e);
        } else {
            ctx.report.Fail(Found<Diag::kInvalidTrigger>(at, key, key), "%s", e);
        }
    }
}

}  // namespace zlt
