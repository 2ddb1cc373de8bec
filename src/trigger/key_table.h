// The key table (ZLT_KTAB.BIN): the module's identity and settings, the
// trigger attribute bytes and the clock slots. Every field's offset, and the
// writing and reading of the fields the key table itself owns.
#pragma once

#include "base/image.h"
#include "platform/clock.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace zlt {

using KeyTable = std::span<std::uint8_t, kKeyTableBytes>;
using KeyTableView = std::span<const std::uint8_t, kKeyTableBytes>;

namespace key_table {
inline constexpr std::size_t kMagic = 0x0000;         // "NVK" and a NUL
inline constexpr std::size_t kModelId = 0x0004;       // "ZLT-900" and a NUL
inline constexpr std::size_t kModelIdSize = 8;
inline constexpr std::size_t kConstantPair = 0x001C;  // u16 512, u16 0
inline constexpr std::size_t kLinkTime = 0x0020;      // 8 x u16, in the order of LinkTime
// The settings page, filled by the option stage: u8 and u16 fields.
inline constexpr std::size_t kOptionFlags1 = 0x0050;  // Reset_Beep, UseStartupPlay
inline constexpr std::size_t kTgPinDebounceTime = 0x0054;
inline constexpr std::size_t kStPinDebounceTime = 0x0056;
inline constexpr std::size_t kBusySignal = 0x0058;
inline constexpr std::size_t kStopSignal = 0x0059;
inline constexpr std::size_t kStopPulseTime = 0x005A;
inline constexpr std::size_t kStartupPlayVtg = 0x005C;
inline constexpr std::size_t kBitsParity = 0x0090;
inline constexpr std::size_t kBaudRate = 0x0092;
inline constexpr std::size_t kFrameLeading1 = 0x0094;
inline constexpr std::size_t kFrameLeading2 = 0x0095;
inline constexpr std::size_t kFrameEnding1 = 0x0096;
inline constexpr std::size_t kFrameEnding2 = 0x0097;
inline constexpr std::size_t kOptionFlags2 = 0x00B0;  // the three trigger rules
// Bits of the two option flag words.
inline constexpr std::uint16_t kResetBeep = 0x8000;          // word 1
inline constexpr std::uint16_t kUseStartupPlay = 0x4000;     // word 1
inline constexpr std::uint16_t kPriorityRetrigger = 0x8000;  // word 2
inline constexpr std::uint16_t kImmediateBreak = 0x4000;     // word 2
inline constexpr std::uint16_t kBackgroundResumable = 0x2000;  // word 2
// One attribute byte per trigger, then one u32 clock slot per clock trigger.
inline constexpr std::size_t kAttributes = 0x0200;
inline constexpr std::size_t kClockSlots = 0x2200;
}  // namespace key_table

// Clock triggers: their condition words fill the clock slots backwards, the
// last clock trigger the first slot.
inline constexpr unsigned kFirstClockTrigger = 7808;
inline constexpr unsigned kLastClockTrigger = 7935;
constexpr bool IsClockTrigger(unsigned t) { return t >= kFirstClockTrigger && t <= kLastClockTrigger; }
constexpr std::size_t ClockSlotOffset(unsigned clockTrigger) {
    return key_table::kClockSlots + 4 * (kLastClockTrigger - clockTrigger);
}
constexpr std::size_t AttributeOffset(unsigned trigger) { return key_table::kAttributes + trigger; }

// The Model-ID, stored once the project's target is accepted.
void PutModelId(KeyTable kt);
std::string ModelIdOf(KeyTableView kt);

// The magic number, the constant pair and the link time stamp, which the
// key table gets just before it is written.
void PutKeyTableHead(KeyTable kt, const LinkTime& time);
bool HasKeyTableMagic(KeyTableView kt);
LinkTime LinkTimeOf(KeyTableView kt);

}  // namespace zlt
