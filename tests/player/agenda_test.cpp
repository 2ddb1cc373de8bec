// The minutes at which clock conditions hold, over the week from Monday
// 2026-12-21 to Monday 2026-12-28, worked out by hand from a calendar. The
// demo's agenda in tests/golden/demo.play.txt shows a date, every day, a
// weekday range with an hour range, the order of triggers at one minute and
// the bounds of a stretch; here are the other forms.
#include "player/agenda.h"

#include "base/format.h"

#include <gtest/gtest.h>

namespace zlt::player {
namespace {

// The minutes of one clock trigger's condition, as "day hour:minute" of December.
std::string Minutes(const char* condition, const CivilTime& from, const char* mode = "TGM_BIN_M2") {
    DecodedImage image;
    image.triggerMode = mode;
    image.triggers.push_back({7935, "LUN", 1, ClockConditionWord(condition)});
    const Agenda agenda = ClockAgenda(image, from, {2026, 12, 28});
    std::string minutes = agenda.readsClock ? "" : "(no clock)";
    for (const AgendaEntry& e : agenda.entries)
        minutes += (minutes.empty() ? "" : ", ") +
                   FormatText("%d %0.2d:%0.2d", e.minute.day, e.minute.hour, e.minute.minute);
    return minutes;
}

TEST(Agenda, EachClockFormOverAWeek) {
    const CivilTime monday{2026, 12, 21};
    EXPECT_EQ(Minutes("DEC-24/22~23:59", monday), "24 22:59, 24 23:59");
    EXPECT_EQ(Minutes("SAT~MON/9~10:5", monday), "21 09:05, 21 10:05, 26 09:05, 26 10:05, 27 09:05, 27 10:05");
    EXPECT_EQ(Minutes("THU/23~1:30", monday), "24 00:30, 24 01:30, 24 23:30");
    EXPECT_EQ(Minutes("SUN/6:0", monday), "27 06:00");
    // From 00:00:30 on, the minute 00:00 has passed; only _M2 modes read the clock.
    EXPECT_EQ(Minutes("DEC-25/0:0", {2026, 12, 25, 0, 0, 30}), "");
    EXPECT_EQ(Minutes("12:0", monday, "TGM_BIN_M0"), "(no clock)");
}

}  // namespace
}  // namespace zlt::player
