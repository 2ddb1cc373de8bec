#include "trigger/trigger_table.h"

#include "base/bytes.h"
#include "base/format.h"
#include "base/message.h"
#include "project/scan.h"
#include "trigger/clock_condition.h"

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
    std::uint8_t bits = 0;
    for (std::size_t i = 0; i < std::size(kModePositions); ++i) {
        if (i >= modes.size()) return std::nullopt;
        const char c = modes[i];
        const ModePosition& p = kModePositions[i];
        if (c == p.set || c == p.setLower || c == '.')
            bits |= p.bit;
        else if (c != p.clear && c != p.clearLower)
            return std::nullopt;
    }
    return bits;
}

std::string ModeLetters(std::uint8_t attribute) {
    std::string letters;
    for (const ModePosition& p : kModePositions) letters += (attribute & p.bit) ? p.set : p.clear;
    return letters;
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
    attribute |= kBoundAttribute;
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
