#include "sentence/step_text.h"

#include "base/context.h"
#include "base/format.h"
#include "platform/text.h"
#include "project/scan.h"

namespace zlt {

namespace {

// Steps are separated by '+' and ';'. These bytes, like the blank that ends
// a step text, never occur inside a multibyte character of the code pages
// project files are written in, so the text, once it has passed through the
// system's code page, is split byte by byte.
constexpr scan::CharSet kStepSeparators = scan::CharSet::Of("+;");

}  // namespace

std::optional<std::string_view> NextStepText(std::string_view& text, std::string_view* dropped) {
    while (auto piece = scan::NextToken(text, kStepSeparators)) {
        std::string_view step = scan::SkipSpace(*piece);
        const std::size_t blank = std::min(step.find(' '), step.size());
        if (blank == 0) continue;
        if (dropped) *dropped = step.substr(blank);
        return step.substr(0, blank);
    }
    return std::nullopt;
}

SentenceSite SentenceSite::Read(const LinkContext& ctx, unsigned n) {
    std::string key = FormatText("S%0.4d", static_cast<int>(n));
    std::string text = platform::ThroughAnsiCodePage(ctx.reader->ReadString("ZLP.Sentence", key, ""));
    return {&ctx, n, std::move(key), std::move(text)};
}

TextSpan SentenceSite::At(std::string_view part) const {
    TextSpan at = ctx->reader ? ValueSpan(*ctx->reader, "ZLP.Sentence", key) : TextSpan{};
    const std::uintptr_t begin = reinterpret_cast<std::uintptr_t>(text.data());
    const std::uintptr_t p = reinterpret_cast<std::uintptr_t>(part.data());
    if (at.line == 0 || at.length != text.size() || p < begin || p + part.size() > begin + text.size()) return at;
    at.column += static_cast<std::uint32_t>(p - begin);
    at.length = static_cast<std::uint32_t>(part.size());
    return at;
}

std::optional<std::string_view> SentenceSite::Step(unsigned step) const {
    std::string_view rest = text;
    std::optional<std::string_view> found = NextStepText(rest);
    for (; found && step > 0; --step) found = NextStepText(rest);
    return found;
}

}  // namespace zlt
