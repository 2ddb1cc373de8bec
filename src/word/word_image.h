// The word image section (ZLT_WIMG.BIN): the audio of every used word.
#pragma once

#include "link/context.h"

namespace zlt {

bool WriteWordImageSection(LinkContext& ctx, DirSlot& slot);

}  // namespace zlt
