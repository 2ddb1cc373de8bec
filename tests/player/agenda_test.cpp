// The minutes at which clock conditions hold, over the week from Monday
// 2026-12-21 to Monday 2026-12-28, worked out by hand from a calendar.
#include "player/agenda.h"

#include "base/format.h"

#include <gtest/gtest.h>

namespace zlt::player {
namespace {

DecodedImage ClockImage(const char* condition, const char* mode) {
    DecodedImage image;
    image.triggerMode = mode;
    image.triggers.push_back({7935, "LUN", 1, ClockConditionWord(condition)});
    return image;
}

TEST(Agenda, EachClockFormOverAWeek) {
    const struct {
        const char* condition;
        const char* minutes;  // "day hour:minute" of December
    } rows[] = {
        {"DEC-24/22~23:59", "24 22:59, 24 23:59"},
        {"DEC-25/0:0", "25 00:00"},
        {"SAT~MON/9~10:5", "21 09:05, 21 10:05, 26 09:05, 26 10:05, 27 09:05, 27 10:05"},
        {"TUE~WED/7:45", "22 07:45, 23 07:45"},
        {"THU/23~1:30", "24 00:30, 24 01:30, 24 23:30"},
        {"SUN/6:0", "27 06:00"},
        {"22~23:0", "21 22:00, 21 23:00, 22 22:00, 22 23:00, 23 22:00, 23 23:00, 24 22:00, 24 23:00, "
                    "25 22:00, 25 23:00, 26 22:00, 26 23:00, 27 22:00, 27 23:00"},
        {"12:0", "21 12:00, 22 12:00, 23 12:00, 24 12:00, 25 12:00, 26 12:00, 27 12:00"},
    };
    const CivilTime from{2026, 12, 21}, to{2026, 12, 28};
    for (const auto& row : rows) {
        const Agenda agenda = ClockAgenda(ClockImage(row.condition, "TGM_BIN_M2"), from, to);
        std::string minutes;
        for (const AgendaEntry& e : agenda.entries)
            minutes += (minutes.empty() ? "" : ", ") +
                       FormatText("%d %0.2d:%0.2d", e.minute.day, e.minute.hour, e.minute.minute);
        EXPECT_EQ(minutes, row.minutes) << row.condition;
    }
    // From 00:00:30 on, the minute 00:00 has passed; only _M2 modes read the clock.
    EXPECT_TRUE(ClockAgenda(ClockImage("DEC-25/0:0", "TGM_BIN_M2"), {2026, 12, 25, 0, 0, 30}, to).entries.empty());
    const Agenda silent = ClockAgenda(ClockImage("12:0", "TGM_BIN_M0"), from, to);
    EXPECT_FALSE(silent.readsClock);
    EXPECT_TRUE(silent.entries.empty());
}

}  // namespace
}  // namespace zlt::player
