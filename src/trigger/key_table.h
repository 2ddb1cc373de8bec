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
// Byte offsets of the fields; numbers are little-endian.
enum Offset : std::size_t {
    kMagic = 0x0000,         // "NVK" and a NUL
    kModelId = 0x0004,       // "ZLT-900" and a NUL, kModelIdSize bytes
    kConstantPair = 0x001C,  // u16 512, u16 0
    kLinkTime = 0x0020,      // 8 x u16, in the order of LinkTime
    // The settings page, filled by the option stage: u8 and u16 fields.
    kOptionFlags1 = 0x0050,  // u16: Reset_Beep, UseStartupPlay
    kTgPinDebounceTime = 0x0054,
    kStPinDebounceTime = 0x0056,
    kBusySignal = 0x0058,
    kStopSignal = 0x0059,
    kStopPulseTime = 0x005A,
    kStartupPlayVtg = 0x005C,
    kBitsParity = 0x0090,
    kBaudRate = 0x0092,
    kFrameLeading1 = 0x0094,
    kFrameLeading2 = 0x0095,
    kFrameEnding1 = 0x0096,
    kFrameEnding2 = 0x0097,
    kOptionFlags2 = 0x00B0,  // u16: the three trigger rules
    // One attribute byte per trigger, then one u32 clock slot per clock trigger.
    kAttributes = 0x0200,
    kClockSlots = 0x2200,
};
inline constexpr std::size_t kModelIdSize = 8;

// Bits of the two option flag words.
enum FlagBit : std::uint16_t {
    kResetBeep = 0x8000,             // word 1
    kUseStartupPlay = 0x4000,        // word 1
    kPriorityRetrigger = 0x8000,     // word 2
    kImmediateBreak = 0x4000,        // word 2
    kBackgroundResumable = 0x2000,   // word 2
};
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
