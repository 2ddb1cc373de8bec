// The trigger stage: binds trigger numbers to sentences (section
// ZLP.Trigger), with their mode bits and, for clock triggers, the clock
// condition word.
#pragma once

#include "base/context.h"
#include "trigger/key_table.h"

#include <cstdint>
#include <optional>
#include <string_view>

namespace zlt {

// Names of clock conditions: months give 1 to 12, weekdays 0 (Sunday) to 6.
inline constexpr const char* kMonthNames[12] = {"JAN", "FEB", "MAR", "APR", "MAY", "JUN",
                                                "JUL", "AUG", "SEP", "OCT", "NOV", "DEC"};
inline constexpr const char* kWeekdayNames[7] = {"SUN", "MON", "TUE", "WED", "THU", "FRI", "SAT"};

// Limits of an entry's text.
inline constexpr std::size_t kMaxTriggerValue = 4095;
inline constexpr std::size_t kMaxModeField = 7;
inline constexpr std::size_t kMaxSentenceField = 63;
inline constexpr std::size_t kMaxClockField = 255;
inline constexpr std::size_t kMaxClockName = 7;

// The fields of an entry "modes + sentence + clock"; `count` is how many
// were found (fields after the second are optional).
struct TriggerFields {
    std::string_view modes, sentence, clock;
    int count = 0;
};

// Splits an entry. Nothing when a field is longer than its limit.
std::optional<TriggerFields> SplitTriggerEntry(std::string_view value);

// The mode bits 6, 5 and 4 of the attribute byte, from the first three mode
// letters; nothing when one of them is not accepted.
std::optional<std::uint8_t> ModeBits(std::string_view modes);

// The 32-bit clock condition word (bit 31 set) of a clock condition in one of
// its eight forms; nothing when no form matches or a number does not fit its
// bits.
std::optional<std::uint32_t> ClockConditionWord(std::string_view condition);

// Binds trigger t (below kEntryCount) by its non-empty entry text, as the
// stage does for each key of ZLP.Trigger; reports a fault and returns false.
bool ParseTriggerEntry(LinkContext& ctx, unsigned t, std::string_view value);

bool ParseTriggerTable(LinkContext& ctx);

}  // namespace zlt
