// The key table and trigger table sections (ZLT_KTAB.BIN, ZLT_TTAB.BIN).
#pragma once

#include "base/context.h"

namespace zlt {

inline constexpr std::size_t kKeyTimeStamp = 0x20;       // 8 x u16
inline constexpr std::size_t kKeyAttributes = 0x200;     // one byte per trigger
inline constexpr std::size_t kKeyClockSlots = 0x2200;    // 128 x u32

// Stores the magic number, the constant pair at 0x1C and the link time stamp,
// then writes the key table: 18 pages.
bool WriteKeyTableSection(LinkContext& ctx, DirSlot& slot);

// Writes the trigger table: 32 pages.
bool WriteTriggerTableSection(LinkContext& ctx, DirSlot& slot);

}  // namespace zlt
