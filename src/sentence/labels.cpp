#include "sentence/labels.h"

#include "base/context.h"
#include "base/message.h"
#include "sentence/instructions.h"

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

bool DeclareBlock(LinkContext& ctx, LabelTable& labels, std::string_view stepText, unsigned sentence,
                  unsigned step, unsigned& nextUnit) {
    std::string_view label = stepText.substr(kBlockPrefix.size());
    std::uint16_t number = labels.FindOrAdd(label);
    if (number == 0) {
        LnkPrintf("\nErr: Internal error for BLK at S%0.4d(Step%0.3d) of file %s",
                  static_cast<int>(sentence), static_cast<int>(step), ctx.projectPath.c_str());
        return false;
    }
    if (labels.BlockStart(number) != 0) {
        LnkPrintf("\nErr: Multiple BLK declaration of file %s", ctx.projectPath.c_str());
        LnkPrintf("\n     BlkLabel = %s", labels.Name(number));
        LnkPrintf("\n     Old declaration at S%0.4d", static_cast<int>(labels.Sentence(number)));
        LnkPrintf("\n     Dup declaration at S%0.4d(Step%0.3d)", static_cast<int>(sentence),
                  static_cast<int>(step));
        return false;
    }
    // Blocks start at even units: a CALL or JMP holds the start halved. The
    // caller has checked that nextUnit lies inside the table; a pad at its
    // last unit leaves nextUnit at the table's end, where the next store
    // (another step or the end mark) is refused.
    if (nextUnit % 2 != 0) ctx.sentenceTable[nextUnit++] = kPadUnit;
    labels.SetSentence(number, static_cast<std::uint16_t>(sentence));
    labels.SetBlockStart(number, static_cast<std::uint16_t>(nextUnit));
    return true;
}

// ---- Step references ----

bool ResolveStepReferences(LinkContext& ctx, const StepMap& steps, unsigned sentence) {
    for (unsigned i = 0; i < kMaxSteps; ++i) {
        if (!steps[i].needsFix) continue;
        std::uint16_t& unit = ctx.sentenceTable[steps[i].unit];
        unsigned target = unit & 0xFFu;
        if (target >= kMaxSteps || steps[target].unit == 0) {
            LnkPrintf("\nErr: STEP referance fail, in S%0.4d(Step%0.3d) of file %s",
                      static_cast<int>(sentence), static_cast<int>(i), ctx.projectPath.c_str());
            return false;
        }
        // The units of one sentence lie within 64 of each other, so the
        // distance fits a signed byte.
        unsigned distance = (steps[target].unit - steps[i].unit) & 0xFFu;
        unit = static_cast<std::uint16_t>((unit & 0xFF00u) | distance);
    }
    return true;
}

// ---- Block resolution ----

namespace {

// The sentence whose code holds unit k: the last one starting at or before k.
unsigned SentenceHolding(const LinkContext& ctx, unsigned k) {
    unsigned found = 0;
    for (unsigned n = 0; n < kEntryCount; ++n) {
        unsigned start = ctx.sentenceIndex[n];
        if (start != 0 && start <= k) found = n;
    }
    return found;
}

// Reports a CALL or JMP at unit k that cannot be completed: the error line,
// then the label's name.
bool BlockFault(const LinkContext& ctx, const LabelTable& labels, Format<int, const char*> error, unsigned k,
                std::uint16_t label) {
    LnkPrintf(error, static_cast<int>(SentenceHolding(ctx, k)), ctx.projectPath.c_str());
    const char* name = labels.Name(label);
    LnkPrintf("\n     BlkLabel = %s", name ? name : "");
    return false;
}

bool ResolveAllBlocks(LinkContext& ctx, const LabelTable& labels) {
    for (unsigned k = 1; k < kSentenceUnits; ++k) {
        std::optional<DecodedUnit> jump = DecodeUnit(ctx.sentenceTable[k]);
        if (!jump || jump->layout != UnitLayout::kBlockJump) continue;
        auto label = static_cast<std::uint16_t>(jump->value);
        const unsigned start = labels.BlockStart(label);
        if (start == 0)
            return BlockFault(ctx, labels, "\nErr: BLK referance fail, at S%0.4d of file %s", k, label);
        // The unit keeps its kind and takes the halved start, which must fit
        // its field; a JMP to unit 32766 would read as the end mark.
        jump->value = start / 2;
        const std::uint16_t resolved = EncodeUnit(*jump);
        if (resolved == kEndMark || BlockStart(*DecodeUnit(resolved)) != start)
            return BlockFault(ctx, labels, "\nErr: BLK out of JMP range, at S%0.4d of file %s", k, label);
        ctx.sentenceTable[k] = resolved;
    }
    return true;
}

}  // namespace

bool ResolveBlocks(LinkContext& ctx, LabelTable& labels) {
    bool ok = ResolveAllBlocks(ctx, labels);
    labels.Clear();
    return ok;
}

}  // namespace zlt
