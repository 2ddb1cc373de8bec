#include "project/ini_file.h"

#include "platform/files.h"

#include <cerrno>
#include <charconv>
#include <cmath>
#include <sys/stat.h>
#include <unistd.h>

namespace zlt {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view Trim(std::string_view s) {
    while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
    while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
    return s;
}

std::string Lower(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return out;
}

std::string_view Unquote(std::string_view v) {
    if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
        return v.substr(1, v.size() - 2);
    return v;
}

bool ReadWholeFile(const char* path, std::string& out) {
    // The open does not block on a FIFO; a FIFO is refused below.
    int fd = platform::OpenForReading(path);
    if (fd < 0) return false;
    struct stat st {};
    bool ok = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    if (ok) {
        char buf[65536];
        for (;;) {
            ssize_t n = ::read(fd, buf, sizeof buf);
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) ok = false;
            if (n <= 0) break;
            out.append(buf, static_cast<std::size_t>(n));
        }
    }
    ::close(fd);
    return ok;
}

}  // namespace

std::unique_ptr<IniFile> IniFile::Load(const char* path) {
    std::string text;
    if (!ReadWholeFile(path, text)) return nullptr;
    return Parse(text);
}

std::unique_ptr<IniFile> IniFile::Parse(std::string_view source) {
    auto ini = std::make_unique<IniFile>();
    ini->text_.assign(source);
    std::string_view text = ini->text_;
    if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
    Section* current = nullptr;
    std::uint32_t currentHeader = 0;
    for (std::uint32_t lineNumber = 1; !text.empty(); ++lineNumber) {
        std::size_t eol = text.find('\n');
        const std::string_view whole = text.substr(0, eol);
        text.remove_prefix(eol == std::string_view::npos ? text.size() : eol + 1);
        std::string_view line = whole;
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        line = Trim(line);
        if (line.empty() || line.front() == ';' || line.front() == '#') continue;
        // Where a part of this line stands.
        auto at = [&](std::string_view part) {
            return TextSpan{lineNumber, static_cast<std::uint32_t>(part.data() - whole.data() + 1),
                            static_cast<std::uint32_t>(part.size())};
        };
        if (line.front() == '[') {
            std::string_view name = line.substr(1);
            name = Trim(name.substr(0, name.find(']')));
            currentHeader = static_cast<std::uint32_t>(ini->headers_.size());
            ini->headers_.push_back({name, at(name)});
            current = &ini->sections_.try_emplace(Lower(name), Section{currentHeader, {}}).first->second;
            continue;
        }
        std::size_t eq = line.find('=');
        if (current == nullptr || eq == std::string_view::npos) continue;
        std::string_view key = Trim(line.substr(0, eq));
        std::string_view value = Unquote(Trim(line.substr(eq + 1)));
        const auto index = static_cast<std::uint32_t>(ini->lines_.size());
        const Value& kept = current->keys.try_emplace(Lower(key), Value{std::string(value), index}).first->second;
        ini->lines_.push_back({currentHeader, key, at(key), at(value), kept.line});
    }
    return ini;
}

const IniFile::Value* IniFile::Lookup(std::string_view section, std::string_view key) const {
    auto s = sections_.find(Lower(section));
    if (s == sections_.end()) return nullptr;
    auto k = s->second.keys.find(Lower(key));
    return k == s->second.keys.end() ? nullptr : &k->second;
}

const std::string* IniFile::Find(std::string_view section, std::string_view key) const {
    const Value* v = Lookup(section, key);
    return v ? &v->text : nullptr;
}

const KeyLine* IniFile::Locate(std::string_view section, std::string_view key) const {
    const Value* v = Lookup(section, key);
    return v ? &lines_[v->line] : nullptr;
}

const SectionLine* IniFile::LocateSection(std::string_view section) const {
    auto s = sections_.find(Lower(section));
    return s == sections_.end() ? nullptr : &headers_[s->second.header];
}

std::string IniFile::ReadString(std::string_view section, std::string_view key,
                                std::string_view def) const {
    const std::string* v = Find(section, key);
    return v ? *v : std::string(def);
}

std::int32_t IniFile::ReadInteger(std::string_view section, std::string_view key,
                                  std::int32_t def) const {
    const std::string* v = Find(section, key);
    if (!v) return def;
    auto n = ParseProfileNumber(*v);
    return n ? static_cast<std::int32_t>(*n) : def;
}

std::uint32_t IniFile::ReadUnsigned(std::string_view section, std::string_view key,
                                    std::uint32_t def) const {
    const std::string* v = Find(section, key);
    if (!v) return def;
    return ParseProfileNumber(*v).value_or(def);
}

bool IniFile::ReadBool(std::string_view section, std::string_view key, bool def) const {
    const std::string* v = Find(section, key);
    if (!v) return def;
    return ParseProfileBool(*v).value_or(def);
}

double IniFile::ReadFloat(std::string_view section, std::string_view key, double def) const {
    const std::string* v = Find(section, key);
    if (!v) return def;
    return ParseProfileFloat(*v).value_or(def);
}

int IniFile::StrCmp(std::string_view section, std::string_view key, std::string_view text) const {
    const std::string* v = Find(section, key);
    return (v && *v == text) ? 0 : 1;
}

std::optional<std::uint32_t> ParseProfileNumber(std::string_view text) {
    bool negative = false;
    if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    int base = 10;
    if (text.starts_with("0x") || text.starts_with("0X")) {
        base = 16;
        text.remove_prefix(2);
    } else if (text.starts_with("$")) {
        base = 16;
        text.remove_prefix(1);
    }
    if (text.empty() || text.front() == '+' || text.front() == '-') return std::nullopt;
    std::uint64_t magnitude = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), magnitude, base);
    if (ec != std::errc() || end != text.data() + text.size() || magnitude > 0xFFFFFFFFu)
        return std::nullopt;
    // A negative number wraps as in two's complement: -1 reads as 0xFFFFFFFF.
    std::uint32_t value = static_cast<std::uint32_t>(magnitude);
    return negative ? static_cast<std::uint32_t>(0u - value) : value;
}

std::optional<bool> ParseProfileBool(std::string_view text) {
    std::string word = Lower(text);
    if (word == "true" || word == "yes" || word == "on") return true;
    if (word == "false" || word == "no" || word == "off") return false;
    auto n = ParseProfileNumber(text);
    if (!n) return std::nullopt;
    return *n != 0;
}

std::optional<double> ParseProfileFloat(std::string_view text) {
    if (text.starts_with("+")) {
        text.remove_prefix(1);
        if (text.starts_with("-")) return std::nullopt;
    }
    if (text.empty() || text.front() == '+') return std::nullopt;
    double value = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || !std::isfinite(value))
        return std::nullopt;
    return value;
}

}  // namespace zlt
