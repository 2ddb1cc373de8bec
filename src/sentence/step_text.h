// Step texts: how the text of a sentence splits into steps, and where each
// step stands in the project file.
#pragma once

#include "project/ini_file.h"

#include <optional>
#include <string>
#include <string_view>

namespace zlt {

struct LinkContext;

// The next step text of a sentence's text: a piece between the separators
// '+' and ';', without its leading white space, up to its first blank (tabs
// stay part of it). The rest of the piece, from that blank on, is not read;
// `dropped` receives it. Pieces of white space only are skipped like empty
// ones.
std::optional<std::string_view> NextStepText(std::string_view& text, std::string_view* dropped = nullptr);

// A sentence as the compiler reads it, with where its parts stand.
struct SentenceSite {
    const LinkContext* ctx;
    unsigned number;
    std::string key;   // "S0005"
    std::string text;  // the value through the system's code page

    // Sentence n of the project.
    static SentenceSite Read(const LinkContext& ctx, unsigned n);
    // Where a part of `text` (a view into it) stands in the project file; the
    // whole value when the code page changed the text's length.
    TextSpan At(std::string_view part) const;
    // Step text number `step`; none past the last.
    std::optional<std::string_view> Step(unsigned step) const;
};

}  // namespace zlt
