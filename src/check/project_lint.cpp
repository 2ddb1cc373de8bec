// Warnings about the project text itself: sections and keys that no stage
// reads, and keys given more than once.
#include "check/checker.h"

#include "base/context.h"
#include "base/names.h"
#include "options/option_table.h"

#include <cctype>
#include <vector>

namespace zlt {

namespace {

constexpr const char* kSections[] = {"ZLP.Head",     "ZLP.System", "ZLP.Firmware", "ZLP.Firmware.UartMode",
                                     "ZLP.Word",     "ZLP.Sentence", "ZLP.Trigger"};

// The keys each section is read for; the entry sections have their letter.
struct KnownSection {
    const char* name;
    char entryLetter;  // 'W', 'S', 'T', or 0
    std::vector<const char*> keys;
};

std::vector<KnownSection> KnownSections() {
    std::vector<KnownSection> known = {
        {"ZLP.Head", 0, {"Signature", "Version"}},
        {"ZLP.System", 0, {"Target", "TG_Mode", "Description"}},
        {"ZLP.Firmware", 0, {}},
        {"ZLP.Firmware.UartMode", 0, {}},
        {"ZLP.Word", 'W', {}},
        {"ZLP.Sentence", 'S', {}},
        {"ZLP.Trigger", 'T', {}},
    };
    for (const OptionField& f : OptionFields())
        for (KnownSection& s : known)
            if (std::string_view(s.name) == f.section) s.keys.push_back(f.key);
    return known;
}

bool IsDigits(std::string_view s) {
    for (char c : s)
        if (!std::isdigit(static_cast<unsigned char>(c))) return false;
    return !s.empty();
}

// Warns when key is not one that an entry section reads: its letter and
// four digits up to 8191.
void CheckEntryKey(LinkContext& ctx, const KeyLine& line, const KnownSection& section) {
    const std::string_view key = line.key;
    const char letter = section.entryLetter;
    const bool letterOk = !key.empty() && (key[0] == letter || key[0] == letter + ('a' - 'A'));
    const std::string_view digits = key.empty() ? key : key.substr(1);
    if (letterOk && digits.size() == 4 && IsDigits(digits) && std::stoi(std::string(digits)) < 8192) return;
    const std::string first(1, letter);
    Finding f = Found<Diag::kMalformedKey>(line.keyAt, key, key, section.name, first, first);
    if (letterOk && IsDigits(digits) && digits.size() < 4)
        f.message += FormatText("; did you mean `%s`?",
                                FormatText("%c%0.4d", static_cast<int>(letter), std::stoi(std::string(digits))).c_str());
    ctx.report.Warn(std::move(f));
}

}  // namespace

void LintProjectText(LinkContext& ctx) {
    const IniFile& ini = *ctx.reader;
    const std::vector<KnownSection> known = KnownSections();
    // The known section of each header, or null.
    std::vector<const KnownSection*> sectionOf;
    for (const SectionLine& header : ini.Sections()) {
        const KnownSection* match = nullptr;
        for (const KnownSection& s : known)
            if (EqualsIgnoringCase(header.name, s.name)) match = &s;
        sectionOf.push_back(match);
        if (match) continue;
        Finding f = Found<Diag::kUnknownSection>(header.at, "", header.name);
        if (const char* near = Closest(header.name, kSections)) f.message += FormatText("; did you mean [%s]?", near);
        ctx.report.Warn(std::move(f));
    }
    const std::vector<KeyLine>& lines = ini.Keys();
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const KeyLine& line = lines[i];
        const KnownSection* section = sectionOf[line.section];
        if (line.first != i) {
            ctx.report.Warn(Found<Diag::kDuplicateKey>(line.keyAt, line.key, line.key));
            ctx.report.Note(Found<Diag::kFirstGivenHere>(lines[line.first].keyAt, line.key, line.key));
            continue;
        }
        if (section == nullptr) continue;  // reported with its header
        if (section->entryLetter != 0) {
            CheckEntryKey(ctx, line, *section);
            continue;
        }
        bool read = false;
        for (const char* k : section->keys) read |= EqualsIgnoringCase(line.key, k);
        if (read) continue;
        Finding f = Found<Diag::kUnknownKey>(line.keyAt, line.key, line.key, section->name);
        if (const char* near = Closest(line.key, section->keys)) f.message += FormatText("; did you mean `%s`?", near);
        ctx.report.Warn(std::move(f));
    }
}

}  // namespace zlt
