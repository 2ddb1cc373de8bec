// Runs the sentence compiler and the block resolution pass on sentence texts
// alone, without a whole link.
#pragma once

#include "base/format.h"
#include "support/stage_fixture.h"

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace zlt::test {

using Sentences = std::map<unsigned, std::string>;

// Words 0 to 9 are defined in every run; others are not.
inline constexpr unsigned kDefinedWords = 10;

inline constexpr std::uint16_t E = 0xFFFF;  // end mark

struct SentenceRun : StageRun {
    using StageRun::StageRun;
    // Units 1 up to the next free unit that "Total used STEP" reported
    // (after the block resolution pass when that ran); empty when the
    // compile failed.
    std::vector<std::uint16_t> units;
};

// Compiles the sentences, keyed by sentence number, and when that succeeds
// runs the block resolution pass.
std::unique_ptr<SentenceRun> CompileSentenceTexts(const Sentences& sentences);

// Sentences that compile and fill exactly `units` units from sentence number
// `first` on: 64 word steps and an end mark each, the last one shorter.
// Returns the number after the last sentence added.
unsigned AddFiller(Sentences& sentences, unsigned first, unsigned units);

// `step` count times, joined by '+'.
std::string Repeat(const std::string& step, unsigned count);

// A compile that succeeds with exactly these units from unit 1 on.
struct UnitsCase {
    Sentences sentences;
    std::vector<std::uint16_t> units;
};
void ExpectUnits(const std::vector<UnitsCase>& cases);

// A compile or resolution that fails with these last message lines.
struct FailureCase {
    Sentences sentences;
    std::vector<std::string> lastLines;
};
void ExpectFailures(const std::vector<FailureCase>& cases);

// The section text for the sentences: "[ZLP.Sentence]" and one key per line,
// quoted when it begins or ends with a blank.
std::string SentenceSection(const Sentences& sentences);

}  // namespace zlt::test
