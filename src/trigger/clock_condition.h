// The clock condition of a clock trigger: its eight text forms in a project
// and the 32-bit condition word of its clock slot, read and written here.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace zlt {

// Names of clock conditions, compared without regard to case: months give 1
// to 12, weekdays 0 (Sunday) to 6.
inline constexpr const char* kMonthNames[12] = {"JAN", "FEB", "MAR", "APR", "MAY", "JUN",
                                                "JUL", "AUG", "SEP", "OCT", "NOV", "DEC"};
inline constexpr const char* kWeekdayNames[7] = {"SUN", "MON", "TUE", "WED", "THU", "FRI", "SAT"};
// Bytes a month or weekday name holds at most.
inline constexpr std::size_t kMaxClockName = 7;

// The fields of a condition word.
struct ClockCondition {
    unsigned month = 0;         // 1 to 12; 0 for any date
    unsigned day = 0;           // day of the month; 0 with month 0
    unsigned firstWeekday = 7;  // 0 to 6; 7 for any weekday
    unsigned lastWeekday = 7;   // 0 to 6; 7 for no weekday range
    unsigned hour = 0;
    unsigned lastHour = 31;     // 31 for no hour range
    unsigned minute = 0;

    bool operator==(const ClockCondition&) const = default;
};

// The condition word, bit 31 set as the mark of a used slot; nothing when a
// field is wider than its bits.
std::optional<std::uint32_t> PackClockCondition(const ClockCondition& condition);
// The fields of a word; nothing when bit 31 is clear.
std::optional<ClockCondition> UnpackClockCondition(std::uint32_t word);

// The number of a month name (1 to 12) or weekday name (0 to 6), letter case
// ignored; nothing for any other text.
std::optional<unsigned> MonthNumber(std::string_view name);
std::optional<unsigned> WeekdayNumber(std::string_view name);

// A condition text as read by the first of the eight forms that matches it:
// the fields (an unknown month name read as January, an unknown weekday
// name as Sunday), the names as written, and the text after the last
// number, which is not read.
struct ClockReading {
    ClockCondition condition;
    std::string_view names[2];  // views into the text; empty where the form has none
    bool monthName = false;     // names[0] is a month, not a weekday
    std::string_view rest;
};
std::optional<ClockReading> ReadClockCondition(std::string_view text);

// The condition word of a condition text in one of its eight forms; nothing
// when no form matches or a number does not fit its bits.
std::optional<std::uint32_t> ClockConditionWord(std::string_view text);

// The condition text of a word, in the shortest form that gives it, e.g.
// "MON~FRI/8~17:0"; nothing for a word that no text gives.
std::optional<std::string> ClockConditionText(std::uint32_t word);

}  // namespace zlt
