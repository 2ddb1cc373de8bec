#include "sentence/sentence_table.h"

#include "base/bytes.h"
#include "base/format.h"
#include "base/message.h"
#include "base/names.h"
#include "base/section_writer.h"
#include "project/scan.h"
#include "sentence/instructions.h"
#include "sentence/labels.h"
#include "sentence/step_text.h"
#include "word/word_table.h"

#include <algorithm>
#include <vector>

namespace zlt {

namespace {

constexpr unsigned kMaxSentenceText = 16383;  // bytes of one sentence's text
constexpr unsigned kMaxStepText = 255;        // bytes of one step text

// The state of the sentence being compiled.
struct Sentence {
    SentenceSite site;
    unsigned step = 0;
    StepMap steps{};
    bool hasStepReferences = false;
    bool faulty = false;  // in a check, which goes on after a faulty step
};

// A text as a message shows it: at most 40 bytes.
std::string Shown(std::string_view text) {
    return text.size() <= 40 ? std::string(text) : std::string(text.substr(0, 37)) + "...";
}

class Compiler {
public:
    Compiler(LinkContext& ctx, LabelTable& labels) : ctx_(ctx), labels_(labels) {}

    bool CompileAll();

private:
    bool CompileSentence(Sentence& s);
    bool CompileStep(Sentence& s, std::string_view stepText);
    bool CompileWord(const Sentence& s, std::string_view stepText);
    bool CompileMute(const Sentence& s, std::string_view stepText);
    bool CompileMnemonic(Sentence& s, std::string_view stepText);

    // Appends one unit; the caller has checked that next_ is inside the table.
    void Store(std::uint16_t unit) { ctx_.sentenceTable[next_++] = unit; }

    bool Fail(const Sentence& s, Finding finding) {
        return ctx_.report.Fail(std::move(finding), "\nErr: Inavlid code in S%0.4d(Step%0.3d) of file %s",
                                static_cast<int>(s.site.number), static_cast<int>(s.step),
                                ctx_.projectPath.c_str());
    }
    bool Invalid(const Sentence& s, std::string_view stepText, const std::string& why) {
        return Fail(s, Found<Diag::kInvalidStep>(s.site.At(stepText), s.site.key, Shown(stepText), why));
    }
    bool UnknownInstruction(const Sentence& s, std::string_view stepText);
    // `at`: the text of the steps that find no room, else the whole text.
    bool TooManySteps(const Sentence& s, std::string_view at) {
        full_ = true;
        at.remove_prefix(std::min(at.find_first_not_of("+; \t"), at.size()));
        if (at.empty()) at = s.site.text;
        return ctx_.report.Fail(Found<Diag::kSentenceTableFull>(s.site.At(at), s.site.key,
                                                                std::to_string(kSentenceUnits), s.site.key),
                                "\nErr: More then %d STEPs !!!", static_cast<int>(kSentenceUnits));
    }

    // A check's warnings about what a link reads otherwise than written.
    void Warn(Finding finding) { ctx_.report.Warn(std::move(finding)); }
    void WarnTextAfterNumber(const Sentence& s, std::string_view rest, std::string_view operand) {
        if (ctx_.report.Checking() && !rest.empty())
            Warn(Found<Diag::kTextAfterNumber>(s.site.At(rest), s.site.key, rest, operand));
    }
    void WarnAboutOperands(const Sentence& s, const OperandRemarks& remarks);
    void WarnAboutDropped(const Sentence& s, std::string_view stepText, std::string_view dropped);
    void WarnAboutStepsAfter64(const Sentence& s, std::string_view text);

    LinkContext& ctx_;
    LabelTable& labels_;
    unsigned next_ = 1;  // next free unit; unit 0 stays unused
    bool full_ = false;  // the table ran out: a check compiles no further sentence
};

bool Compiler::CompileAll() {
    bool ok = true;
    for (unsigned n = 0; n < kEntryCount; ++n) {
        SentenceSite site = SentenceSite::Read(ctx_, n);
        if (site.text.empty()) continue;
        if (full_) {
            ctx_.faultySentences.set(n);
            continue;
        }
        Sentence s{std::move(site)};
        const unsigned start = next_;
        if (CompileSentence(s)) continue;
        if (!ctx_.report.GoOn()) return false;
        // A check goes on with the next sentence. The faulty one was compiled
        // to its end, so that its other faults are reported and its blocks,
        // jumps and words count; one that could not be ended (the table ran
        // out, or its text is too long) leaves no code behind.
        ok = false;
        ctx_.faultySentences.set(n);
        if (ctx_.sentenceIndex[n] != 0) continue;
        std::fill(ctx_.sentenceTable.begin() + start, ctx_.sentenceTable.begin() + next_, kEndMark);
        next_ = start;
    }
    LnkPrintf("\n        Total used STEP = %d", static_cast<int>(next_));
    return ok;
}

bool Compiler::CompileSentence(Sentence& s) {
    const unsigned start = next_;
    std::string_view text = s.site.text;
    bool hasSteps = false;
    for (; s.step < kMaxSteps; ++s.step) {
        s.steps[s.step].unit = static_cast<std::uint16_t>(next_);
        if (next_ >= kSentenceUnits) return TooManySteps(s, text);
        std::string_view dropped;
        std::optional<std::string_view> stepText = NextStepText(text, &dropped);
        if (!stepText) break;
        if (!hasSteps) {
            LnkPrintf("\n        Parsing %s", s.site.key.c_str());
            hasSteps = true;
            // An over-long text is refused as a whole, after its Parsing
            // line like any other fault of the sentence.
            if (s.site.text.size() > kMaxSentenceText)
                return Invalid(s, s.site.text, FormatText("a sentence is at most %u bytes long", kMaxSentenceText));
        }
        const bool compiled = stepText->size() > kMaxStepText
                                  ? Invalid(s, *stepText, FormatText("a step is at most %u bytes long", kMaxStepText))
                                  : CompileStep(s, *stepText);
        if (!compiled) {
            if (!ctx_.report.GoOn() || full_) return false;
            s.faulty = true;
        }
        if (ctx_.report.Checking()) WarnAboutDropped(s, *stepText, dropped);
    }
    if (!hasSteps) return true;  // no piece: as if the key were missing
    if (ctx_.report.Checking() && s.step == kMaxSteps) WarnAboutStepsAfter64(s, text);

    // End the sentence, unless its last unit already is the end mark
    // (^EOP). A sentence that stored nothing gets one too, so that it never
    // runs into the next sentence's code.
    if (next_ == start || ctx_.sentenceTable[next_ - 1] != kEndMark) {
        if (next_ >= kSentenceUnits) return TooManySteps(s, {});
        Store(kEndMark);
    }
    ctx_.sentenceIndex[s.site.number] = static_cast<std::uint16_t>(start);
    const bool resolved = !s.hasStepReferences || ResolveStepReferences(ctx_, s.steps, s.site);
    return resolved && !s.faulty;
}

bool Compiler::CompileStep(Sentence& s, std::string_view stepText) {
    switch (stepText[0]) {
    case 'W': return CompileWord(s, stepText);
    case 'M': return CompileMute(s, stepText);
    case 'N': return true;  // empty step: takes its step number only
    case '^': return CompileMnemonic(s, stepText);
    default: return Invalid(s, stepText, "a step begins with `W`, `M`, `N` or `^`");
    }
}

// "W<decimal>": plays a defined word and marks it used.
bool Compiler::CompileWord(const Sentence& s, std::string_view stepText) {
    std::string_view rest = stepText.substr(1);
    std::optional<std::int64_t> word = scan::Decimal(rest);
    if (!word || *word < 0 || *word >= kEntryCount)
        return Invalid(s, stepText, "a word step is `W` and a word number from 0 to 8191");
    const auto n = static_cast<unsigned>(*word);
    if (!UseWord(ctx_, n)) {
        return ctx_.report.Fail(Found<Diag::kUndefinedWord>(s.site.At(stepText), s.site.key, stepText, WordKey(n)),
                                "\nErr: W%0.4d referance fail, in S%0.4d(Step%0.3d) of file %s",
                                static_cast<int>(n), static_cast<int>(s.site.number), static_cast<int>(s.step),
                                ctx_.projectPath.c_str());
    }
    Store(WordUnit(n));
    WarnTextAfterNumber(s, rest, stepText);
    return true;
}

// "M<decimal>": silence in steps of 50.
bool Compiler::CompileMute(const Sentence& s, std::string_view stepText) {
    std::string_view rest = stepText.substr(1);
    std::optional<std::int64_t> value = scan::Decimal(rest);
    if (!value || *value < 0 || *value > kMaxMute)
        return Invalid(s, stepText, FormatText("a mute step is `M` and a value from 0 to %u", kMaxMute));
    Store(MuteUnit(static_cast<unsigned>(*value)));
    WarnTextAfterNumber(s, rest, stepText);
    return true;
}

bool Compiler::CompileMnemonic(Sentence& s, std::string_view stepText) {
    const Mnemonic* m = FindMnemonic(stepText);
    if (m == nullptr) return UnknownInstruction(s, stepText);
    if (m->operands == Operands::kComment) return true;
    if (m->operands == Operands::kBlock) return DeclareBlock(ctx_, labels_, s.site, stepText, s.step, next_);
    OperandRemarks remarks;
    std::uint16_t unit = EncodeInstruction(*m, stepText, labels_, ctx_.report.Checking() ? &remarks : nullptr);
    if (unit == 0) return Invalid(s, stepText, OperandSyntax(*m));
    Store(unit);
    if (m->TakesStepReference()) {
        s.steps[s.step].needsFix = true;
        s.hasStepReferences = true;
    }
    WarnAboutOperands(s, remarks);
    return true;
}

// A step that starts with '^' and no mnemonic; a check suggests the nearest
// mnemonic, compared with the step text up to its first underscore.
bool Compiler::UnknownInstruction(const Sentence& s, std::string_view stepText) {
    Finding f = Found<Diag::kUnknownInstruction>(s.site.At(stepText), s.site.key, Shown(stepText));
    if (ctx_.report.Checking()) {
        std::vector<const char*> prefixes;
        for (const Mnemonic& m : Mnemonics()) prefixes.push_back(m.prefix.data());  // literals: terminated
        const std::string_view head = stepText.substr(0, std::min(stepText.find('_'), stepText.size() - 1) + 1);
        if (const char* near = Closest(head, prefixes)) f.message += FormatText("; did you mean `%s`?", near);
    }
    return Fail(s, std::move(f));
}

void Compiler::WarnAboutOperands(const Sentence& s, const OperandRemarks& remarks) {
    for (std::size_t i = 0; i < remarks.count; ++i) {
        const OperandRemark& r = remarks.items[i];
        const TextSpan at = s.site.At(r.text);
        switch (r.kind) {
        case OperandRemark::kRegister:
            Warn(Found<Diag::kBadRegister>(at, s.site.key, r.text, FormatText("R%u", r.value)));
            break;
        case OperandRemark::kNoNumber:
            Warn(Found<Diag::kBadRegister>(at, s.site.key, r.text, "the number 0"));
            break;
        case OperandRemark::kAfterNumber:
            Warn(Found<Diag::kTextAfterNumber>(at, s.site.key, r.text, r.operand));
            break;
        }
    }
}

// Text after the first blank of a step, unless the step is a comment or an
// empty step, whose text is never read.
void Compiler::WarnAboutDropped(const Sentence& s, std::string_view stepText, std::string_view dropped) {
    const std::size_t first = dropped.find_first_not_of(" \t");
    if (first == std::string_view::npos || stepText[0] == 'N' || stepText.starts_with("^REM_")) return;
    dropped = dropped.substr(first, dropped.find_last_not_of(" \t") + 1 - first);
    Warn(Found<Diag::kTextAfterBlank>(s.site.At(dropped), s.site.key, Shown(dropped)));
}

// Steps after the 64th, which are not read.
void Compiler::WarnAboutStepsAfter64(const Sentence& s, std::string_view text) {
    std::string_view first, last;
    unsigned more = 0;
    while (std::optional<std::string_view> step = NextStepText(text)) {
        if (more++ == 0) first = *step;
        last = *step;
    }
    if (more == 0) return;
    const std::string_view after(first.data(), static_cast<std::size_t>(last.data() + last.size() - first.data()));
    Warn(Found<Diag::kTooManySteps>(s.site.At(after), s.site.key, s.site.key, std::to_string(kMaxSteps + more)));
}

}  // namespace

bool CompileSentenceTable(LinkContext& ctx) {
    LabelTable labels;
    const bool compiled = Compiler(ctx, labels).CompileAll();
    // A check resolves the blocks of the sentences that compiled.
    if (!compiled && !ctx.report.GoOn()) return false;
    return ResolveBlocks(ctx, labels) && compiled;
}

bool WriteSentenceTableSection(LinkContext& ctx, DirSlot& slot) {
    static_assert(2 * kSentenceUnits == kSentenceTableBytes);
    return EmitSection(ctx, slot, LittleEndianBytes(ctx.sentenceTable));
}

}  // namespace zlt
