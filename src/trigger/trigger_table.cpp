#include "trigger/trigger_table.h"

#include "base/bytes.h"
#include "base/format.h"
#include "base/message.h"
#include "project/scan.h"

namespace zlt {

namespace {

char Upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

// Index of `name` among `names` compared without regard to case, else `fallback`.
template <std::size_t N>
unsigned IndexOfName(std::string_view name, const char* const (&names)[N], unsigned first,
                     unsigned fallback) {
    for (std::size_t i = 0; i < N; ++i) {
        std::string_view candidate = names[i];
        if (candidate.size() != name.size()) continue;
        bool same = true;
        for (std::size_t k = 0; k < name.size() && same; ++k) same = Upper(name[k]) == candidate[k];
        if (same) return first + static_cast<unsigned>(i);
    }
    return fallback;
}

unsigned MonthOf(std::string_view name) { return IndexOfName(name, kMonthNames, 1, 1); }

unsigned WeekdayOf(std::string_view name) { return IndexOfName(name, kWeekdayNames, 0, 0); }

// atol on the text after the 'S': white space, a sign, decimal digits; no
// digit reads as 0.
std::int64_t ReadSentenceNumber(std::string_view text) { return scan::Decimal(text).value_or(0); }

// Reads a "%[^...]" field of an entry. Sets `tooLong` when the field is
// longer than its limit, which refuses the entry rather than cutting it.
bool EntryField(std::string_view& text, std::string_view stop, std::size_t limit,
                std::string_view& out, bool& tooLong) {
    const scan::CharSet set = scan::CharSet::Except(stop);
    std::string_view probe = text;
    std::optional<std::string_view> field = scan::Span(probe, set, SIZE_MAX);
    if (!field) return false;
    tooLong = field->size() > limit;
    if (tooLong) return false;
    out = *field;
    text = probe;
    return true;
}

// " + ": optional white space, a plus, optional white space.
bool Plus(std::string_view& text) {
    std::string_view rest = scan::SkipSpace(text);
    if (!scan::Literal(rest, "+")) return false;
    text = scan::SkipSpace(rest);
    return true;
}

// How the fields of a clock form fill the condition word.
enum class ClockKind { kDate, kWeekdayRange, kWeekday, kAnyDay };

struct ClockForm {
    const char* pattern;
    ClockKind kind;
    bool hourRange;
};

const ClockForm kClockForms[] = {
    {" %[^-/]-%u/%u~%u:%u", ClockKind::kDate, true},
    {" %[^-/]-%u/%u:%u", ClockKind::kDate, false},
    {" %[^~/]~%[^/]/%u~%u:%u", ClockKind::kWeekdayRange, true},
    {" %[^~/]~%[^/]/%u:%u", ClockKind::kWeekdayRange, false},
    {" %[^/]/%u~%u:%u", ClockKind::kWeekday, true},
    {" %[^/]/%u:%u", ClockKind::kWeekday, false},
    {" %u~%u:%u", ClockKind::kAnyDay, true},
    {" %u:%u", ClockKind::kAnyDay, false},
};

bool InvalidEntry(const LinkContext& ctx, unsigned t) {
    LnkPrintf("\nErr: Inavlid code in T%0.4d of file %s", static_cast<int>(t), ctx.projectPath.c_str());
    return false;
}

}  // namespace

std::optional<TriggerFields> SplitTriggerEntry(std::string_view value) {
    // The fields of the scan format "%[^ +] + %[^ +;] + %[^ ;]".
    TriggerFields f;
    bool tooLong = false;
    if (EntryField(value, " +", kMaxModeField, f.modes, tooLong)) {
        f.count = 1;
        if (Plus(value) && EntryField(value, " +;", kMaxSentenceField, f.sentence, tooLong)) {
            f.count = 2;
            if (Plus(value) && EntryField(value, " ;", kMaxClockField, f.clock, tooLong)) f.count = 3;
        }
    }
    if (tooLong) return std::nullopt;
    return f;
}

std::optional<std::uint8_t> ModeBits(std::string_view modes) {
    static const struct {
        char set, setLower, clear, clearLower;
        std::uint8_t bit;
    } kPositions[] = {{'L', 'l', 'E', 'e', 0x40}, {'U', 'u', 'H', 'h', 0x20}, {'N', 'n', 'I', 'i', 0x10}};
    std::uint8_t bits = 0;
    for (std::size_t i = 0; i < 3; ++i) {
        if (i >= modes.size()) return std::nullopt;
        const char c = modes[i];
        const auto& p = kPositions[i];
        if (c == p.set || c == p.setLower || c == '.')
            bits |= p.bit;
        else if (c != p.clear && c != p.clearLower)
            return std::nullopt;
    }
    return bits;
}

std::optional<std::uint32_t> ClockConditionWord(std::string_view condition) {
    for (const ClockForm& form : kClockForms) {
        scan::PatternFields f;
        if (!scan::Pattern(form.pattern, condition, kMaxClockName, f)) continue;
        std::int64_t month = 0, day = 0, firstDay = 7, lastDay = 7;
        const std::int64_t* n = f.numbers;
        switch (form.kind) {
        case ClockKind::kDate:
            month = MonthOf(f.texts[0]);
            day = *n++;
            break;
        case ClockKind::kWeekdayRange:
            firstDay = WeekdayOf(f.texts[0]);
            lastDay = WeekdayOf(f.texts[1]);
            break;
        case ClockKind::kWeekday:
            firstDay = WeekdayOf(f.texts[0]);
            break;
        case ClockKind::kAnyDay:
            break;
        }
        const std::int64_t hour = *n++;
        const std::int64_t lastHour = form.hourRange ? *n++ : 31;
        const std::int64_t minute = *n;
        // A number wider than its bits would spill into its neighbours.
        auto fits = [](std::int64_t v, std::int64_t max) { return v >= 0 && v <= max; };
        if (!fits(day, 31) || !fits(hour, 31) || !fits(lastHour, 31) || !fits(minute, 63)) return std::nullopt;
        return static_cast<std::uint32_t>(0x80000000u | month << 27 | day << 22 | firstDay << 19 |
                                          lastDay << 16 | hour << 11 | lastHour << 6 | minute);
    }
    return std::nullopt;
}

bool ParseTriggerEntry(LinkContext& ctx, unsigned t, std::string_view value) {
    if (value.size() > kMaxTriggerValue) return InvalidEntry(ctx, t);
    const std::optional<TriggerFields> fields = SplitTriggerEntry(value);
    if (!fields || fields->count < 2) return InvalidEntry(ctx, t);
    if (fields->sentence.front() == 'N') return true;  // the trigger is unused
    if (fields->sentence.front() != 'S') return InvalidEntry(ctx, t);
    const std::int64_t sentence = ReadSentenceNumber(fields->sentence.substr(1));
    if (sentence < 0 || sentence >= kEntryCount) return InvalidEntry(ctx, t);
    const std::uint16_t start = ctx.sentenceIndex[static_cast<std::size_t>(sentence)];
    if (start == 0) {
        LnkPrintf("\nErr: S%0.4d referance fail, in T%0.4d of file %s", static_cast<int>(sentence),
                  static_cast<int>(t), ctx.projectPath.c_str());
        return false;
    }

    LnkPrintf("\n        Parsing T%0.4d", static_cast<int>(t));
    std::uint8_t& attribute = ctx.keyTable[AttributeOffset(t)];
    attribute |= 0x80;
    ctx.triggerTable[t] = start;
    const std::optional<std::uint8_t> modes = ModeBits(fields->modes);
    if (!modes) return InvalidEntry(ctx, t);
    attribute |= *modes;

    if (IsClockTrigger(t)) {
        const std::optional<std::uint32_t> word =
            fields->count == 3 ? ClockConditionWord(fields->clock) : std::nullopt;
        if (!word) return InvalidEntry(ctx, t);
        PutU32(&ctx.keyTable[ClockSlotOffset(t)], *word);
    }
    return true;
}

bool ParseTriggerTable(LinkContext& ctx) {
    for (unsigned t = 0; t < kEntryCount; ++t) {
        const std::string value =
            ctx.reader->ReadString("ZLP.Trigger", FormatText("T%0.4d", static_cast<int>(t)), "");
        if (!value.empty() && !ParseTriggerEntry(ctx, t, value)) return false;
    }
    return true;
}

}  // namespace zlt
