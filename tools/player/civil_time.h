// Calendar time as a wall clock shows it, without a time zone: the module's
// clock, the times the player is given and the minutes of an agenda.
#pragma once

#include <compare>
#include <optional>
#include <string>
#include <string_view>

namespace zlt::player {

struct CivilTime {
    int year = 2000;
    int month = 1;  // 1 to 12
    int day = 1;    // 1 to the month's last day
    int hour = 0;
    int minute = 0;
    int second = 0;

    auto operator<=>(const CivilTime&) const = default;
};

// Gregorian calendar rules, also before 1582.
int DaysInMonth(int year, int month);
// 0 = Sunday.
int Weekday(const CivilTime& t);

// Seconds since 1970-01-01 00:00:00 of the same wall clock, and back.
long long ToSeconds(const CivilTime& t);
CivilTime FromSeconds(long long seconds);

// "YYYY-MM-DD HH:MM:SS"; the seconds, or the whole time of day, may be left
// off (they are then 0). Years 1 to 9999. Nothing for any other text or a
// date that does not exist.
std::optional<CivilTime> ParseCivilTime(std::string_view text);
// "YYYY-MM-DD HH:MM", with ":SS" when withSeconds.
std::string CivilTimeText(const CivilTime& t, bool withSeconds);

// The local time of the system clock now.
CivilTime LocalTimeNow();

}  // namespace zlt::player
