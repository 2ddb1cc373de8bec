#include "studio/project_edits.h"

#include "base/context.h"
#include "base/names.h"
#include "options/option_table.h"
#include "project/ini_file.h"

#include <algorithm>
#include <cctype>
#include <set>
#include <vector>

namespace zlt::studio {

namespace {

constexpr const char* kSystem = "ZLP.System";
constexpr const char* kSystemKeys[] = {"TG_Mode", "Description"};

struct EntryKind {
    char letter;
    const char* section;
};
constexpr EntryKind kEntryKinds[] = {{'W', "ZLP.Word"}, {'S', "ZLP.Sentence"}, {'T', "ZLP.Trigger"}};

// A line of the text: its content [begin, end) and its line end [end, next).
struct TextLine {
    std::size_t begin, end, next;
};

std::vector<TextLine> SplitLines(std::string_view text) {
    std::vector<TextLine> lines;
    for (std::size_t begin = 0; begin < text.size();) {
        const std::size_t lf = text.find('\n', begin);
        if (lf == std::string_view::npos) {
            lines.push_back({begin, text.size(), text.size()});
            break;
        }
        const std::size_t end = lf > begin && text[lf - 1] == '\r' ? lf - 1 : lf;
        lines.push_back({begin, end, lf + 1});
        begin = lf + 1;
    }
    return lines;
}

bool SameEntry(const EntryName& name, std::string_view section, std::string_view key) {
    return EqualsIgnoringCase(name.section, section) && EqualsIgnoringCase(name.key, key);
}

}  // namespace

std::optional<EntryName> EntryOf(std::string_view key) {
    if (key.size() == 5 && std::all_of(key.begin() + 1, key.end(), [](char c) { return c >= '0' && c <= '9'; }) &&
        std::stoul(std::string(key.substr(1))) < kEntryCount) {
        const char letter = static_cast<char>(std::toupper(static_cast<unsigned char>(key[0])));
        for (const EntryKind& kind : kEntryKinds)
            if (kind.letter == letter) return EntryName{kind.section, letter + std::string(key.substr(1))};
    }
    for (const OptionField& f : OptionFields())
        if (EqualsIgnoringCase(key, f.key)) return EntryName{f.section, f.key};
    for (const char* k : kSystemKeys)
        if (EqualsIgnoringCase(key, k)) return EntryName{kSystem, k};
    return std::nullopt;
}

std::string ApplyEdits(std::string_view text, const Edits& edits) {
    const std::unique_ptr<IniFile> ini = IniFile::Parse(text);
    const std::vector<TextLine> lines = SplitLines(text);
    // Columns of the first line count from after a byte-order mark.
    const std::size_t bom = text.starts_with("\xEF\xBB\xBF") ? 3 : 0;
    auto offsetOf = [&](const TextSpan& at) { return lines[at.line - 1].begin + (at.line == 1 ? bom : 0) + at.column - 1; };
    std::string eol = "\n";
    for (const TextLine& l : lines)
        if (l.next > l.end) {
            eol = std::string(text.substr(l.end, l.next - l.end));
            break;
        }

    // What becomes of each line the edits touch (by index), and what follows it.
    struct LineChange {
        std::optional<std::string> content;
        bool drop = false;
        std::string after;
    };
    std::map<std::size_t, LineChange> changes;
    std::set<EntryName> present;
    auto editOf = [&](std::string_view section, std::string_view key) {
        return std::find_if(edits.begin(), edits.end(), [&](const auto& e) { return SameEntry(e.first, section, key); });
    };
    for (std::size_t i = 0; i < ini->Keys().size(); ++i) {
        const KeyLine& k = ini->Keys()[i];
        const auto edit = editOf(ini->Sections()[k.section].name, k.key);
        if (edit == edits.end()) continue;
        present.insert(edit->first);
        LineChange& change = changes[k.keyAt.line - 1];
        if (!edit->second) {
            change.drop = true;
        } else if (k.first == i) {  // a repeated key's later lines do not count
            const TextLine& l = lines[k.keyAt.line - 1];
            const std::size_t value = offsetOf(k.valueAt);
            change.content = std::string(text.substr(l.begin, value - l.begin)) + *edit->second +
                             std::string(text.substr(value + k.valueAt.length, l.end - value - k.valueAt.length));
        }
    }

    std::vector<std::pair<std::string, std::string>> newSections;  // in the order of the edits
    for (const auto& [name, value] : edits) {
        if (!value || present.contains(name)) continue;
        std::optional<std::size_t> anchor;
        std::string separator = "=";
        for (const KeyLine& k : ini->Keys()) {
            if (!EqualsIgnoringCase(ini->Sections()[k.section].name, name.section)) continue;
            anchor = k.keyAt.line - 1;
            const std::size_t keyEnd = offsetOf(k.keyAt) + k.keyAt.length;
            const std::string_view between = text.substr(keyEnd, offsetOf(k.valueAt) - keyEnd);
            separator = between.find_first_not_of(" \t=") == std::string_view::npos &&
                                std::count(between.begin(), between.end(), '=') == 1
                            ? std::string(between)
                            : "=";
        }
        if (!anchor)
            if (const SectionLine* header = ini->LocateSection(name.section)) anchor = header->at.line - 1;
        const std::string line = name.key + separator + *value + eol;
        if (anchor) {
            changes[*anchor].after += line;
            continue;
        }
        auto section = std::find_if(newSections.begin(), newSections.end(),
                                    [&](const auto& s) { return s.first == name.section; });
        if (section == newSections.end()) section = newSections.insert(newSections.end(), {name.section, ""});
        section->second += line;
    }

    std::string out;
    out.reserve(text.size() + 256);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const TextLine& l = lines[i];
        const auto change = changes.find(i);
        if (change == changes.end()) {
            out += text.substr(l.begin, l.next - l.begin);
            continue;
        }
        const LineChange& c = change->second;
        if (!c.drop) {
            out += c.content ? std::string_view(*c.content) : text.substr(l.begin, l.end - l.begin);
            out += l.next > l.end ? text.substr(l.end, l.next - l.end) : std::string_view(c.after.empty() ? "" : eol);
        }
        out += c.after;
    }
    for (const auto& [section, keys] : newSections) {
        if (!out.empty() && out.back() != '\n') out += eol;
        if (!out.empty()) out += eol;
        out += "[" + section + "]" + eol + keys;
    }
    return out;
}

}  // namespace zlt::studio
