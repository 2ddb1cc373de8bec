// When the clock triggers of an image speak: every minute of a stretch of
// time at which a clock trigger's condition holds.
#pragma once

#include "player/civil_time.h"
#include "reader/decoded_image.h"
#include "trigger/clock_condition.h"

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace zlt::player {

struct AgendaEntry {
    CivilTime minute;  // seconds 0
    unsigned trigger = 0;
    std::uint16_t startUnit = 0;  // of the trigger's sentence
};

struct Agenda {
    bool readsClock = false;  // the image's trigger mode reads the clock slots
    std::vector<AgendaEntry> entries;
    bool cut = false;         // more entries than the limit: the first ones only
};

// Only the firmware of the trigger modes whose names end in _M2 reads the
// clock slots.
bool ModeReadsClock(std::string_view triggerMode);

// Whether the condition holds at the minute. An hour range includes its last
// hour and a weekday range its last weekday; either runs on past its end of
// the day or the week when its last is before its first (FRI~MON, 22~2).
bool ConditionHolds(const ClockCondition& condition, const CivilTime& minute);

// Every minute from `from` up to, not including, `to` at which a clock
// trigger's condition holds, in time order (then by trigger number), at most
// `limit` of them; no entry when the image's trigger mode does not read the
// clock slots.
Agenda ClockAgenda(const DecodedImage& image, const CivilTime& from, const CivilTime& to,
                   std::size_t limit = 100000);

}  // namespace zlt::player
