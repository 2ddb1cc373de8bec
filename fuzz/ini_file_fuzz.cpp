// The project-file reader on arbitrary bytes, then every read operation on
// keys taken from the input itself.
#include "project/ini_file.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view text(reinterpret_cast<const char*>(data), size);
    auto ini = zlt::IniFile::Parse(text);
    // Use the first two lines of the input as a section and a key name.
    std::size_t a = text.find('\n');
    std::string_view section = text.substr(0, a);
    std::string_view key = a == std::string_view::npos ? "" : text.substr(a + 1, text.find('\n', a + 1) - a - 1);
    (void)ini->ReadString(section, key, "d");
    (void)ini->ReadInteger(section, key, 1);
    (void)ini->ReadUnsigned(section, key, 2);
    (void)ini->ReadBool(section, key, true);
    (void)ini->ReadFloat(section, key, 1.5);
    (void)ini->StrCmp(section, key, "NVK");
    (void)ini->ReadString("ZLP.Sentence", "S0000", "");
    return 0;
}
