#include "sentence/sentence_table.h"

#include "base/bytes.h"
#include "base/format.h"
#include "base/message.h"
#include "base/section_writer.h"
#include "platform/text.h"
#include "project/scan.h"
#include "sentence/instructions.h"
#include "sentence/labels.h"
#include "word/word_table.h"

namespace zlt {

namespace {

constexpr std::size_t kMaxSentenceText = 16383;  // bytes of one sentence's text
constexpr std::size_t kMaxStepText = 255;        // bytes of one step text

// Steps are separated by '+' and ';'. These bytes, like the blank that ends
// a step text, never occur inside a multibyte character of the code pages
// project files are written in, so the text, once it has passed through the
// system's code page, is split byte by byte.
constexpr scan::CharSet kStepSeparators = scan::CharSet::Of("+;");

// The state of the sentence being compiled.
struct Sentence {
    unsigned number = 0;
    unsigned step = 0;
    StepMap steps{};
    bool hasStepReferences = false;
};

class Compiler {
public:
    Compiler(LinkContext& ctx, LabelTable& labels) : ctx_(ctx), labels_(labels) {}

    bool CompileAll();

private:
    bool CompileSentence(unsigned number, const std::string& key, std::string_view text);
    bool CompileStep(Sentence& s, std::string_view stepText);
    bool CompileWord(const Sentence& s, std::string_view stepText);
    bool CompileMute(const Sentence& s, std::string_view stepText);
    bool CompileMnemonic(Sentence& s, std::string_view stepText);

    // Appends one unit; the caller has checked that next_ is inside the table.
    void Store(std::uint16_t unit) { ctx_.sentenceTable[next_++] = unit; }

    bool Invalid(const Sentence& s) const {
        LnkPrintf("\nErr: Inavlid code in S%0.4d(Step%0.3d) of file %s", static_cast<int>(s.number),
                  static_cast<int>(s.step), ctx_.projectPath.c_str());
        return false;
    }
    static bool TooManySteps() {
        LnkPrintf("\nErr: More then %d STEPs !!!", static_cast<int>(kSentenceUnits));
        return false;
    }

    LinkContext& ctx_;
    LabelTable& labels_;
    unsigned next_ = 1;  // next free unit; unit 0 stays unused
};

// The next step text of a sentence: a piece between separators, without its
// leading white space, up to its first blank (tabs stay part of it); the
// rest of the piece is ignored. Pieces of white space only are skipped like
// empty ones.
std::optional<std::string_view> NextStepText(std::string_view& text) {
    while (auto piece = scan::NextToken(text, kStepSeparators)) {
        std::string_view step = scan::SkipSpace(*piece);
        step = step.substr(0, step.find(' '));
        if (!step.empty()) return step;
    }
    return std::nullopt;
}

bool Compiler::CompileAll() {
    for (unsigned n = 0; n < kEntryCount; ++n) {
        std::string key = FormatText("S%0.4d", static_cast<int>(n));
        std::string text = platform::ThroughAnsiCodePage(ctx_.reader->ReadString("ZLP.Sentence", key, ""));
        if (!text.empty() && !CompileSentence(n, key, text)) return false;
    }
    LnkPrintf("\n        Total used STEP = %d", static_cast<int>(next_));
    return true;
}

bool Compiler::CompileSentence(unsigned number, const std::string& key, std::string_view text) {
    Sentence s;
    s.number = number;
    const unsigned start = next_;
    const std::size_t textSize = text.size();
    bool hasSteps = false;
    for (; s.step < kMaxSteps; ++s.step) {
        s.steps[s.step].unit = static_cast<std::uint16_t>(next_);
        if (next_ >= kSentenceUnits) return TooManySteps();
        std::optional<std::string_view> stepText = NextStepText(text);
        if (!stepText) break;
        if (!hasSteps) {
            LnkPrintf("\n        Parsing %s", key.c_str());
            hasSteps = true;
            // An over-long text is refused as a whole, after its Parsing
            // line like any other fault of the sentence.
            if (textSize > kMaxSentenceText) return Invalid(s);
        }
        if (stepText->size() > kMaxStepText) return Invalid(s);
        if (!CompileStep(s, *stepText)) return false;
    }
    if (!hasSteps) return true;  // no piece: as if the key were missing

    // End the sentence, unless its last unit already is the end mark
    // (^EOP). A sentence that stored nothing gets one too, so that it never
    // runs into the next sentence's code.
    if (next_ == start || ctx_.sentenceTable[next_ - 1] != kEndMark) {
        if (next_ >= kSentenceUnits) return TooManySteps();
        Store(kEndMark);
    }
    ctx_.sentenceIndex[number] = static_cast<std::uint16_t>(start);
    return !s.hasStepReferences || ResolveStepReferences(ctx_, s.steps, number);
}

bool Compiler::CompileStep(Sentence& s, std::string_view stepText) {
    switch (stepText[0]) {
    case 'W': return CompileWord(s, stepText);
    case 'M': return CompileMute(s, stepText);
    case 'N': return true;  // empty step: takes its step number only
    case '^': return CompileMnemonic(s, stepText);
    default: return Invalid(s);
    }
}

// "W<decimal>": plays a defined word and marks it used.
bool Compiler::CompileWord(const Sentence& s, std::string_view stepText) {
    std::string_view rest = stepText.substr(1);
    std::optional<std::int64_t> word = scan::Decimal(rest);
    if (!word || *word < 0 || *word >= kEntryCount) return Invalid(s);
    if (!UseWord(ctx_, static_cast<unsigned>(*word))) {
        LnkPrintf("\nErr: W%0.4d referance fail, in S%0.4d(Step%0.3d) of file %s",
                  static_cast<int>(*word), static_cast<int>(s.number), static_cast<int>(s.step),
                  ctx_.projectPath.c_str());
        return false;
    }
    Store(WordUnit(static_cast<unsigned>(*word)));
    return true;
}

// "M<decimal>": silence in steps of 50.
bool Compiler::CompileMute(const Sentence& s, std::string_view stepText) {
    std::string_view rest = stepText.substr(1);
    std::optional<std::int64_t> value = scan::Decimal(rest);
    if (!value || *value < 0 || *value > kMaxMute) return Invalid(s);
    Store(MuteUnit(static_cast<unsigned>(*value)));
    return true;
}

bool Compiler::CompileMnemonic(Sentence& s, std::string_view stepText) {
    const Mnemonic* m = FindMnemonic(stepText);
    if (m == nullptr) return Invalid(s);
    if (m->operands == Operands::kComment) return true;
    if (m->operands == Operands::kBlock) return DeclareBlock(ctx_, labels_, stepText, s.number, s.step, next_);
    std::uint16_t unit = EncodeInstruction(*m, stepText, labels_);
    if (unit == 0) return Invalid(s);
    Store(unit);
    if (m->TakesStepReference()) {
        s.steps[s.step].needsFix = true;
        s.hasStepReferences = true;
    }
    return true;
}

}  // namespace

bool CompileSentences(LinkContext& ctx, LabelTable& labels) {
    if (Compiler(ctx, labels).CompileAll()) return true;
    labels.Clear();
    return false;
}

bool CompileSentenceTable(LinkContext& ctx) {
    LabelTable labels;
    return CompileSentences(ctx, labels) && ResolveBlocks(ctx, labels);
}

bool WriteSentenceTableSection(LinkContext& ctx, DirSlot& slot) {
    static_assert(2 * kSentenceUnits == kSentenceTableBytes);
    return EmitSection(ctx, slot, LittleEndianBytes(ctx.sentenceTable));
}

}  // namespace zlt
