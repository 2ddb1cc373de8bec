#include "player/civil_time.h"

#include "base/format.h"
#include "project/scan.h"

#include <ctime>

namespace zlt::player {

namespace {

constexpr long long kSecondsPerDay = 86400;

bool IsLeapYear(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

// Days since 1970-01-01: the civil-from-days algorithms of the proleptic
// Gregorian calendar, counted in eras of 400 years from 0000-03-01.
long long DaysFromCivil(int y, int m, int d) {
    y -= m <= 2;
    const long long era = (y >= 0 ? y : y - 399) / 400;
    const long long yearOfEra = y - era * 400;
    const long long dayOfYear = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const long long dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + dayOfEra - 719468;
}

void CivilFromDays(long long z, CivilTime& t) {
    z += 719468;
    const long long era = (z >= 0 ? z : z - 146096) / 146097;
    const long long dayOfEra = z - era * 146097;
    const long long yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const long long dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const long long mp = (5 * dayOfYear + 2) / 153;
    t.day = static_cast<int>(dayOfYear - (153 * mp + 2) / 5 + 1);
    t.month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    t.year = static_cast<int>(yearOfEra + era * 400 + (t.month <= 2));
}

// Exactly `digits` decimal digits at the front of text, taken off it.
std::optional<int> Digits(std::string_view& text, std::size_t digits) {
    std::optional<std::string_view> field = scan::Span(text, scan::CharSet::Digits(), digits);
    if (!field || field->size() != digits) return std::nullopt;
    return static_cast<int>(*scan::Decimal(*field));
}

}  // namespace

int DaysInMonth(int year, int month) {
    constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

int Weekday(const CivilTime& t) {
    const long long days = DaysFromCivil(t.year, t.month, t.day);
    return static_cast<int>(((days % 7) + 7 + 4) % 7);  // 1970-01-01 was a Thursday
}

long long ToSeconds(const CivilTime& t) {
    return DaysFromCivil(t.year, t.month, t.day) * kSecondsPerDay + t.hour * 3600LL + t.minute * 60LL + t.second;
}

CivilTime FromSeconds(long long seconds) {
    long long days = seconds / kSecondsPerDay;
    long long rest = seconds % kSecondsPerDay;
    if (rest < 0) {
        rest += kSecondsPerDay;
        --days;
    }
    CivilTime t;
    CivilFromDays(days, t);
    t.hour = static_cast<int>(rest / 3600);
    t.minute = static_cast<int>(rest / 60 % 60);
    t.second = static_cast<int>(rest % 60);
    return t;
}

std::optional<CivilTime> ParseCivilTime(std::string_view text) {
    std::optional<int> year = Digits(text, 4), month, day, hour = 0, minute = 0, second = 0;
    if (!year || !scan::Literal(text, "-") || !(month = Digits(text, 2)) || !scan::Literal(text, "-") ||
        !(day = Digits(text, 2)))
        return std::nullopt;
    if (!text.empty()) {
        if (!scan::Literal(text, " ") || !(hour = Digits(text, 2)) || !scan::Literal(text, ":") ||
            !(minute = Digits(text, 2)))
            return std::nullopt;
        if (!text.empty() && (!scan::Literal(text, ":") || !(second = Digits(text, 2)))) return std::nullopt;
    }
    if (!text.empty() || *year < 1 || *month < 1 || *month > 12 || *day < 1 || *day > DaysInMonth(*year, *month) ||
        *hour > 23 || *minute > 59 || *second > 59)
        return std::nullopt;
    return CivilTime{*year, *month, *day, *hour, *minute, *second};
}

std::string CivilTimeText(const CivilTime& t, bool withSeconds) {
    std::string text = FormatText("%0.4d-%0.2d-%0.2d %0.2d:%0.2d", t.year, t.month, t.day, t.hour, t.minute);
    return withSeconds ? text + FormatText(":%0.2d", t.second) : text;
}

CivilTime LocalTimeNow() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return CivilTime{local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min,
                     local.tm_sec};
}

}  // namespace zlt::player
