// The sentences of a read image in the step language.
#pragma once

#include "reader/decoded_image.h"

#include <cstdint>
#include <string>
#include <vector>

namespace zlt {

struct SentenceListing {
    std::uint16_t start = 0;         // unit index of its first code unit
    std::uint16_t endMark = 0;       // unit index of its end mark
    std::vector<std::string> steps;  // joined with '+' they compile back to the same units
    // Beside each step, the unit index of the unit it makes (a pad unit for
    // the block declaration that stores one); 0 for a step that makes none.
    std::vector<std::uint16_t> stepUnits;
};

// Lists each sentence of the image. Code blocks are labelled by the unit
// index they start at (^BLK_L6 for unit 6), step references name steps of
// the listed sentence. Returns false and describes the first sentence that
// has no listing in `error`.
bool ListSentences(const DecodedImage& image, std::vector<SentenceListing>& out, std::string& error);

// The sentence as a project writes it: its steps joined by '+', or N for a
// sentence of no step.
std::string SentenceText(const SentenceListing& sentence);

// The position in the listing of the sentence whose code starts at `unit`;
// -1 when none does.
int SentenceAt(const std::vector<SentenceListing>& sentences, unsigned unit);

}  // namespace zlt
