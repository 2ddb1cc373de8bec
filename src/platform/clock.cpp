#include "platform/clock.h"

#include <atomic>
#include <ctime>

namespace zlt {

namespace {
std::atomic<long long> g_fixedEpoch{-1};

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

void SetFixedLinkTime(long long epochSeconds) {
    g_fixedEpoch.store(epochSeconds < 0 ? -1 : epochSeconds);
}

LinkTime GetLocalTime() {
    std::tm tm{};
    long long fixed = g_fixedEpoch.load();
    if (fixed >= 0) {
        std::time_t t = static_cast<std::time_t>(fixed);
        if (gmtime_r(&t, &tm) != nullptr)
            return FromTm(tm, 0);
    }
    std::timespec now{};
    std::timespec_get(&now, TIME_UTC);
    localtime_r(&now.tv_sec, &tm);
    return FromTm(tm, now.tv_nsec / 1000000);
}

}  // namespace zlt
