#include "sentence/labels.h"

#include "base/context.h"
#include "base/format.h"
#include "base/message.h"
#include "base/names.h"
#include "sentence/instructions.h"
#include "sentence/step_text.h"

#include <set>

namespace zlt {

// ---- Label table ----

std::uint16_t LabelTable::FindOrAdd(std::string_view name) {
    if (auto it = index_.find(name); it != index_.end()) return it->second;
    if (entries_.size() >= kCapacity) return 0;
    if (entries_.empty()) {
        entries_.reserve(kCapacity);
        index_.reserve(kCapacity);
    }
    auto number = static_cast<std::uint16_t>(entries_.size() + 1);
    auto [it, added] = index_.emplace(std::string(name), number);
    entries_.push_back(Entry{&it->first});
    return number;
}

LabelTable::Entry* LabelTable::At(std::uint16_t number) {
    return number == 0 || number > entries_.size() ? nullptr : &entries_[number - 1];
}

const LabelTable::Entry* LabelTable::At(std::uint16_t number) const {
    return number == 0 || number > entries_.size() ? nullptr : &entries_[number - 1];
}

const char* LabelTable::Name(std::uint16_t number) const {
    const Entry* e = At(number);
    return e ? e->name->c_str() : nullptr;
}

std::uint16_t LabelTable::Get(std::uint16_t number, std::uint16_t Entry::*field) const {
    const Entry* e = At(number);
    return e ? e->*field : 0;
}

bool LabelTable::Set(std::uint16_t number, std::uint16_t Entry::*field, std::uint16_t value) {
    Entry* e = At(number);
    if (e) e->*field = value;
    return e != nullptr;
}

void LabelTable::Clear() {
    entries_.clear();
    index_.clear();
}

// ---- Block declarations ----

bool DeclareBlock(LinkContext& ctx, LabelTable& labels, const SentenceSite& sentence, std::string_view stepText,
                  unsigned step, unsigned& nextUnit) {
    std::string_view label = stepText.substr(kBlockPrefix.size());
    std::uint16_t number = labels.FindOrAdd(label);
    if (number == 0) {
        return ctx.report.Fail(Found<Diag::kBlockPlacement>(sentence.At(stepText), sentence.key, sentence.key, label,
                                                            "the label table is full"),
                               "\nErr: Internal error for BLK at S%0.4d(Step%0.3d) of file %s",
                               static_cast<int>(sentence.number), static_cast<int>(step), ctx.projectPath.c_str());
    }
    if (labels.BlockStart(number) != 0) {
        const int first = labels.Sentence(number);
        ctx.report.Fail(Found<Diag::kDuplicateBlock>(sentence.At(stepText), sentence.key, label,
                                                     FormatText("S%0.4d", first)),
                        "\nErr: Multiple BLK declaration of file %s", ctx.projectPath.c_str());
        if (!ctx.report.Checking()) {
            LnkPrintf("\n     BlkLabel = %s", labels.Name(number));
            LnkPrintf("\n     Old declaration at S%0.4d", first);
            LnkPrintf("\n     Dup declaration at S%0.4d(Step%0.3d)", static_cast<int>(sentence.number),
                      static_cast<int>(step));
        }
        return false;
    }
    // Blocks start at even units: a CALL or JMP holds the start halved. The
    // caller has checked that nextUnit lies inside the table; a pad at its
    // last unit leaves nextUnit at the table's end, where the next store
    // (another step or the end mark) is refused.
    if (nextUnit % 2 != 0) ctx.sentenceTable[nextUnit++] = kPadUnit;
    labels.SetSentence(number, static_cast<std::uint16_t>(sentence.number));
    labels.SetBlockStart(number, static_cast<std::uint16_t>(nextUnit));
    return true;
}

// ---- Step references ----

bool ResolveStepReferences(LinkContext& ctx, const StepMap& steps, const SentenceSite& sentence) {
    bool ok = true;
    for (unsigned i = 0; i < kMaxSteps; ++i) {
        if (!steps[i].needsFix) continue;
        std::uint16_t& unit = ctx.sentenceTable[steps[i].unit];
        unsigned target = unit & 0xFFu;
        if (target >= kMaxSteps || steps[target].unit == 0) {
            // The step's own text names the target; the unit holds at most 255.
            const std::string_view step = sentence.Step(i).value_or("");
            const std::size_t digits = step.rfind("STEP");
            unsigned last = 0;
            while (last + 1 < kMaxSteps && steps[last + 1].unit != 0) ++last;
            ctx.report.Fail(Found<Diag::kBadStepReference>(
                                sentence.At(step), sentence.key, step,
                                digits == std::string_view::npos ? "" : step.substr(digits + 4), sentence.key,
                                std::to_string(last)),
                            "\nErr: STEP referance fail, in S%0.4d(Step%0.3d) of file %s",
                            static_cast<int>(sentence.number), static_cast<int>(i), ctx.projectPath.c_str());
            if (!ctx.report.GoOn()) return false;
            ok = false;
            continue;
        }
        // The units of one sentence lie within 64 of each other, so the
        // distance fits a signed byte.
        unsigned distance = (steps[target].unit - steps[i].unit) & 0xFFu;
        unit = static_cast<std::uint16_t>((unit & 0xFF00u) | distance);
    }
    return ok;
}

// ---- Block resolution ----

namespace {

// The sentence whose code holds unit k, for k ascending: the last one that
// starts at or before k.
class SentenceHolding {
public:
    explicit SentenceHolding(const LinkContext& ctx) : ctx_(ctx) {}
    unsigned At(unsigned k) {
        for (; next_ < kEntryCount; ++next_) {
            const unsigned start = ctx_.sentenceIndex[next_];
            if (start > k) break;
            if (start != 0) found_ = next_;
        }
        return found_;
    }

private:
    const LinkContext& ctx_;
    unsigned next_ = 0;
    unsigned found_ = 0;
};

// Where the first CALL or JMP of sentence n to `label` stands.
TextSpan JumpStepAt(const LinkContext& ctx, unsigned n, std::string_view label) {
    const SentenceSite site = SentenceSite::Read(ctx, n);
    std::string_view rest = site.text;
    while (std::optional<std::string_view> step = NextStepText(rest)) {
        const Mnemonic* m = FindMnemonic(*step);
        if (m && m->operands == Operands::kLabel && step->substr(m->prefix.size()) == label) return site.At(*step);
    }
    return site.At(site.text);
}

// Reports a CALL or JMP of sentence n that cannot be completed: the error
// line and, in a link, the label's name after it.
void BlockFault(LinkContext& ctx, const LabelTable& labels, Finding finding, Format<int, const char*> line,
                unsigned n, std::uint16_t label) {
    ctx.report.Fail(std::move(finding), line, static_cast<int>(n), ctx.projectPath.c_str());
    const char* name = labels.Name(label);
    if (!ctx.report.Checking()) LnkPrintf("\n     BlkLabel = %s", name ? name : "");
}

// The message's hint for an undeclared label: a declared label that differs
// only in letter case, else how to declare it.
std::string DeclarationHint(const LabelTable& labels, std::string_view name) {
    for (std::uint16_t i = 1; i <= labels.Count(); ++i)
        if (labels.BlockStart(i) != 0 && EqualsIgnoringCase(name, labels.Name(i)))
            return FormatText("; `^BLK_%s` differs only in letter case", labels.Name(i));
    return FormatText("; declare it with a `^BLK_%s` step", std::string(name).c_str());
}

bool ResolveAllBlocks(LinkContext& ctx, const LabelTable& labels) {
    SentenceHolding holding(ctx);
    bool ok = true;
    std::set<std::pair<unsigned, std::uint16_t>> reported;  // sentence and label, in a check
    for (unsigned k = 1; k < kSentenceUnits; ++k) {
        // Of the units with bit 15 set, all but the end mark are CALL or JMP.
        if (ctx.sentenceTable[k] < 0x8000 || ctx.sentenceTable[k] == kEndMark) continue;
        std::optional<DecodedUnit> jump = DecodeUnit(ctx.sentenceTable[k]);
        if (!jump || jump->layout != UnitLayout::kBlockJump) continue;
        auto label = static_cast<std::uint16_t>(jump->value);
        const unsigned start = labels.BlockStart(label);
        // The unit keeps its kind and takes the halved start, which must fit
        // its field; a JMP to unit 32766 would read as the end mark.
        jump->value = start / 2;
        const std::uint16_t resolved = EncodeUnit(*jump);
        if (start != 0 && resolved != kEndMark && BlockStart(*DecodeUnit(resolved)) == start) {
            ctx.sentenceTable[k] = resolved;
            continue;
        }
        ok = false;
        // A check goes on with the unit going nowhere (block start 0), so
        // that nothing takes it for a way into another sentence.
        if (ctx.report.Checking()) ctx.sentenceTable[k] = static_cast<std::uint16_t>(ctx.sentenceTable[k] & 0xC000u);
        const unsigned n = holding.At(k);
        if (reported.emplace(n, label).second) {
            const std::string name = labels.Name(label) ? labels.Name(label) : "";
            const TextSpan at = JumpStepAt(ctx, n, name);
            const std::string key = FormatText("S%0.4d", static_cast<int>(n));
            if (start == 0) {
                Finding f = Found<Diag::kUndeclaredBlock>(at, key, name);
                if (ctx.report.Checking()) f.message += DeclarationHint(labels, name);
                BlockFault(ctx, labels, std::move(f), "\nErr: BLK referance fail, at S%0.4d of file %s", n, label);
            } else {
                BlockFault(ctx, labels,
                           Found<Diag::kBlockPlacement>(at, key, key, name, "it starts beyond the reach of a JMP"),
                           "\nErr: BLK out of JMP range, at S%0.4d of file %s", n, label);
            }
        }
        if (!ctx.report.GoOn()) return false;
    }
    return ok;
}

}  // namespace

bool ResolveBlocks(LinkContext& ctx, LabelTable& labels) {
    bool ok = ResolveAllBlocks(ctx, labels);
    labels.Clear();
    return ok;
}

}  // namespace zlt
