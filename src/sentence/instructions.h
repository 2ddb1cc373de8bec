// Code units: the 16-bit units of the sentence table. One table of mnemonics
// and one set of unit layouts serve both ways: a step text is encoded into
// its unit, and a unit is decoded back into the step that makes it.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace zlt {

class LabelTable;

inline constexpr std::uint16_t kPadUnit = 0x0000;  // before a block that would start at an odd unit
inline constexpr std::uint16_t kEndMark = 0xFFFF;  // ends a sentence; also the unit of ^EOP
// The prefix of a block declaration step; the block's label follows it.
inline constexpr std::string_view kBlockPrefix = "^BLK_";

// How the bits of a unit are laid out, by the range of the code space the
// unit lies in.
enum class UnitLayout {
    kPad,              // 0x0000
    kFixed,            // the operation is the whole unit
    kRegisterForm,     // bits 9-6 operation, 5-3 first register, 2-0 second register
    kOneRegister,      // 0x0080 + 8 x operation + register
    kTransmitByte,     // 0x0100 + immediate
    kMute,             // 0x0400 + value / 50
    kImmediateForm,    // bits 15-11 operation, 10-8 register, 7-0 immediate or port
    kDecrementJump,    // 0x1000, register in bits 10-8, step field in bits 7-0
    kConditionalJump,  // 0x1800, condition in bits 10-8, step field in bits 7-0
    kWord,             // 0x2000 + word number
    kBlockJump,        // kind in bits 15-14, label number or block start / 2 in bits 13-0
};

// The operands of an instruction step, which decide its unit's layout.
enum class Operands {
    kNone,                 // RET SETC CLRC EOP: the fixed unit `code`
    kRegisterOrImmediate,  // MOV ADD SUB CMP AND ORL XOR: register form or immediate form
    kRegisterPair,         // XCH BITS: register form only
    kRegister,             // SHL SHR SWAP BCD2BIN BIN2BCD PUSH POP
    kRegisterOrByte,       // TXD: one-register unit, or the transmit-byte unit
    kPort,                 // IOR IOW: immediate form with a port number
    kRegisterStep,         // DJNZ: register and step reference
    kStep,                 // JZ JNZ JC JNC JG JGE JL JLE: step reference, condition `code`
    kLabel,                // CALL JMP: block label, kind `code`
    kBlock,                // ^BLK_: declares a code block; no unit of its own
    kComment,              // ^REM_: no unit
};

struct Mnemonic {
    std::string_view prefix;  // a step text starts with it, e.g. "^ADD_"
    Operands operands;
    std::uint16_t code;       // operation, condition, fixed unit or jump kind

    bool StoresUnit() const { return operands != Operands::kBlock && operands != Operands::kComment; }
    // The unit's low byte holds a step number to be turned into a distance.
    bool TakesStepReference() const { return operands == Operands::kRegisterStep || operands == Operands::kStep; }
};

// Every mnemonic, grouped by the character after '^', each group in the
// order its prefixes are tried.
std::span<const Mnemonic> Mnemonics();

// The first mnemonic, in the fixed test order, whose prefix starts the step
// text (case-sensitively); nullptr when none does.
const Mnemonic* FindMnemonic(std::string_view stepText);

// What the operands of an instruction step hold that its unit does not
// show, for a check's warnings: each a view into the step text.
struct OperandRemark {
    enum Kind {
        kRegister,     // a register operand not written R0 to R7; it reads as R`value`
        kNoNumber,     // a second operand with neither R nor a digit; it reads as 0
        kAfterNumber,  // text after a number, not read; `operand` is the text holding both
    };
    Kind kind;
    std::string_view text;
    std::string_view operand;
    unsigned value = 0;
};
struct OperandRemarks {
    std::array<OperandRemark, 2> items;
    std::size_t count = 0;
    void Add(const OperandRemark& r) {
        if (count < items.size()) items[count++] = r;
    }
};

// Encodes an instruction step text that begins with m's prefix. Returns 0
// when the text does not fit the operand syntax: no valid unit is 0. CALL
// and JMP take their label's number, adding the label when it is new. When
// `remarks` is given, it receives what the operands hold beyond their unit.
std::uint16_t EncodeInstruction(const Mnemonic& m, std::string_view stepText, LabelTable& labels,
                                OperandRemarks* remarks = nullptr);

// The operands m takes, with an example, for messages about a step that
// does not fit them.
std::string OperandSyntax(const Mnemonic& m);

// Units of the word step (word number below 8192) and the mute step (value
// up to kMaxMute, in steps of kMuteStep).
inline constexpr unsigned kMuteStep = 50;
inline constexpr unsigned kMaxMute = 51150;
std::uint16_t WordUnit(unsigned word);
std::uint16_t MuteUnit(unsigned value);

// A unit taken apart.
struct DecodedUnit {
    UnitLayout layout = UnitLayout::kPad;
    const Mnemonic* mnemonic = nullptr;  // for instructions
    unsigned reg = 0;    // the register operand, or the first of two
    unsigned reg2 = 0;   // the second register (register form)
    unsigned value = 0;  // immediate, port, step field, label field, word number, mute value
};

// Nothing for a unit that no step makes.
std::optional<DecodedUnit> DecodeUnit(std::uint16_t unit);
// The unit of a decoded unit, field by field.
std::uint16_t EncodeUnit(const DecodedUnit& unit);

// The signed distance in units of a step reference.
int StepDistance(const DecodedUnit& unit);
// The unit index a CALL or JMP goes to, once its block is resolved.
unsigned BlockStart(const DecodedUnit& unit);

// The step text that encodes to the unit; `target` names the step of a step
// reference (after STEP) or the block of a CALL or JMP (after the prefix).
// Empty for the pad unit, which is written as a block declaration.
std::string StepText(const DecodedUnit& unit, std::string_view target = {});

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
