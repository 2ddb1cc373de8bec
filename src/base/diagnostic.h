// Diagnostics: the one table of diagnostic kinds, the located findings the
// stages make, and the Reporter through which a stage reports a fault.
//
// A stage that finds a fault in an entry builds a Finding of its kind at the
// place it means and hands it to the Reporter together with the link's own
// error line:
//
//     if (!accepted)
//         return ctx.report.Fail(Found<Diag::kBadBaudRate>(at, key, value),
//                                "\nErr: Unknown or Unsupport serial baud !!!");
//
// and its entry loop asks whether to go on:
//
//     if (!CheckEntry(ctx, n) && !ctx.report.GoOn()) return false;
//
// In link mode Fail sends the error line through LnkPrintf and the stage
// stops at the first fault, as it always has. In check mode Fail records the
// located diagnostic (with the line a link would print) and the stage goes
// on with its next entry. Both come from the same call, so a link and a
// check never disagree on whether, where and why a project fails.
#pragma once

#include "base/format.h"
#include "base/message.h"
#include "project/ini_file.h"

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

namespace zlt {

enum class Severity : std::uint8_t { kError, kWarning, kNote };

enum class Diag : std::uint16_t {
#define ZLT_DIAG(id, name, severity, text) id,
#include "base/diagnostic_kinds.def"
#undef ZLT_DIAG
};

struct DiagInfo {
    const char* name;
    Severity severity;
    const char* text;
};

inline constexpr DiagInfo kDiagInfo[] = {
#define ZLT_DIAG(id, name, severity, text) {name, Severity::severity, text},
#include "base/diagnostic_kinds.def"
#undef ZLT_DIAG
};

constexpr const DiagInfo& InfoOf(Diag kind) { return kDiagInfo[static_cast<std::size_t>(kind)]; }

// The kind of a name; false when no kind has it.
bool KindNamed(std::string_view name, Diag& kind);

namespace diag_detail {
consteval int Arguments(const char* text) {
    int n = 0;
    for (; *text; ++text)
        if (text[0] == '%' && text[1] == 's') ++n;
    return n;
}
// The text with each "%s" replaced by the next argument.
std::string Fill(const char* text, std::initializer_list<std::string_view> args);
}  // namespace diag_detail

// What a stage found, where: the kind, the offending text, the entry key
// ("W0005", "BaudRate") and the message.
struct Finding {
    Diag kind;
    TextSpan at;
    std::string key;
    std::string message;
};

// A finding of kind K, its message made from the kind's text and args (one
// per "%s", checked at compile time).
template <Diag K, typename... Args>
Finding Found(TextSpan at, std::string_view key, const Args&... args) {
    static_assert(diag_detail::Arguments(InfoOf(K).text) == sizeof...(Args),
                  "a diagnostic takes one argument per %s of its text");
    return {K, at, std::string(key), diag_detail::Fill(InfoOf(K).text, {std::string_view(args)...})};
}

// Where the value of section/key stands: the value, else the section's
// header, else the file as a whole.
TextSpan ValueSpan(const IniFile& ini, std::string_view section, std::string_view key);

struct Diagnostic {
    Severity severity;
    Diag kind;
    std::string file;
    TextSpan at;
    std::string key;
    std::string message;
    // Errors: the error line a link prints for this fault.
    std::string linkLine;
    // The first error in the order a link meets them: where a link stops.
    bool stopsLink = false;
};

class Reporter {
public:
    enum class Mode { kLink, kCheck };

    // Starts a run in mode; diagnostics name file.
    void Start(Mode mode, std::string file);
    bool Checking() const { return mode_ == Mode::kCheck; }
    // After a fault, does the stage go on with its next entry?
    bool GoOn() const { return mode_ == Mode::kCheck; }

    // Reports a fault that stops a link: in link mode sends `line`, in check
    // mode records the finding. Returns false, the entry's result.
    template <typename... Args>
    bool Fail(Finding finding, Format<Args...> line, Args... args) {
        if (mode_ == Mode::kLink) {
            LnkPrintf(line, args...);
            Record(Severity::kError, std::move(finding), {});
        } else {
            Record(Severity::kError, std::move(finding), FormatText(line, args...));
        }
        return false;
    }
    // Reports what a link accepts; recorded in check mode only.
    void Warn(Finding finding);
    // Adds a note to the diagnostic before it; recorded in check mode only.
    void Note(Finding finding);

    const std::vector<Diagnostic>& Diagnostics() const { return diagnostics_; }
    std::vector<Diagnostic> Take() { return std::move(diagnostics_); }
    unsigned Errors() const { return errors_; }

private:
    void Record(Severity severity, Finding finding, std::string linkLine);

    Mode mode_ = Mode::kLink;
    std::string file_;
    std::vector<Diagnostic> diagnostics_;
    unsigned errors_ = 0;
};

}  // namespace zlt
