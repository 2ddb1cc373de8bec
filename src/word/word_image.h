// The word image section (ZLT_WIMG.BIN): the audio of every used word, each
// from its StartPage, transformed page by page from its clip file.
#pragma once

#include "base/context.h"

#include <cstddef>
#include <cstdint>
#include <memory>

namespace zlt {

bool WriteWordImageSection(LinkContext& ctx, DirSlot& slot);

// The fault WriteWordImageSection meets without writing, for a check: a used
// word whose clip ends before its samples do (found by ParseWordTable).
bool CheckWordImage(LinkContext& ctx);

// The read and transform buffers of CopyClip, `blocks` blocks each. One pair
// serves every clip of a word image: memory taken and given back for each
// clip would be faulted in afresh each time, which costs more than copying
// a small clip.
struct ClipRunBuffers {
    explicit ClipRunBuffers(std::size_t blocks);
    std::size_t blocks;
    std::unique_ptr<std::uint8_t[]> in, out;
};

// Checks the clip at path again and appends its transformed data to the
// image: exactly the pages that entry reserved. A clip whose header no longer
// gives this entry (it changed since the word table was read) is refused.
bool CopyClip(LinkContext& ctx, const char* path, const WordEntry& entry, ClipRunBuffers& buffers);

}  // namespace zlt
