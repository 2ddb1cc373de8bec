// Instruction steps: the mnemonic prefixes that select a step's encoder, and
// the encoders that turn a step text into its 16-bit code unit.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace zlt {

class LabelTable;
struct Mnemonic;

// Encodes a step text that begins with the mnemonic's prefix. Returns 0 when
// the text does not fit the operand syntax: no valid unit is 0.
using Encoder = std::uint16_t (*)(const Mnemonic& m, std::string_view stepText,
                                  LabelTable& labels);

enum class StepKind {
    kInstruction,  // stores the encoder's unit
    kComment,      // ^REM_: stores nothing
    kBlock,        // ^BLK_: declares a code block
};

struct Mnemonic {
    std::string_view prefix;
    StepKind kind;
    Encoder encode;       // for kInstruction
    std::uint16_t code;   // the encoder's operation, condition or fixed unit
    bool stepReference;   // the unit's low byte holds a step number to resolve
};

// The first mnemonic, in the fixed test order, whose prefix starts the step
// text (case-sensitively); nullptr when none does.
const Mnemonic* FindMnemonic(std::string_view stepText);

// Bytes an operand (register, immediate, port, step number, label) holds at
// most; a longer operand makes the step invalid.
inline constexpr std::size_t kOperandWidth = 31;

// Ports of IOR and IOW by number; IOW writes only the clock fields.
struct Port {
    std::string_view name;
    bool writable;
};
inline constexpr std::array<Port, 13> kPorts = {{
    {"X[7..0]", false},  {"X[15..8]", false}, {"X[23..16]", false}, {"X[31..24]", false},
    {"OPTION", false},   {"YEAR", true},      {"MONTH", true},      {"DAY", true},
    {"DAYOFWEEK", true}, {"HOUR", true},      {"MINUTE", true},     {"SECOND", true},
    {"RANDOM", false},
}};


}  // namespace zlt
