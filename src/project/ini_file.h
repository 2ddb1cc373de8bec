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
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

namespace zlt {

class IniFile {
public:
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

private:
    using Section = std::unordered_map<std::string, std::string>;
    std::unordered_map<std::string, Section> sections_;
};

// The scalar parsers behind the Read operations, on a trimmed value.
std::optional<std::uint32_t> ParseProfileNumber(std::string_view text);
std::optional<bool> ParseProfileBool(std::string_view text);
std::optional<double> ParseProfileFloat(std::string_view text);

}  // namespace zlt
