// The trigger stage: binds trigger numbers to sentences (section
// ZLP.Trigger), with their mode bits and, for clock triggers, the clock
// condition word.
#pragma once

#include "base/context.h"
#include "trigger/key_table.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace zlt {

// Limits of an entry's text.
inline constexpr std::size_t kMaxTriggerValue = 4095;
inline constexpr std::size_t kMaxModeField = 7;
inline constexpr std::size_t kMaxSentenceField = 63;
inline constexpr std::size_t kMaxClockField = 255;

// The fields of an entry "modes + sentence + clock"; `count` is how many
// were found (fields after the second are optional).
struct TriggerFields {
    std::string_view modes, sentence, clock;
    int count = 0;
};

// Splits an entry. Nothing when a field is longer than its limit.
std::optional<TriggerFields> SplitTriggerEntry(std::string_view value);

// Trigger attribute byte, one per trigger in the key table: bit 7 set for a
// bound trigger, bits 6, 5 and 4 from the mode letters, bits 3 to 0 zero.
inline constexpr std::uint8_t kBoundAttribute = 0x80;
constexpr bool IsBoundAttribute(std::uint8_t a) { return (a & 0x8F) == kBoundAttribute; }

// The mode bits of the attribute byte from the first three mode letters;
// nothing when one of them is not accepted.
std::optional<std::uint8_t> ModeBits(std::string_view modes);
// The mode letters of an attribute byte, as capitals: "LUN" for all three
// bits set, "EHI" for none.
std::string ModeLetters(std::uint8_t attribute);

// Binds trigger t (below kEntryCount) by its non-empty entry text, as the
// stage does for each key of ZLP.Trigger; reports a fault and returns false.
bool ParseTriggerEntry(LinkContext& ctx, unsigned t, std::string_view value);

bool ParseTriggerTable(LinkContext& ctx);

}  // namespace zlt
