// The sentence compiler and the sentence section (ZLT_STAB.BIN).
#pragma once

#include "base/context.h"

namespace zlt {

// The sentence stage: compiles section ZLP.Sentence into the sentence table
// and sentence index, then resolves the code blocks. Its label table lives
// only as long as the stage, so no label outlives a link.
//
// A link stops at the first fault. A check reports every fault of every
// sentence, marks the faulty sentences in ctx.faultySentences and resolves
// the blocks all the same.
bool CompileSentenceTable(LinkContext& ctx);

// Writes the 32768 code units: 128 pages.
bool WriteSentenceTableSection(LinkContext& ctx, DirSlot& slot);

}  // namespace zlt
