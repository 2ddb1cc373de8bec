// The firmware options: settings page of the key table.
#pragma once

#include "link/context.h"

namespace zlt {

// Key-table offsets of the settings that the option stage fills.
inline constexpr std::size_t kOptFlags1 = 0x50;  // bit 15 Reset_Beep, bit 14 UseStartupPlay
inline constexpr std::size_t kOptTgDebounce = 0x54;
inline constexpr std::size_t kOptStDebounce = 0x56;
inline constexpr std::size_t kOptBusySignal = 0x58;
inline constexpr std::size_t kOptStopSignal = 0x59;
inline constexpr std::size_t kOptStopPulse = 0x5A;
inline constexpr std::size_t kOptStartupPlayVtg = 0x5C;
inline constexpr std::size_t kOptBitsParity = 0x90;
inline constexpr std::size_t kOptBaudRate = 0x92;
inline constexpr std::size_t kOptFrameBytes = 0x94;  // Leading1, Leading2, Ending1, Ending2
inline constexpr std::size_t kOptFlags2 = 0xB0;      // bits 15, 14, 13: trigger rules

// Reads sections ZLP.Firmware and ZLP.Firmware.UartMode into the key table.
bool ParseOptionTable(LinkContext& ctx);

}  // namespace zlt
