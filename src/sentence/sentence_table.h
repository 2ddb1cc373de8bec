// The sentence compiler and the sentence section (ZLT_STAB.BIN).
#pragma once

#include "base/context.h"
#include "sentence/labels.h"

namespace zlt {

// The sentence stage: compiles section ZLP.Sentence into the sentence table
// and sentence index, then resolves the code blocks. Its label table lives
// only as long as the stage, so no label outlives a link.
bool CompileSentenceTable(LinkContext& ctx);

// The compile alone, gathering the block labels in `labels`; empties them
// on failure.
bool CompileSentences(LinkContext& ctx, LabelTable& labels);

// Writes the 32768 code units: 128 pages.
bool WriteSentenceTableSection(LinkContext& ctx, DirSlot& slot);

}  // namespace zlt
