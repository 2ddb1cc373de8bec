#include "reader/sentence_listing.h"

#include "base/format.h"
#include "sentence/instructions.h"
#include "sentence/labels.h"

#include <algorithm>
#include <map>

namespace zlt {

namespace {

bool Fail(std::string& error, std::string text) {
    error = std::move(text);
    return false;
}

std::string BlockLabel(unsigned unit) { return FormatText("L%u", unit); }
std::string BlockDeclaration(unsigned unit) { return std::string(kBlockPrefix) + BlockLabel(unit); }

bool ListSentence(const DecodedImage& image, const SentenceCode& code, SentenceListing& s, std::string& error) {
    s = SentenceListing{code.start, code.endMark, {}, {}};
    std::map<unsigned, std::size_t> stepAt;  // unit index -> first step that records it
    struct Reference {
        std::size_t step;
        DecodedUnit unit;
        unsigned target;
    };
    std::vector<Reference> references;
    for (unsigned k = code.start; k <= code.endMark; ++k) {
        // A block starts with a declaration step, unless the pad unit before
        // it already declared it.
        const bool padded = k > code.start && image.units[k - 1] == kPadUnit;
        if (std::binary_search(image.blockStarts.begin(), image.blockStarts.end(), k) && !padded) {
            stepAt.emplace(k, s.steps.size());
            s.steps.push_back(BlockDeclaration(k));
            s.stepUnits.push_back(0);
        }
        if (k == code.endMark) break;  // the end mark itself is no step
        const std::optional<DecodedUnit> decoded = DecodeUnit(image.units[k]);
        if (!decoded) return Fail(error, FormatText("unit %u: 0x%04X is no code unit", k, unsigned{image.units[k]}));
        const DecodedUnit& u = *decoded;
        stepAt.emplace(k, s.steps.size());
        s.stepUnits.push_back(static_cast<std::uint16_t>(k));
        if (u.layout == UnitLayout::kPad) {
            s.steps.push_back(BlockDeclaration(k + 1));
        } else if (u.layout == UnitLayout::kDecrementJump || u.layout == UnitLayout::kConditionalJump) {
            references.push_back({s.steps.size(), u, k + StepDistance(u)});
            s.steps.emplace_back();  // named once the target's step is known
        } else {
            s.steps.push_back(StepText(u, BlockLabel(BlockStart(u))));
        }
    }
    stepAt.emplace(code.endMark, s.steps.size());  // the step after the last lands on the end mark
    if (s.steps.size() > kMaxSteps || (!references.empty() && s.steps.size() > kMaxSteps - 1))
        return Fail(error, FormatText("sentence at unit %u has more than 64 steps", unsigned{code.start}));
    for (const Reference& r : references) {
        auto it = stepAt.find(r.target);
        if (it == stepAt.end())
            return Fail(error, FormatText("unit %u: step reference into the middle of nowhere", unsigned{code.start}));
        s.steps[r.step] = StepText(r.unit, std::to_string(it->second));
    }
    return true;
}

}  // namespace

bool ListSentences(const DecodedImage& image, std::vector<SentenceListing>& out, std::string& error) {
    out.assign(image.sentences.size(), {});
    for (std::size_t i = 0; i < image.sentences.size(); ++i)
        if (!ListSentence(image, image.sentences[i], out[i], error)) return false;
    return true;
}

std::string SentenceText(const SentenceListing& sentence) {
    std::string text;
    for (const std::string& step : sentence.steps) text += (text.empty() ? "" : "+") + step;
    return text.empty() ? "N" : text;
}

int SentenceAt(const std::vector<SentenceListing>& sentences, unsigned unit) {
    for (std::size_t i = 0; i < sentences.size(); ++i)
        if (sentences[i].start == unit) return static_cast<int>(i);
    return -1;
}

}  // namespace zlt
