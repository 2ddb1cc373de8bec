#include "trigger/trigger_table.h"

#include "base/bytes.h"
#include "base/format.h"
#include "base/message.h"
#include "base/names.h"
#include "project/scan.h"
#include "sentence/instructions.h"
#include "trigger/clock_condition.h"

#include <span>

namespace zlt {

namespace {

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

// The mode letters by position: the letters that set the position's bit of
// the attribute byte ('.' sets it too) and those that leave it clear.
struct ModePosition {
    char set, setLower, clear, clearLower;
    std::uint8_t bit;
};
constexpr ModePosition kModePositions[] = {
    {'L', 'l', 'E', 'e', 0x40}, {'U', 'u', 'H', 'h', 0x20}, {'N', 'n', 'I', 'i', 0x10}};

bool Sets(const ModePosition& p, char c) { return c == p.set || c == p.setLower || c == '.'; }
bool Accepts(const ModePosition& p, char c) { return Sets(p, c) || c == p.clear || c == p.clearLower; }

// An entry of ZLP.Trigger, with where its parts stand.
struct Entry {
    LinkContext& ctx;
    unsigned t;
    std::string_view value;  // the parts below are views into it

    // Made only for a message: the stage reads thousands of entries.
    std::string Key() const { return FormatText("T%0.4d", static_cast<int>(t)); }

    // Where a part of the value stands in the project file.
    TextSpan At(std::string_view part) const {
        TextSpan at = ctx.reader ? ValueSpan(*ctx.reader, "ZLP.Trigger", Key()) : TextSpan{};
        if (at.line == 0 || at.length != value.size() || part.data() < value.data() ||
            part.data() + part.size() > value.data() + value.size())
            return at;
        at.column += static_cast<std::uint32_t>(part.data() - value.data());
        at.length = static_cast<std::uint32_t>(part.size());
        return at;
    }
    bool Fail(Finding finding) const {
        return ctx.report.Fail(std::move(finding), "\nErr: Inavlid code in T%0.4d of file %s", static_cast<int>(t),
                               ctx.projectPath.c_str());
    }
    // An entry that is not of the form "modes + sentence [+ clock]"; `why`
    // ends the message where it can say more.
    bool Invalid(std::string_view part, std::string_view why = {}) const {
        Finding f = Found<Diag::kInvalidTrigger>(At(part), Key(), Key());
        if (!why.empty()) f.message += "; " + std::string(why);
        return Fail(std::move(f));
    }
};

// Reports the first mode position whose letter is not accepted: the
// letter, or the whole field when it ends before that position.
bool BadModeLetter(const Entry& e, std::string_view modes) {
    std::size_t i = 0;
    while (i + 1 < std::size(kModePositions) && i < modes.size() && Accepts(kModePositions[i], modes[i])) ++i;
    const ModePosition& p = kModePositions[i];
    const std::string letters = FormatText("`%c`, `%c` or `.`", static_cast<int>(p.set), static_cast<int>(p.clear));
    return e.Fail(Found<Diag::kBadModeLetter>(e.At(i < modes.size() ? modes.substr(i, 1) : modes), e.Key(), modes,
                                              e.Key(), letters, std::to_string(i + 1)));
}

// The hint after the warning about a clock condition's name that is no
// month or weekday: the name it was likely meant to be.
std::string NameHint(std::string_view name, bool month) {
    const auto known = [month](std::string_view n) { return month ? MonthNumber(n) : WeekdayNumber(n); };
    const std::size_t dash = name.find('-');
    if (!month && dash != std::string_view::npos && known(name.substr(0, dash)) && known(name.substr(dash + 1)))
        return "; a range of days is written with `~`, as in `MON~FRI`";
    const std::span<const char* const> names =
        month ? std::span<const char* const>(kMonthNames) : std::span<const char* const>(kWeekdayNames);
    // A name written out, such as SATURDAY, by its first three letters.
    const std::optional<unsigned> start = name.size() > 3 ? known(name.substr(0, 3)) : std::nullopt;
    const char* near = start ? names[*start - (month ? 1 : 0)] : Closest(name, names);
    return near ? FormatText("; did you mean `%s`?", near) : "";
}

// A check's warnings about a clock condition that reads otherwise than
// written: names that are no month or weekday, text after the last number.
void WarnAboutClock(const Entry& e, std::string_view condition, const ClockReading& r) {
    for (const std::string_view name : r.names) {
        if (name.empty() || (r.monthName ? MonthNumber(name) : WeekdayNumber(name))) continue;
        Finding f = r.monthName ? Found<Diag::kUnknownMonth>(e.At(name), e.Key(), name)
                                : Found<Diag::kUnknownWeekday>(e.At(name), e.Key(), name);
        f.message += NameHint(name, r.monthName);
        e.ctx.report.Warn(std::move(f));
    }
    if (!r.rest.empty()) e.ctx.report.Warn(Found<Diag::kTextAfterNumber>(e.At(r.rest), e.Key(), r.rest, condition));
}

// Reports a clock condition that gives no condition word.
bool BadClock(const Entry& e, const TriggerFields& fields) {
    std::string why;
    if (fields.count < 3)
        why = "it has no clock condition; add one after a `+`, as in `LUN + S0001 + MON~FRI/8:30`";
    else if (ReadClockCondition(fields.clock))
        why = FormatText("`%s` has a number too large for its field (days and hours up to 31, minutes up to 63)",
                         std::string(fields.clock).c_str());
    else
        why = FormatText("`%s` is none of the eight forms of a clock condition, such as `DEC-24/8~20:15`, "
                         "`MON~FRI/8:30`, `SAT/9:0` or `8:30`",
                         std::string(fields.clock).c_str());
    const std::string_view at = fields.count < 3 ? e.value : fields.clock;
    return e.Fail(Found<Diag::kBadClockCondition>(e.At(at), e.Key(), e.Key(), why));
}

// A sentence whose first unit, after any pad units, is the end mark.
bool HoldsNoCode(const LinkContext& ctx, unsigned start) {
    while (start < kSentenceUnits && ctx.sentenceTable[start] == kPadUnit) ++start;
    return start >= kSentenceUnits || ctx.sentenceTable[start] == kEndMark;
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
    std::uint8_t bits = 0;
    for (std::size_t i = 0; i < std::size(kModePositions); ++i) {
        if (i >= modes.size() || !Accepts(kModePositions[i], modes[i])) return std::nullopt;
        if (Sets(kModePositions[i], modes[i])) bits |= kModePositions[i].bit;
    }
    return bits;
}

std::string ModeLetters(std::uint8_t attribute) {
    std::string letters;
    for (const ModePosition& p : kModePositions) letters += (attribute & p.bit) ? p.set : p.clear;
    return letters;
}

bool ParseTriggerEntry(LinkContext& ctx, unsigned t, std::string_view value) {
    const Entry e{ctx, t, value};
    if (value.size() > kMaxTriggerValue) return e.Invalid(value, "an entry is at most 4095 bytes long");
    const std::optional<TriggerFields> fields = SplitTriggerEntry(value);
    if (!fields)
        return e.Invalid(value, "mode letters are at most 7 bytes long, the sentence 63, the clock condition 255");
    if (fields->count < 2) return e.Invalid(value);
    if (fields->sentence.front() == 'N') return true;  // the trigger is unused
    if (fields->sentence.front() != 'S')
        return e.Invalid(fields->sentence, "a sentence is named `Snnnn`, or `N` for none");
    const std::int64_t sentence = ReadSentenceNumber(fields->sentence.substr(1));
    if (sentence < 0 || sentence >= kEntryCount) return e.Invalid(fields->sentence, "sentences are S0000 to S8191");
    const std::uint16_t start = ctx.sentenceIndex[static_cast<std::size_t>(sentence)];
    // A check goes on with an entry whose sentence has faults of its own,
    // which are reported there.
    const bool faulty = ctx.report.Checking() && ctx.faultySentences.test(static_cast<std::size_t>(sentence));
    const auto sentenceKey = [sentence] { return FormatText("S%0.4d", static_cast<int>(sentence)); };
    if (start == 0 && !faulty) {
        return ctx.report.Fail(
            Found<Diag::kUndefinedSentence>(e.At(fields->sentence), e.Key(), e.Key(), sentenceKey()),
            "\nErr: S%0.4d referance fail, in T%0.4d of file %s", static_cast<int>(sentence), static_cast<int>(t),
            ctx.projectPath.c_str());
    }

    LnkPrintf("\n        Parsing T%0.4d", static_cast<int>(t));
    std::uint8_t& attribute = ctx.keyTable[AttributeOffset(t)];
    attribute |= kBoundAttribute;
    ctx.triggerTable[t] = start;
    bool ok = true;
    if (const std::optional<std::uint8_t> modes = ModeBits(fields->modes)) {
        attribute |= *modes;
    } else {
        ok = BadModeLetter(e, fields->modes);
        if (!ctx.report.GoOn()) return false;
    }

    if (IsClockTrigger(t)) {
        const std::optional<ClockReading> reading =
            fields->count == 3 ? ReadClockCondition(fields->clock) : std::nullopt;
        const std::optional<std::uint32_t> word = reading ? PackClockCondition(reading->condition) : std::nullopt;
        if (!word) {
            ok = BadClock(e, *fields);
            if (!ctx.report.GoOn()) return false;
        } else {
            PutU32(&ctx.keyTable[ClockSlotOffset(t)], *word);
            if (ctx.report.Checking()) WarnAboutClock(e, fields->clock, *reading);
        }
    }
    if (ctx.report.Checking() && start != 0 && !faulty && HoldsNoCode(ctx, start))
        ctx.report.Warn(Found<Diag::kEmptySentence>(e.At(fields->sentence), e.Key(), e.Key(), sentenceKey()));
    return ok;
}

bool ParseTriggerTable(LinkContext& ctx) {
    bool ok = true;
    for (unsigned t = 0; t < kEntryCount; ++t) {
        const std::string value =
            ctx.reader->ReadString("ZLP.Trigger", FormatText("T%0.4d", static_cast<int>(t)), "");
        if (value.empty() || ParseTriggerEntry(ctx, t, value)) continue;
        if (!ctx.report.GoOn()) return false;
        ok = false;
    }
    return ok;
}

}  // namespace zlt
