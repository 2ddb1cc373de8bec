// The clock through the system time of Windows: GetLocalTime for the local
// time, and a file time turned into calendar fields for a fixed time.
#include "platform/clock.h"

#include <windows.h>

namespace zlt::platform {

namespace {
LinkTime FromSystemTime(const SYSTEMTIME& st) {
    return LinkTime{st.wYear, st.wMonth, st.wDayOfWeek, st.wDay,
                    st.wHour, st.wMinute, st.wSecond,    st.wMilliseconds};
}

// File times count 100 ns ticks from 1601-01-01 00:00:00 UTC.
constexpr unsigned long long kEpochAsFileTime = 116444736000000000ull;
constexpr unsigned long long kTicksPerSecond = 10000000ull;
}  // namespace

bool UtcTimeOf(long long epochSeconds, LinkTime& out) {
    // The largest file time, in the year 30828, is the last one shown.
    constexpr long long kLastSecond = 910692730085LL;
    if (epochSeconds < 0 || epochSeconds > kLastSecond) return false;
    const unsigned long long ticks =
        kEpochAsFileTime + static_cast<unsigned long long>(epochSeconds) * kTicksPerSecond;
    FILETIME ft;
    ft.dwLowDateTime = static_cast<DWORD>(ticks);
    ft.dwHighDateTime = static_cast<DWORD>(ticks >> 32);
    SYSTEMTIME st;
    if (!FileTimeToSystemTime(&ft, &st)) return false;
    out = FromSystemTime(st);
    return true;
}

LinkTime LocalTimeNow() {
    SYSTEMTIME st;
    ::GetLocalTime(&st);
    return FromSystemTime(st);
}

}  // namespace zlt::platform
