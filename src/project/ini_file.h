// Reader of the project file: INI text with the semantics of Windows private
// profiles.
//
// - Section and key names compare without regard to ASCII letter case.
// - The first '=' of a line separates key and value; blanks (spaces, tabs)
//   around both are trimmed, then a value wrapped in one matching pair of
//   double or single quotes loses that pair.
// - The first occurrence of a key wins, also across repeated section headers.
// - Whole-line comments start with ';' or '#'. Values are never cut at a ';'
//   or '#': sentences and triggers use these characters.
// - Lines without '=' and lines before the first section header are ignored.
// - LF and CRLF line ends; a UTF-8 byte-order mark is skipped.
//
// Beside the values the reader keeps where everything stands: every section
// header and every key line as written, in file order, with the line and
// column of its key and of its value, so that a check can point at the text
// it means, also at a repeated key whose value does not count.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace zlt {

// A stretch of the project file: 1-based line, 1-based column in bytes from
// the start of the line (after a byte-order mark), and length in bytes.
// Line 0 stands for the file as a whole.
struct TextSpan {
    std::uint32_t line = 0;
    std::uint32_t column = 0;
    std::uint32_t length = 0;
};

// A "[name]" header as written.
struct SectionLine {
    std::string_view name;  // inside the brackets, blanks trimmed
    TextSpan at;            // of the name
};

// A "key=value" line inside a section, as written.
struct KeyLine {
    std::uint32_t section;  // index in Sections() of the header above it
    std::string_view key;   // blanks trimmed
    TextSpan keyAt;
    TextSpan valueAt;       // of the value that reads return: trimmed, unquoted
    std::uint32_t first;    // index in Keys() of the line whose value counts:
                            // this line's own unless the key was given before
};

class IniFile {
public:
    IniFile() = default;
    IniFile(const IniFile&) = delete;  // the views point into its own text
    IniFile& operator=(const IniFile&) = delete;

    // Reads the file at path; none when it cannot be read or is not a
    // regular file.
    static std::unique_ptr<IniFile> Load(const char* path);
    static std::unique_ptr<IniFile> Parse(std::string_view text);

    std::string ReadString(std::string_view section, std::string_view key,
                           std::string_view def) const;
    // Numbers: decimal, 0x or $ hexadecimal, an optional sign, up to 32 bits
    // of magnitude; anything else yields the default.
    std::int32_t ReadInteger(std::string_view section, std::string_view key, std::int32_t def) const;
    std::uint32_t ReadUnsigned(std::string_view section, std::string_view key, std::uint32_t def) const;
    // Numbers (non-zero is true) or true/false, yes/no, on/off in any case.
    bool ReadBool(std::string_view section, std::string_view key, bool def) const;
    double ReadFloat(std::string_view section, std::string_view key, double def) const;
    // 0 when the key exists and its value equals text exactly.
    int StrCmp(std::string_view section, std::string_view key, std::string_view text) const;

    const std::string* Find(std::string_view section, std::string_view key) const;

    // The line whose value a read of section/key returns; null when absent.
    const KeyLine* Locate(std::string_view section, std::string_view key) const;
    // The first header of section (letter case ignored); null when absent.
    const SectionLine* LocateSection(std::string_view section) const;

    // Every section header and key line, in file order.
    const std::vector<SectionLine>& Sections() const { return headers_; }
    const std::vector<KeyLine>& Keys() const { return lines_; }

private:
    struct Value {
        std::string text;
        std::uint32_t line;  // index in lines_
    };
    struct Section {
        std::uint32_t header;  // index in headers_ of its first header
        std::unordered_map<std::string, Value> keys;
    };
    const Value* Lookup(std::string_view section, std::string_view key) const;
    std::string text_;  // the file's text, which the views above point into
    std::unordered_map<std::string, Section> sections_;
    std::vector<SectionLine> headers_;
    std::vector<KeyLine> lines_;
};

// The scalar parsers behind the Read operations, on a trimmed value.
std::optional<std::uint32_t> ParseProfileNumber(std::string_view text);
std::optional<bool> ParseProfileBool(std::string_view text);
std::optional<double> ParseProfileFloat(std::string_view text);

}  // namespace zlt
