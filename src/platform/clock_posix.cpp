// The clock through the C library's broken-down times.
#include "platform/clock.h"

#include <ctime>

namespace zlt::platform {

namespace {
LinkTime FromTm(const std::tm& tm, long millisecond) {
    return LinkTime{static_cast<std::uint16_t>(tm.tm_year + 1900),
                    static_cast<std::uint16_t>(tm.tm_mon + 1),
                    static_cast<std::uint16_t>(tm.tm_wday),
                    static_cast<std::uint16_t>(tm.tm_mday),
                    static_cast<std::uint16_t>(tm.tm_hour),
                    static_cast<std::uint16_t>(tm.tm_min),
                    static_cast<std::uint16_t>(tm.tm_sec),
                    static_cast<std::uint16_t>(millisecond)};
}
}  // namespace

bool UtcTimeOf(long long epochSeconds, LinkTime& out) {
    std::tm tm{};
    std::time_t t = static_cast<std::time_t>(epochSeconds);
    if (gmtime_r(&t, &tm) == nullptr) return false;
    out = FromTm(tm, 0);
    return true;
}

LinkTime LocalTimeNow() {
    std::tm tm{};
    std::timespec now{};
    std::timespec_get(&now, TIME_UTC);
    localtime_r(&now.tv_sec, &tm);
    return FromTm(tm, now.tv_nsec / 1000000);
}

}  // namespace zlt::platform
