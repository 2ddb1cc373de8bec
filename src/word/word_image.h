// The word image section (ZLT_WIMG.BIN): the audio of every used word, each
// from its StartPage, transformed page by page from its clip file.
#pragma once

#include "link/context.h"

namespace zlt {

bool WriteWordImageSection(LinkContext& ctx, DirSlot& slot);

// Checks the clip at path again and appends its transformed data to the
// image: exactly the pages that entry reserved. A clip whose header no longer
// gives this entry (it changed since the word table was read) is refused.
bool CopyClip(LinkContext& ctx, const char* path, const WordEntry& entry);

}  // namespace zlt
