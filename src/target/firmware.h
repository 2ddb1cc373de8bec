// The firmware section (System-K), chosen by the project's trigger mode.
#pragma once

#include "base/context.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

namespace zlt {

// The model name the read-me shows.
inline constexpr std::string_view kModelName = "Zelta-900";

// The firmware resource id of a TG_Mode name (letter case ignored).
std::optional<unsigned> FirmwareIdOf(std::string_view triggerMode);

// The trigger mode names, in resource id order from kFirstFirmwareId.
inline constexpr unsigned kFirstFirmwareId = 4097;
extern const char* const kTriggerModeNames[15];

// The resource id of the carried firmware image that equals `image`; nothing
// when the library carries none such.
std::optional<unsigned> IdentifyFirmware(std::span<const std::uint8_t> image);

// The checks of WriteFirmwareSection, without writing: a trigger mode
// whose firmware this linker holds.
bool CheckTriggerMode(LinkContext& ctx);

bool WriteFirmwareSection(LinkContext& ctx, DirSlot& slot);

}  // namespace zlt
