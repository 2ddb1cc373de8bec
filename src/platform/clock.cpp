#include "platform/clock.h"

#include <atomic>

namespace zlt {

namespace {
std::atomic<long long> g_fixedEpoch{-1};
}  // namespace

void SetFixedLinkTime(long long epochSeconds) {
    g_fixedEpoch.store(epochSeconds < 0 ? -1 : epochSeconds);
}

LinkTime GetLocalTime() {
    long long fixed = g_fixedEpoch.load();
    LinkTime t{};
    if (fixed >= 0 && platform::UtcTimeOf(fixed, t)) return t;
    return platform::LocalTimeNow();
}

}  // namespace zlt
