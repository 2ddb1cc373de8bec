#include "base/diagnostic.h"

namespace zlt {

bool KindNamed(std::string_view name, Diag& kind) {
    for (std::size_t i = 0; i < std::size(kDiagInfo); ++i) {
        if (name == kDiagInfo[i].name) {
            kind = static_cast<Diag>(i);
            return true;
        }
    }
    return false;
}

std::string diag_detail::Fill(const char* text, std::initializer_list<std::string_view> args) {
    std::string out;
    const std::string_view* arg = args.begin();
    for (; *text; ++text) {
        if (text[0] == '%' && text[1] == 's' && arg != args.end()) {
            out += *arg++;
            ++text;
        } else {
            out += *text;
        }
    }
    return out;
}

TextSpan ValueSpan(const IniFile& ini, std::string_view section, std::string_view key) {
    if (const KeyLine* line = ini.Locate(section, key)) return line->valueAt;
    if (const SectionLine* header = ini.LocateSection(section)) return header->at;
    return {};
}

void Reporter::Start(Mode mode, std::string file) {
    mode_ = mode;
    file_ = std::move(file);
    diagnostics_.clear();
    errors_ = 0;
}

void Reporter::Warn(Finding finding) {
    if (mode_ == Mode::kCheck) Record(InfoOf(finding.kind).severity, std::move(finding), {});
}

void Reporter::Note(Finding finding) {
    if (mode_ == Mode::kCheck) Record(Severity::kNote, std::move(finding), {});
}

void Reporter::Record(Severity severity, Finding finding, std::string linkLine) {
    const bool first = severity == Severity::kError && errors_ == 0;
    if (severity == Severity::kError) ++errors_;
    diagnostics_.push_back({severity, finding.kind, file_, finding.at, std::move(finding.key),
                            std::move(finding.message), std::move(linkLine), first});
}

}  // namespace zlt
