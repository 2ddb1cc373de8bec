#include "player/agenda.h"

#include <algorithm>

namespace zlt::player {

namespace {

// A condition's fields hold these values for any weekday, no weekday range
// and no hour range.
constexpr ClockCondition kUnset{};

// first..last, going on past the end of the day or the week when last < first.
bool InRange(unsigned first, unsigned last, unsigned value) {
    return first <= last ? first <= value && value <= last : value >= first || value <= last;
}

bool DayHolds(const ClockCondition& c, const CivilTime& day) {
    if (c.month != 0 && (static_cast<int>(c.month) != day.month || static_cast<int>(c.day) != day.day)) return false;
    if (c.firstWeekday == kUnset.firstWeekday) return true;
    const auto weekday = static_cast<unsigned>(Weekday(day));
    if (c.lastWeekday == kUnset.lastWeekday) return weekday == c.firstWeekday;
    return InRange(c.firstWeekday, c.lastWeekday, weekday);
}

bool HourHolds(const ClockCondition& c, int hour) {
    const auto h = static_cast<unsigned>(hour);
    return c.lastHour == kUnset.lastHour ? h == c.hour : InRange(c.hour, c.lastHour, h);
}

}  // namespace

bool ModeReadsClock(std::string_view triggerMode) { return triggerMode.ends_with("_M2"); }

bool ConditionHolds(const ClockCondition& c, const CivilTime& minute) {
    return DayHolds(c, minute) && HourHolds(c, minute.hour) && static_cast<int>(c.minute) == minute.minute;
}

Agenda ClockAgenda(const DecodedImage& image, const CivilTime& from, const CivilTime& to, std::size_t limit) {
    Agenda agenda;
    agenda.readsClock = ModeReadsClock(image.triggerMode);
    if (!agenda.readsClock) return agenda;
    struct Clocked {
        const TriggerBinding* trigger;
        ClockCondition condition;
    };
    std::vector<Clocked> clocked;
    for (const TriggerBinding& t : image.triggers)
        if (t.clockWord) clocked.push_back({&t, *UnpackClockCondition(*t.clockWord)});
    if (clocked.empty()) return agenda;
    const long long end = ToSeconds(to);
    // Day by day, so that each day's entries come after the day before's.
    for (CivilTime day{from.year, from.month, from.day}; ToSeconds(day) < end && !agenda.cut;
         day = FromSeconds(ToSeconds(day) + 86400)) {
        const std::size_t first = agenda.entries.size();
        for (const Clocked& c : clocked) {
            if (!DayHolds(c.condition, day) || c.condition.minute > 59) continue;
            for (int hour = 0; hour < 24; ++hour) {
                CivilTime minute{day.year, day.month, day.day, hour, static_cast<int>(c.condition.minute)};
                if (HourHolds(c.condition, hour) && from <= minute && ToSeconds(minute) < end)
                    agenda.entries.push_back({minute, c.trigger->trigger, c.trigger->startUnit});
            }
        }
        std::sort(agenda.entries.begin() + static_cast<std::ptrdiff_t>(first), agenda.entries.end(),
                  [](const AgendaEntry& a, const AgendaEntry& b) {
                      return a.minute != b.minute ? a.minute < b.minute : a.trigger < b.trigger;
                  });
        if (agenda.entries.size() > limit) {
            agenda.entries.resize(limit);
            agenda.cut = true;
        }
    }
    return agenda;
}

}  // namespace zlt::player
