#include "diagnostics.h"

#include <nlohmann/json.hpp>

#include <cstdlib>
#include <fstream>
#include <map>
#include <unistd.h>

namespace zlt::tool {

namespace {

// The library's table of diagnostic kinds: names, severities, texts.
namespace severity {
constexpr int kError = ZLTLNK_ERROR, kWarning = ZLTLNK_WARNING, kNote = ZLTLNK_NOTE;
}
struct Kind {
    const char* name;
    int severity;
    const char* text;
};
constexpr Kind kKinds[] = {
#define ZLT_DIAG(id, name, sev, text) {name, severity::sev, text},
#include "base/diagnostic_kinds.def"
#undef ZLT_DIAG
};

const Kind* KindNamed(const std::string& name) {
    for (const Kind& k : kKinds)
        if (name == k.name) return &k;
    return nullptr;
}

struct Collected {
    const WarningOptions* options;
    std::vector<Finding> findings;
    bool dropping = false;  // the last warning was left out: so are its notes
};

void Collect(const ZltLnkDiagnostic* d, void* self) {
    auto& c = *static_cast<Collected*>(self);
    const WarningOptions& o = *c.options;
    if (d->severity == ZLTLNK_NOTE) {
        if (c.dropping) return;
    } else {
        c.dropping = d->severity == ZLTLNK_WARNING && (!o.all || o.off.contains(d->kind));
        if (c.dropping) return;
    }
    Finding f{d->severity, false, d->file, d->key, d->kind, d->message, d->linkLine, d->line, d->column, d->length};
    if (f.severity == ZLTLNK_WARNING && o.asErrors) {
        f.severity = ZLTLNK_ERROR;
        f.promoted = true;
    }
    c.findings.push_back(std::move(f));
}

// The lines of a project file as the reader numbers them: split at line
// feeds, without a carriage return at the end, the byte-order mark dropped.
std::vector<std::string> SourceLines(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::vector<std::string> lines;
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (lines.empty() && line.starts_with("\xEF\xBB\xBF")) line.erase(0, 3);
        lines.push_back(std::move(line));
    }
    return lines;
}

const char* SeverityName(int s) { return s == ZLTLNK_ERROR ? "error" : s == ZLTLNK_WARNING ? "warning" : "note"; }

// The SGR colours GCC uses.
const char* SeverityColour(int s) { return s == ZLTLNK_ERROR ? "\033[01;31m" : s == ZLTLNK_WARNING ? "\033[01;35m" : "\033[01;36m"; }
constexpr const char* kBold = "\033[01m";
constexpr const char* kCaretColour = "\033[01;32m";
constexpr const char* kReset = "\033[m";

// A path as a URI reference: bytes other than unreserved ones and '/'
// percent-encoded.
std::string UriOf(const std::string& path) {
    static const char* const kHex = "0123456789ABCDEF";
    std::string uri;
    for (unsigned char c : path) {
        if (std::isalnum(c) || c == '-' || c == '.' || c == '_' || c == '~' || c == '/') {
            uri += static_cast<char>(c);
        } else {
            uri += '%';
            uri += kHex[c >> 4];
            uri += kHex[c & 15];
        }
    }
    return uri;
}

// A byte column as a column of Unicode code points, for UTF-8 text.
unsigned CodePointColumn(const std::string& line, unsigned byteColumn) {
    unsigned column = 1;
    for (std::size_t i = 0; i + 1 < byteColumn && i < line.size(); ++i)
        if ((static_cast<unsigned char>(line[i]) & 0xC0) != 0x80) ++column;
    return column;
}

}  // namespace

bool ParseWarningOption(const std::string& arg, WarningOptions& options, std::string& reason) {
    if (arg == "error") {
        options.asErrors = true;
        return true;
    }
    if (!arg.starts_with("no-")) {
        reason = "unknown warning option -W" + arg;
        return false;
    }
    const std::string name = arg.substr(3);
    const Kind* kind = KindNamed(name);
    if (kind == nullptr || kind->severity == ZLTLNK_NOTE) {
        reason = "no warning is named " + name;
        return false;
    }
    if (kind->severity == ZLTLNK_ERROR) {
        reason = name + " is an error, which a link cannot ignore";
        return false;
    }
    options.off.insert(name);
    return true;
}

std::vector<Finding> CheckProject(const char* project, const WarningOptions& options) {
    Collected c{&options, {}};
    ZltLnk_CheckProject(project, Collect, &c);
    return std::move(c.findings);
}

int ErrorCount(const std::vector<Finding>& findings) {
    int n = 0;
    for (const Finding& f : findings) n += f.severity == ZLTLNK_ERROR;
    return n;
}

void WriteText(std::FILE* out, const std::vector<Finding>& findings, bool colour) {
    std::map<std::string, std::vector<std::string>> sources;
    auto paint = [&](const char* sgr) { return colour ? sgr : ""; };
    for (const Finding& f : findings) {
        if (f.line > 0)
            std::fprintf(out, "%s%s:%u:%u:%s ", paint(kBold), f.file.c_str(), f.line, f.column, paint(kReset));
        else
            std::fprintf(out, "%s%s:%s ", paint(kBold), f.file.c_str(), paint(kReset));
        std::fprintf(out, "%s%s:%s %s", paint(SeverityColour(f.severity)), SeverityName(f.severity), paint(kReset),
                     f.message.c_str());
        if (f.severity != ZLTLNK_NOTE) {
            const std::string option = f.promoted                       ? "-Werror=" + f.kind
                                       : f.severity == ZLTLNK_WARNING ? "-W" + f.kind
                                                                        : f.kind;
            std::fprintf(out, " [%s%s%s]", paint(SeverityColour(f.severity)), option.c_str(), paint(kReset));
        }
        std::fputc('\n', out);
        if (f.line == 0) continue;
        auto source = sources.find(f.file);
        if (source == sources.end()) source = sources.emplace(f.file, SourceLines(f.file)).first;
        if (f.line > source->second.size()) continue;
        const std::string& text = source->second[f.line - 1];
        std::fprintf(out, "%5u | %s\n      | ", f.line, text.c_str());
        // Tabs before the column stay tabs, so that the caret lines up.
        std::string caret;
        for (unsigned i = 1; i < f.column && i - 1 < text.size(); ++i) caret += text[i - 1] == '\t' ? '\t' : ' ';
        caret += paint(kCaretColour);
        caret += '^';
        for (unsigned i = 1; i < f.length; ++i) caret += '~';
        caret += paint(kReset);
        std::fprintf(out, "%s\n", caret.c_str());
    }
}

void WriteSarif(std::FILE* out, const std::vector<Finding>& findings, const char* version) {
    using Json = nlohmann::ordered_json;
    Json rules = Json::array();
    std::map<std::string, std::size_t> ruleIndex;
    for (const Kind& k : kKinds) {
        if (k.severity == ZLTLNK_NOTE) continue;
        ruleIndex[k.name] = rules.size();
        rules.push_back({{"id", k.name},
                         {"shortDescription", {{"text", k.text}}},
                         {"helpUri", std::string("docs/diagnostics.md#") + k.name},
                         {"defaultConfiguration", {{"level", SeverityName(k.severity)}}}});
    }
    std::map<std::string, std::vector<std::string>> sources;
    auto location = [&](const Finding& f) {
        Json physical = {{"artifactLocation", {{"uri", UriOf(f.file)}}}};
        if (f.line > 0) {
            auto source = sources.find(f.file);
            if (source == sources.end()) source = sources.emplace(f.file, SourceLines(f.file)).first;
            const std::string text = f.line <= source->second.size() ? source->second[f.line - 1] : "";
            const unsigned start = CodePointColumn(text, f.column);
            physical["region"] = {{"startLine", f.line},
                                  {"startColumn", start},
                                  {"endColumn", CodePointColumn(text, f.column + f.length)}};
        }
        return Json{{"physicalLocation", physical}};
    };
    Json results = Json::array();
    for (const Finding& f : findings) {
        if (f.severity == ZLTLNK_NOTE && !results.empty()) {
            Json note = location(f);
            note["message"] = {{"text", f.message}};
            Json& related = results.back()["relatedLocations"];
            note["id"] = related.is_array() ? related.size() : 0;
            related.push_back(note);
            continue;
        }
        Json result = {{"ruleId", f.kind},
                       {"level", SeverityName(f.severity)},
                       {"message", {{"text", f.message}}},
                       {"locations", Json::array({location(f)})}};
        if (auto i = ruleIndex.find(f.kind); i != ruleIndex.end()) result["ruleIndex"] = i->second;
        if (!f.key.empty()) result["properties"] = {{"key", f.key}};
        results.push_back(std::move(result));
    }
    const Json log = {
        {"$schema", "https://json.schemastore.org/sarif-2.1.0.json"},
        {"version", "2.1.0"},
        {"runs",
         Json::array({{{"tool", {{"driver", {{"name", "zlt900-link"}, {"version", version}, {"rules", rules}}}}},
                       {"columnKind", "unicodeCodePoints"},
                       {"results", results}}})}};
    std::fprintf(out, "%s\n", log.dump(2).c_str());
}

bool ColourStderr() {
    const char* noColour = std::getenv("NO_COLOR");
    return ::isatty(STDERR_FILENO) == 1 && (noColour == nullptr || *noColour == '\0');
}

}  // namespace zlt::tool
