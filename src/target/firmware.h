// The firmware section (System-K), chosen by the project's trigger mode.
#pragma once

#include "base/context.h"

#include <optional>
#include <string_view>

namespace zlt {

// The firmware resource id of a TG_Mode name (letter case ignored).
std::optional<unsigned> FirmwareIdOf(std::string_view triggerMode);

// The trigger mode names, in resource id order from 4097.
extern const char* const kTriggerModeNames[15];

// The checks of WriteFirmwareSection, without writing: a trigger mode
// whose firmware this linker holds.
bool CheckTriggerMode(LinkContext& ctx);

bool WriteFirmwareSection(LinkContext& ctx, DirSlot& slot);

}  // namespace zlt
