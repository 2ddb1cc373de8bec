// The one way a section goes into the image being linked.
#pragma once

#include "base/context.h"

#include <cstdint>
#include <span>

namespace zlt {

// Writes a section's bytes at the image's current end, followed by zero bytes
// up to the next page boundary, and sets the slot's byte length and page
// count. Reports a failed write and returns false.
bool EmitSection(LinkContext& ctx, DirSlot& slot, std::span<const std::uint8_t> bytes);

}  // namespace zlt
