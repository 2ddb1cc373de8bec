// The sentence compiler and the sentence section (ZLT_STAB.BIN).
#pragma once

#include "base/context.h"

namespace zlt {

// Compiles section ZLP.Sentence into the sentence table and sentence index;
// empties the label table on failure.
bool CompileSentences(LinkContext& ctx);

// Replaces the label numbers of CALL and JMP units by their block starts
// (labels.cpp); empties the label table whatever the outcome.
bool ResolveBlocks(LinkContext& ctx);

// Writes the 32768 code units: 128 pages.
bool WriteSentenceTableSection(LinkContext& ctx, DirSlot& slot);

}  // namespace zlt
