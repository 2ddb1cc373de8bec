#include "sentence/instructions.h"

#include "project/scan.h"
#include "sentence/labels.h"

#include <array>
#include <optional>

namespace zlt {

namespace {

using scan::CharSet;

// Operand fields: the first operand of two ends at a blank or underscore,
// the last at a blank, plus or semicolon (in practice the rest of the step
// text), a block label at a blank.
constexpr CharSet kFirstOperand = CharSet::Except(" _");
constexpr CharSet kLastOperand = CharSet::Except(" +;");
constexpr CharSet kLabel = CharSet::Except(" ");

// A register operand is read from its second byte only: 0 to 7 select R0 to
// R7, anything else (also a missing second byte) selects R0.
unsigned Register(std::string_view operand) {
    return operand.size() >= 2 && operand[1] >= '0' && operand[1] <= '7'
               ? static_cast<unsigned>(operand[1] - '0')
               : 0;
}

bool IsRegister(std::string_view operand) { return operand[0] == 'R'; }

// An immediate is read as "%X" reads it; text without a number gives 0. A
// value outside 0..0xFF would spill out of its 8-bit field: none.
std::optional<unsigned> Immediate(std::string_view operand) {
    std::optional<std::int64_t> value = scan::Hex(operand);
    if (!value) return 0u;
    if (*value < 0 || *value > 0xFF) return std::nullopt;
    return static_cast<unsigned>(*value);
}

// "<prefix><first>_<last>"
struct Operands {
    std::string_view first;
    std::string_view last;
};

std::optional<Operands> TwoOperands(std::string_view prefix, std::string_view text) {
    if (!scan::Literal(text, prefix)) return std::nullopt;
    auto first = scan::Span(text, kFirstOperand, kOperandWidth);
    if (!first || !scan::Literal(text, "_")) return std::nullopt;
    auto last = scan::Span(text, kLastOperand, kOperandWidth);
    if (!last) return std::nullopt;
    return Operands{*first, *last};
}

// "<prefix><operand>"
std::optional<std::string_view> OneOperand(std::string_view prefix, std::string_view text) {
    if (!scan::Literal(text, prefix)) return std::nullopt;
    return scan::Span(text, kLastOperand, kOperandWidth);
}

// "STEP<digits>": the step number, kept in 8 bits. A number of 256 or more
// reads as 0xFF, which the step-reference check refuses like any number of
// 64 or more.
std::optional<unsigned> StepNumber(std::string_view text) {
    if (!scan::Literal(text, "STEP")) return std::nullopt;
    auto digits = scan::Span(text, CharSet::Digits(), kOperandWidth);
    if (!digits) return std::nullopt;
    std::int64_t n = scan::Decimal(*digits).value_or(0);
    return static_cast<unsigned>(n > 0xFF ? 0xFF : n);
}

std::uint16_t Unit(unsigned value) { return static_cast<std::uint16_t>(value); }

// Register form: bits 9-6 the operation, 5-3 the first register, 2-0 the
// second. Immediate form: bits 15-11 the operation, 10-8 the register,
// 7-0 the immediate or port.
std::uint16_t RegisterForm(unsigned op, unsigned r1, unsigned r2) {
    return Unit((op << 6) | (r1 << 3) | r2);
}
std::uint16_t ImmediateForm(unsigned op, unsigned r, unsigned imm) {
    return Unit((op << 11) | (r << 8) | imm);
}

// MOV, ADD, SUB, CMP, AND, ORL, XOR: register, then register or immediate.
std::uint16_t EncodeArithmetic(const Mnemonic& m, std::string_view text, LabelTable&) {
    auto ops = TwoOperands(m.prefix, text);
    if (!ops) return 0;
    unsigned r1 = Register(ops->first);
    if (IsRegister(ops->last)) return RegisterForm(m.code, r1, Register(ops->last));
    auto imm = Immediate(ops->last);
    return imm ? ImmediateForm(m.code, r1, *imm) : 0;
}

// XCH, BITS: two registers.
std::uint16_t EncodeRegisterPair(const Mnemonic& m, std::string_view text, LabelTable&) {
    auto ops = TwoOperands(m.prefix, text);
    if (!ops || !IsRegister(ops->last)) return 0;
    return RegisterForm(m.code, Register(ops->first), Register(ops->last));
}

// SHL, SHR, SWAP, BCD2BIN, BIN2BCD, PUSH, POP: 0x0080 + 8 × op + register.
std::uint16_t EncodeOneRegister(const Mnemonic& m, std::string_view text, LabelTable&) {
    auto op = OneOperand(m.prefix, text);
    return op ? Unit(0x0080 + 8 * m.code + Register(*op)) : 0;
}

// TXD: a register in the one-register group, or an immediate.
std::uint16_t EncodeTransmit(const Mnemonic& m, std::string_view text, LabelTable&) {
    auto op = OneOperand(m.prefix, text);
    if (!op) return 0;
    if (IsRegister(*op)) return Unit(0x0080 + 8 * m.code + Register(*op));
    auto imm = Immediate(*op);
    return imm ? Unit(0x0100 + *imm) : 0;
}

constexpr unsigned kOpPortWrite = 15;

std::uint16_t EncodePort(const Mnemonic& m, std::string_view text, LabelTable&) {
    auto ops = TwoOperands(m.prefix, text);
    if (!ops) return 0;
    for (unsigned port = 0; port < kPorts.size(); ++port) {
        if (ops->last != kPorts[port].name) continue;
        if (m.code == kOpPortWrite && !kPorts[port].writable) return 0;
        return ImmediateForm(m.code, Register(ops->first), port);
    }
    return 0;
}

// DJNZ: "<prefix><register>_STEP<digits>".
std::uint16_t EncodeDecrementJump(const Mnemonic& m, std::string_view text, LabelTable&) {
    if (!scan::Literal(text, m.prefix)) return 0;
    auto reg = scan::Span(text, kFirstOperand, kOperandWidth);
    if (!reg || !scan::Literal(text, "_")) return 0;
    auto step = StepNumber(text);
    return step ? Unit(0x1000 + 256 * Register(*reg) + *step) : 0;
}

// JZ ... JLE: "<prefix>STEP<digits>", the condition in bits 10-8.
std::uint16_t EncodeConditionalJump(const Mnemonic& m, std::string_view text, LabelTable&) {
    if (!scan::Literal(text, m.prefix)) return 0;
    auto step = StepNumber(text);
    return step ? Unit(0x1800 + 256 * m.code + *step) : 0;
}

// CALL, JMP: the label number, completed by the block resolution pass.
std::uint16_t EncodeBlockJump(const Mnemonic& m, std::string_view text, LabelTable& labels) {
    text = scan::SkipSpace(text);
    if (!scan::Literal(text, m.prefix)) return 0;
    auto label = scan::Span(text, kLabel, kOperandWidth);
    if (!label) return 0;
    std::uint16_t number = labels.FindOrAdd(*label);
    return number ? Unit(m.code + number) : 0;
}

// RET, SETC, CLRC, EOP: a fixed unit; text after the prefix is ignored.
std::uint16_t EncodeFixed(const Mnemonic& m, std::string_view, LabelTable&) { return m.code; }

constexpr auto I = StepKind::kInstruction;

// Grouped by the character after '^'; within a group in test order, so the
// first prefix that starts a step text decides.
constexpr Mnemonic kMnemonics[] = {
    {"^ADD_", I, EncodeArithmetic, 9, false},
    {"^AND_", I, EncodeArithmetic, 11, false},
    {"^BLK_", StepKind::kBlock, nullptr, 0, false},
    {"^BITS_", I, EncodeRegisterPair, 15, false},
    {"^BCD2BIN_", I, EncodeOneRegister, 4, false},
    {"^BIN2BCD_", I, EncodeOneRegister, 5, false},
    {"^CALL_", I, EncodeBlockJump, 0x8000, false},
    {"^CMP_", I, EncodeArithmetic, 1, false},
    {"^CLRC", I, EncodeFixed, 0x0022, false},
    {"^DJNZ_", I, EncodeDecrementJump, 0, true},
    {"^EOP", I, EncodeFixed, 0xFFFF, false},
    {"^IOR_", I, EncodePort, 14, false},
    {"^IOW_", I, EncodePort, kOpPortWrite, false},
    {"^JMP_", I, EncodeBlockJump, 0xC000, false},
    {"^JZ_", I, EncodeConditionalJump, 0, true},
    {"^JNZ_", I, EncodeConditionalJump, 1, true},
    {"^JC_", I, EncodeConditionalJump, 2, true},
    {"^JNC_", I, EncodeConditionalJump, 3, true},
    {"^JG_", I, EncodeConditionalJump, 4, true},
    {"^JGE_", I, EncodeConditionalJump, 5, true},
    {"^JL_", I, EncodeConditionalJump, 6, true},
    {"^JLE_", I, EncodeConditionalJump, 7, true},
    {"^MOV_", I, EncodeArithmetic, 8, false},
    {"^ORL_", I, EncodeArithmetic, 12, false},
    {"^PUSH_", I, EncodeOneRegister, 6, false},
    {"^POP_", I, EncodeOneRegister, 7, false},
    {"^REM_", StepKind::kComment, nullptr, 0, false},
    {"^RET", I, EncodeFixed, 0x0020, false},
    {"^SUB_", I, EncodeArithmetic, 10, false},
    {"^SHL_", I, EncodeOneRegister, 0, false},
    {"^SHR_", I, EncodeOneRegister, 1, false},
    {"^SWAP_", I, EncodeOneRegister, 2, false},
    {"^SETC", I, EncodeFixed, 0x0021, false},
    {"^TXD_", I, EncodeTransmit, 3, false},
    {"^XOR_", I, EncodeArithmetic, 13, false},
    {"^XCH_", I, EncodeRegisterPair, 14, false},
};

}  // namespace

const Mnemonic* FindMnemonic(std::string_view stepText) {
    // Every prefix's second character is its group, so the first match in
    // table order is the first match within the step's group.
    for (const Mnemonic& m : kMnemonics)
        if (stepText.starts_with(m.prefix)) return &m;
    return nullptr;
}

}  // namespace zlt
