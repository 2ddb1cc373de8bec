#include "trigger/clock_condition.h"

#include "base/format.h"
#include "project/scan.h"

namespace zlt {

namespace {

constexpr std::uint32_t kInUse = 0x80000000;

// Where each field lies in the word: its lowest bit and its largest value.
struct FieldBits {
    unsigned ClockCondition::*field;
    unsigned shift;
    unsigned max;
};
constexpr FieldBits kFieldBits[] = {
    {&ClockCondition::month, 27, 15},       {&ClockCondition::day, 22, 31},
    {&ClockCondition::firstWeekday, 19, 7}, {&ClockCondition::lastWeekday, 16, 7},
    {&ClockCondition::hour, 11, 31},        {&ClockCondition::lastHour, 6, 31},
    {&ClockCondition::minute, 0, 63},
};
constexpr unsigned kAnyWeekday = 7;
constexpr unsigned kNoHourRange = 31;

// How the fields of a text form fill the condition.
enum class ClockKind { kDate, kWeekdayRange, kWeekday, kAnyDay };

struct ClockForm {
    const char* pattern;
    ClockKind kind;
    bool hourRange;
};

// Tried in this order; the first that reads all its fields wins.
constexpr ClockForm kClockForms[] = {
    {" %[^-/]-%u/%u~%u:%u", ClockKind::kDate, true},
    {" %[^-/]-%u/%u:%u", ClockKind::kDate, false},
    {" %[^~/]~%[^/]/%u~%u:%u", ClockKind::kWeekdayRange, true},
    {" %[^~/]~%[^/]/%u:%u", ClockKind::kWeekdayRange, false},
    {" %[^/]/%u~%u:%u", ClockKind::kWeekday, true},
    {" %[^/]/%u:%u", ClockKind::kWeekday, false},
    {" %u~%u:%u", ClockKind::kAnyDay, true},
    {" %u:%u", ClockKind::kAnyDay, false},
};

char Upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

// Index of `name` among `names` compared without regard to case.
template <std::size_t N>
std::optional<unsigned> IndexOfName(std::string_view name, const char* const (&names)[N]) {
    for (std::size_t i = 0; i < N; ++i) {
        std::string_view candidate = names[i];
        if (candidate.size() != name.size()) continue;
        bool same = true;
        for (std::size_t k = 0; k < name.size() && same; ++k) same = Upper(name[k]) == candidate[k];
        if (same) return static_cast<unsigned>(i);
    }
    return std::nullopt;
}

// A number read from a text, as a field value; numbers beyond any field
// become a value that no field holds.
unsigned FieldValue(std::int64_t n) { return n < 0 || n > 0xFFFF ? 0xFFFF : static_cast<unsigned>(n); }

}  // namespace

std::optional<std::uint32_t> PackClockCondition(const ClockCondition& c) {
    std::uint32_t word = kInUse;
    for (const FieldBits& f : kFieldBits) {
        if (c.*f.field > f.max) return std::nullopt;
        word |= static_cast<std::uint32_t>(c.*f.field) << f.shift;
    }
    return word;
}

std::optional<ClockCondition> UnpackClockCondition(std::uint32_t word) {
    if ((word & kInUse) == 0) return std::nullopt;
    ClockCondition c;
    for (const FieldBits& f : kFieldBits) c.*f.field = (word >> f.shift) & f.max;
    return c;
}

std::optional<unsigned> MonthNumber(std::string_view name) {
    const std::optional<unsigned> i = IndexOfName(name, kMonthNames);
    return i ? std::optional(*i + 1) : std::nullopt;
}

std::optional<unsigned> WeekdayNumber(std::string_view name) { return IndexOfName(name, kWeekdayNames); }

std::optional<ClockReading> ReadClockCondition(std::string_view text) {
    for (const ClockForm& form : kClockForms) {
        scan::PatternFields f;
        if (!scan::Pattern(form.pattern, text, kMaxClockName, f)) continue;
        ClockReading r;
        ClockCondition& c = r.condition;
        const std::int64_t* n = f.numbers;
        switch (form.kind) {
        case ClockKind::kDate:
            c.month = MonthNumber(f.texts[0]).value_or(1);
            c.day = FieldValue(*n++);
            r.monthName = true;
            break;
        case ClockKind::kWeekdayRange:
            c.firstWeekday = WeekdayNumber(f.texts[0]).value_or(0);
            c.lastWeekday = WeekdayNumber(f.texts[1]).value_or(0);
            break;
        case ClockKind::kWeekday:
            c.firstWeekday = WeekdayNumber(f.texts[0]).value_or(0);
            break;
        case ClockKind::kAnyDay:
            break;
        }
        c.hour = FieldValue(*n++);
        if (form.hourRange) c.lastHour = FieldValue(*n++);
        c.minute = FieldValue(*n);
        r.names[0] = f.texts[0];
        r.names[1] = f.texts[1];
        r.rest = f.rest;
        return r;
    }
    return std::nullopt;
}

std::optional<std::uint32_t> ClockConditionWord(std::string_view text) {
    const std::optional<ClockReading> r = ReadClockCondition(text);
    // A number wider than its bits would spill into its neighbours.
    return r ? PackClockCondition(r->condition) : std::nullopt;
}

std::optional<std::string> ClockConditionText(std::uint32_t word) {
    const std::optional<ClockCondition> c = UnpackClockCondition(word);
    if (!c) return std::nullopt;
    std::string text;
    if (c->month != 0) {
        if (c->month > 12 || c->firstWeekday != kAnyWeekday || c->lastWeekday != kAnyWeekday) return std::nullopt;
        text = FormatText("%s-%u/", kMonthNames[c->month - 1], c->day);
    } else if (c->day != 0) {
        return std::nullopt;
    } else if (c->firstWeekday != kAnyWeekday) {
        text = kWeekdayNames[c->firstWeekday];
        if (c->lastWeekday != kAnyWeekday) text += std::string("~") + kWeekdayNames[c->lastWeekday];
        text += "/";
    } else if (c->lastWeekday != kAnyWeekday) {
        return std::nullopt;
    }
    text += FormatText("%u", c->hour);
    if (c->lastHour != kNoHourRange) text += FormatText("~%u", c->lastHour);
    return text + FormatText(":%u", c->minute);
}

}  // namespace zlt
