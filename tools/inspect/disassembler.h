// Turns the code units of an image's sentence table back into sentences of
// the step language.
#pragma once

#include "inspect/image_model.h"

#include <cstdint>
#include <string>
#include <vector>

namespace zlt::inspect {

struct SentenceListing {
    std::uint16_t start;             // unit index of its first code unit
    std::uint16_t endMark;           // unit index of its end mark
    std::vector<std::string> steps;  // step texts; joined with '+' they compile back to the same units
};

// Splits the code into sentences and disassembles them. Code blocks are
// labelled by the unit index they start at (^BLK_L6 for unit 6), step
// references name steps of the listed sentence. Returns false and describes
// the first unit that no sentence could hold in `error`.
bool Disassemble(const Image& image, std::vector<SentenceListing>& out, std::string& error);

// The step text of one unit at unit index `at`, with step references given
// as unit distances resolved by the caller; empty for a unit that no step
// produces.
std::string UnitText(std::uint16_t unit, unsigned at);

}  // namespace zlt::inspect
