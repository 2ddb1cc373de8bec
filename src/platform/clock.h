// The link time: the local clock, or a time the host fixed for reproducible
// images.
#pragma once

#include <cstdint>

namespace zlt {

struct LinkTime {
    std::uint16_t year;
    std::uint16_t month;      // 1 to 12
    std::uint16_t dayOfWeek;  // 0 = Sunday
    std::uint16_t day;        // 1 to 31
    std::uint16_t hour;
    std::uint16_t minute;
    std::uint16_t second;
    std::uint16_t millisecond;

    bool operator==(const LinkTime&) const = default;
};

// A negative value returns to the clock.
void SetFixedLinkTime(long long epochSeconds);

// The fixed time shown in UTC, or else the local time now.
LinkTime GetLocalTime();

namespace platform {

// The clock as each platform reads it (clock_posix.cpp, clock_windows.cpp).
// UtcTimeOf returns false for a time the platform cannot show.
bool UtcTimeOf(long long epochSeconds, LinkTime& out);
LinkTime LocalTimeNow();

}  // namespace platform

}  // namespace zlt
