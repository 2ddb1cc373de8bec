// The key table and trigger table sections (ZLT_KTAB.BIN, ZLT_TTAB.BIN).
#pragma once

#include "base/context.h"

namespace zlt {

// Completes the key table with its magic number, constant pair and the link
// time, then writes it: 18 pages.
bool WriteKeyTableSection(LinkContext& ctx, DirSlot& slot);

// Writes the trigger table, one u16 per trigger: 32 pages.
bool WriteTriggerTableSection(LinkContext& ctx, DirSlot& slot);

}  // namespace zlt
