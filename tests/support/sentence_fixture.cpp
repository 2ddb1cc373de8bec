#include "support/sentence_fixture.h"

#include "base/format.h"
#include "sentence/sentence_table.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace zlt::test {

std::string SentenceSection(const Sentences& sentences) {
    std::string text = "[ZLP.Sentence]\n";
    for (const auto& [n, value] : sentences) {
        bool quote = !value.empty() && (value.front() == ' ' || value.back() == ' ');
        text += FormatText("S%0.4d", static_cast<int>(n)) + "=" + (quote ? "\"" : "") + value +
                (quote ? "\"" : "") + "\n";
    }
    return text;
}

std::unique_ptr<SentenceRun> CompileSentenceTexts(const Sentences& sentences) {
    auto run = std::make_unique<SentenceRun>(SentenceSection(sentences));
    LinkContext& ctx = *run->ctx;
    for (unsigned w = 0; w < kDefinedWords; ++w) ctx.wordTable[w].length = 0x01000001;
    run->ok = CompileSentenceTable(ctx);
    const std::string total = "\n        Total used STEP = ";
    for (const auto& line : run->log.lines()) {
        if (line.rfind(total, 0) != 0) continue;
        unsigned next = static_cast<unsigned>(std::stoul(line.substr(total.size())));
        run->units.assign(ctx.sentenceTable.begin() + 1, ctx.sentenceTable.begin() + next);
    }
    return run;
}

unsigned AddFiller(Sentences& sentences, unsigned first, unsigned units) {
    unsigned n = first;
    while (units > 0) {
        unsigned take = std::min(units, 65u);
        // take - 1 word steps and the end mark; a comment alone takes its
        // own end mark only.
        std::string text = take == 1 ? "^REM_filler" : "W1";
        for (unsigned i = 2; i < take; ++i) text += "+W1";
        sentences[n++] = text;
        units -= take;
    }
    return n;
}

std::string Repeat(const std::string& step, unsigned count) {
    std::string text = step;
    for (unsigned i = 1; i < count; ++i) text += "+" + step;
    return text;
}

namespace {
// The sentences as a failure message shows them.
std::string Describe(const Sentences& sentences) { return SentenceSection(sentences).substr(0, 400); }
}  // namespace

void ExpectUnits(const std::vector<UnitsCase>& cases) {
    for (const auto& c : cases) {
        auto run = CompileSentenceTexts(c.sentences);
        EXPECT_TRUE(run->ok) << Describe(c.sentences) << run->LastLine();
        EXPECT_EQ(run->units, c.units) << Describe(c.sentences);
    }
}

void ExpectFailures(const std::vector<FailureCase>& cases) {
    for (const auto& c : cases) {
        auto run = CompileSentenceTexts(c.sentences);
        EXPECT_FALSE(run->ok) << Describe(c.sentences);
        const auto& lines = run->log.lines();
        std::vector<std::string> tail(
            lines.end() - std::min(lines.size(), c.lastLines.size()), lines.end());
        EXPECT_EQ(tail, c.lastLines) << Describe(c.sentences);
    }
}

}  // namespace zlt::test
