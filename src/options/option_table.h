// The firmware options: the settings page of the key table, filled from
// sections ZLP.Firmware and ZLP.Firmware.UartMode.
#pragma once

#include "base/context.h"
#include "trigger/key_table.h"

#include <cstdint>
#include <span>
#include <string>

namespace zlt {

// How an option's value is read from the project and stored.
enum class OptionKind {
    kByte,      // ReadUnsigned, low 8 bits
    kWord,      // ReadUnsigned, low 16 bits
    kSignedWord,// ReadInteger, low 16 bits
    kFlag,      // ReadBool; true ORs `bit` into the 16-bit word
};

// Values an option accepts; anything else ends the stage with its message.
enum class OptionCheck { kAny, kBitsParity, kBaudRate };

struct OptionField {
    const char* section;
    const char* key;
    OptionKind kind;
    std::size_t offset;  // in the key table
    std::uint16_t bit;   // kFlag only
    std::uint32_t def;   // default value (0 or 1 for flags)
    OptionCheck check;
};

// Every option, in the order the stage reads them.
std::span<const OptionField> OptionFields();

// The values an option with check accepts; empty for kAny (every value).
std::span<const std::uint32_t> AcceptedValues(OptionCheck check);

// Reads the options into the key table.
bool ParseOptionTable(LinkContext& ctx);

// The value of an option in a key table, as a project would write it: a
// number, or true or false for a flag.
std::string OptionValueText(const OptionField& field, KeyTableView kt);

}  // namespace zlt
