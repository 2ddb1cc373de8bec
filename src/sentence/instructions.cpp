#include "sentence/instructions.h"

#include "base/format.h"
#include "project/scan.h"
#include "sentence/labels.h"

namespace zlt {

namespace {

using scan::CharSet;
using enum Operands;
using enum UnitLayout;

constexpr std::uint16_t kPortWrite = 15;  // IOW's operation

// Grouped by the character after '^'; within a group in test order, so the
// first prefix that starts a step text decides.
constexpr Mnemonic kMnemonics[] = {
    {"^ADD_", kRegisterOrImmediate, 9},   {"^AND_", kRegisterOrImmediate, 11},
    {kBlockPrefix, kBlock, 0},            {"^BITS_", kRegisterPair, 15},
    {"^BCD2BIN_", kRegister, 4},          {"^BIN2BCD_", kRegister, 5},
    {"^CALL_", kLabel, 0x8000},           {"^CMP_", kRegisterOrImmediate, 1},
    {"^CLRC", kNone, 0x0022},             {"^DJNZ_", kRegisterStep, 0},
    {"^EOP", kNone, kEndMark},            {"^IOR_", kPort, 14},
    {"^IOW_", kPort, kPortWrite},         {"^JMP_", kLabel, 0xC000},
    {"^JZ_", kStep, 0},                   {"^JNZ_", kStep, 1},
    {"^JC_", kStep, 2},                   {"^JNC_", kStep, 3},
    {"^JG_", kStep, 4},                   {"^JGE_", kStep, 5},
    {"^JL_", kStep, 6},                   {"^JLE_", kStep, 7},
    {"^MOV_", kRegisterOrImmediate, 8},   {"^ORL_", kRegisterOrImmediate, 12},
    {"^PUSH_", kRegister, 6},             {"^POP_", kRegister, 7},
    {"^REM_", kComment, 0},               {"^RET", kNone, 0x0020},
    {"^SUB_", kRegisterOrImmediate, 10},  {"^SHL_", kRegister, 0},
    {"^SHR_", kRegister, 1},              {"^SWAP_", kRegister, 2},
    {"^SETC", kNone, 0x0021},             {"^TXD_", kRegisterOrByte, 3},
    {"^XOR_", kRegisterOrImmediate, 13},  {"^XCH_", kRegisterPair, 14},
};

// The code space: every unit a step can make lies in one of these ranges.
struct UnitRange {
    std::uint16_t first, last;
    UnitLayout layout;
};
constexpr UnitRange kCodeSpace[] = {
    {0x0000, 0x0000, kPad},           {0x0020, 0x0022, kFixed},         {0x0040, 0x007F, kRegisterForm},
    {0x0080, 0x00BF, kOneRegister},   {0x0100, 0x01FF, kTransmitByte},  {0x0200, 0x03FF, kRegisterForm},
    {0x0400, 0x07FF, kMute},          {0x0800, 0x0FFF, kImmediateForm}, {0x1000, 0x17FF, kDecrementJump},
    {0x1800, 0x1FFF, kConditionalJump}, {0x2000, 0x3FFF, kWord},        {0x4000, 0x7FFF, kImmediateForm},
    {0x8000, 0xFFFE, kBlockJump},     {0xFFFF, 0xFFFF, kFixed},
};

// The layouts that the units of a mnemonic take.
bool Takes(Operands operands, UnitLayout layout) {
    switch (operands) {
    case kNone: return layout == kFixed;
    case kRegisterOrImmediate: return layout == kRegisterForm || layout == kImmediateForm;
    case kRegisterPair: return layout == kRegisterForm;
    case kRegister: return layout == kOneRegister;
    case kRegisterOrByte: return layout == kOneRegister || layout == kTransmitByte;
    case kPort: return layout == kImmediateForm;
    case kRegisterStep: return layout == kDecrementJump;
    case kStep: return layout == kConditionalJump;
    case kLabel: return layout == kBlockJump;
    case kBlock: case kComment: return false;
    }
    return false;
}

// The field of a unit that names its mnemonic's code; none where the layout
// alone names the mnemonic.
std::optional<unsigned> CodeField(UnitLayout layout, unsigned u) {
    switch (layout) {
    case kFixed: return u;
    case kRegisterForm: return (u >> 6) & 0xF;
    case kOneRegister: return (u >> 3) & 7;
    case kImmediateForm: return u >> 11;
    case kConditionalJump: return (u >> 8) & 7;
    case kBlockJump: return u & 0xC000;
    default: return std::nullopt;
    }
}

bool PortAccepted(const Mnemonic& m, unsigned port) {
    return port < kPorts.size() && (m.code != kPortWrite || kPorts[port].writable);
}

// ---- Operand syntax ----

// Operand fields: the first operand of two ends at a blank or underscore,
// the last at a blank, plus or semicolon (in practice the rest of the step
// text), a block label at a blank.
constexpr CharSet kFirstOperand = CharSet::Except(" _");
constexpr CharSet kLastOperand = CharSet::Except(" +;");
constexpr CharSet kLabelText = CharSet::Except(" ");

// A register operand is read from its second byte only: 0 to 7 select R0 to
// R7, anything else (also a missing second byte) selects R0.
unsigned Register(std::string_view operand, OperandRemarks* remarks) {
    const unsigned r = operand.size() >= 2 && operand[1] >= '0' && operand[1] <= '7'
                           ? static_cast<unsigned>(operand[1] - '0')
                           : 0;
    if (remarks && (operand.size() != 2 || operand[0] != 'R' || r != static_cast<unsigned>(operand[1] - '0')))
        remarks->Add({OperandRemark::kRegister, operand, operand, r});
    return r;
}

bool IsRegister(std::string_view operand) { return operand[0] == 'R'; }

// Notes the text after a number, which is not read.
void AfterNumber(std::string_view rest, std::string_view operand, OperandRemarks* remarks) {
    if (remarks && !rest.empty()) remarks->Add({OperandRemark::kAfterNumber, rest, operand});
}

// An immediate is read as "%X" reads it; text without a number gives 0. A
// value outside 0..0xFF would spill out of its 8-bit field: none.
std::optional<unsigned> Immediate(std::string_view operand, OperandRemarks* remarks) {
    std::string_view rest = operand;
    std::optional<std::int64_t> value = scan::Hex(rest);
    if (!value) {
        if (remarks) remarks->Add({OperandRemark::kNoNumber, operand, operand});
        return 0u;
    }
    if (*value < 0 || *value > 0xFF) return std::nullopt;
    AfterNumber(rest, operand, remarks);
    return static_cast<unsigned>(*value);
}

// "<prefix><first>_<last>"
struct OperandTexts {
    std::string_view first;
    std::string_view last;
};

std::optional<OperandTexts> TwoOperands(std::string_view prefix, std::string_view text) {
    if (!scan::Literal(text, prefix)) return std::nullopt;
    auto first = scan::Span(text, kFirstOperand, kOperandWidth);
    if (!first || !scan::Literal(text, "_")) return std::nullopt;
    auto last = scan::Span(text, kLastOperand, kOperandWidth);
    if (!last) return std::nullopt;
    return OperandTexts{*first, *last};
}

// "<prefix><operand>"
std::optional<std::string_view> OneOperand(std::string_view prefix, std::string_view text) {
    if (!scan::Literal(text, prefix)) return std::nullopt;
    return scan::Span(text, kLastOperand, kOperandWidth);
}

// "STEP<digits>": the step number, kept in 8 bits. A number of 256 or more
// reads as 0xFF, which the step-reference check refuses like any number of
// 64 or more. The rest of the step text is not read.
std::optional<unsigned> StepNumber(std::string_view text, OperandRemarks* remarks) {
    const std::string_view operand = text;
    if (!scan::Literal(text, "STEP")) return std::nullopt;
    auto digits = scan::Span(text, CharSet::Digits(), kOperandWidth);
    if (!digits) return std::nullopt;
    std::int64_t n = scan::Decimal(*digits).value_or(0);
    AfterNumber(text, operand, remarks);
    return static_cast<unsigned>(n > 0xFF ? 0xFF : n);
}

DecodedUnit Unit(UnitLayout layout, const Mnemonic& m, unsigned reg = 0, unsigned reg2 = 0, unsigned value = 0) {
    return DecodedUnit{layout, &m, reg, reg2, value};
}

// The fields that an instruction step text gives.
std::optional<DecodedUnit> ParseInstruction(const Mnemonic& m, std::string_view text, LabelTable& labels,
                                            OperandRemarks* remarks) {
    switch (m.operands) {
    case kNone:  // text after the prefix is ignored
        return Unit(kFixed, m);
    case kRegisterOrImmediate:
    case kRegisterPair: {
        auto ops = TwoOperands(m.prefix, text);
        if (!ops) return std::nullopt;
        const unsigned r1 = Register(ops->first, remarks);
        if (IsRegister(ops->last)) return Unit(kRegisterForm, m, r1, Register(ops->last, remarks));
        auto imm = m.operands == kRegisterOrImmediate ? Immediate(ops->last, remarks) : std::nullopt;
        if (!imm) return std::nullopt;
        return Unit(kImmediateForm, m, r1, 0, *imm);
    }
    case kRegister:
    case kRegisterOrByte: {
        auto op = OneOperand(m.prefix, text);
        if (!op) return std::nullopt;
        if (IsRegister(*op) || m.operands == kRegister) return Unit(kOneRegister, m, Register(*op, remarks));
        auto imm = Immediate(*op, remarks);
        if (!imm) return std::nullopt;
        return Unit(kTransmitByte, m, 0, 0, *imm);
    }
    case kPort: {
        auto ops = TwoOperands(m.prefix, text);
        if (!ops) return std::nullopt;
        for (unsigned port = 0; port < kPorts.size(); ++port)
            if (ops->last == kPorts[port].name)
                return PortAccepted(m, port)
                           ? std::optional(Unit(kImmediateForm, m, Register(ops->first, remarks), 0, port))
                           : std::nullopt;
        return std::nullopt;
    }
    case kRegisterStep: {  // "<prefix><register>_STEP<digits>"
        if (!scan::Literal(text, m.prefix)) return std::nullopt;
        auto reg = scan::Span(text, kFirstOperand, kOperandWidth);
        if (!reg || !scan::Literal(text, "_")) return std::nullopt;
        auto step = StepNumber(text, remarks);
        if (!step) return std::nullopt;
        return Unit(kDecrementJump, m, Register(*reg, remarks), 0, *step);
    }
    case kStep: {  // "<prefix>STEP<digits>"
        if (!scan::Literal(text, m.prefix)) return std::nullopt;
        auto step = StepNumber(text, remarks);
        if (!step) return std::nullopt;
        return Unit(kConditionalJump, m, 0, 0, *step);
    }
    case kLabel: {  // the label number, completed by the block resolution pass
        text = scan::SkipSpace(text);
        if (!scan::Literal(text, m.prefix)) return std::nullopt;
        auto label = scan::Span(text, kLabelText, kOperandWidth);
        if (!label) return std::nullopt;
        std::uint16_t number = labels.FindOrAdd(*label);
        if (number == 0) return std::nullopt;
        return Unit(kBlockJump, m, 0, 0, number);
    }
    case kBlock:
    case kComment:
        break;
    }
    return std::nullopt;
}

}  // namespace

std::span<const Mnemonic> Mnemonics() { return kMnemonics; }

const Mnemonic* FindMnemonic(std::string_view stepText) {
    // Every prefix's second character is its group, and the groups lie
    // together in the table: the first match within the step's group is the
    // first match in table order.
    struct Group {
        std::uint8_t first = 0, end = 0;
    };
    static constexpr std::array<Group, 256> kGroups = [] {
        std::array<Group, 256> groups{};
        for (std::size_t i = std::size(kMnemonics); i-- > 0;) {
            Group& g = groups[static_cast<unsigned char>(kMnemonics[i].prefix[1])];
            if (g.end == 0) g.end = static_cast<std::uint8_t>(i + 1);
            g.first = static_cast<std::uint8_t>(i);
        }
        return groups;
    }();
    if (stepText.size() < 2) return nullptr;
    const Group g = kGroups[static_cast<unsigned char>(stepText[1])];
    for (std::size_t i = g.first; i < g.end; ++i)
        if (stepText.starts_with(kMnemonics[i].prefix)) return &kMnemonics[i];
    return nullptr;
}

std::uint16_t EncodeInstruction(const Mnemonic& m, std::string_view stepText, LabelTable& labels,
                                OperandRemarks* remarks) {
    const std::optional<DecodedUnit> unit = ParseInstruction(m, stepText, labels, remarks);
    return unit ? EncodeUnit(*unit) : 0;
}

std::string OperandSyntax(const Mnemonic& m) {
    const std::string p(m.prefix);
    switch (m.operands) {
    case kRegisterOrImmediate:
        return "`" + p + "` takes a register and a register or a hexadecimal byte (00 to FF), as in `" + p +
               "R1_R2` or `" + p + "R1_1F`";
    case kRegisterPair: return "`" + p + "` takes two registers, as in `" + p + "R1_R2`";
    case kRegister: return "`" + p + "` takes a register, as in `" + p + "R1`";
    case kRegisterOrByte:
        return "`" + p + "` takes a register or a hexadecimal byte (00 to FF), as in `" + p + "R1` or `" + p + "41`";
    case kPort: {
        std::string ports;
        for (const Port& port : kPorts)
            if (port.writable || m.code != kPortWrite) ports += (ports.empty() ? "" : ", ") + std::string(port.name);
        return "`" + p + "` takes a register and a port, one of " + ports + ", as in `" + p + "R1_HOUR`";
    }
    case kRegisterStep: return "`" + p + "` takes a register and a step, as in `" + p + "R1_STEP0`";
    case kStep: return "`" + p + "` takes a step, as in `" + p + "STEP0`";
    case kLabel:
        return "`" + p + "` takes a block label of at most 31 bytes, as in `" + p +
               "Chime`, and at most 8190 labels are held";
    case kNone: case kBlock: case kComment: break;
    }
    return "`" + p + "` takes no operand";
}

std::uint16_t WordUnit(unsigned word) { return EncodeUnit({kWord, nullptr, 0, 0, word}); }

std::uint16_t MuteUnit(unsigned value) { return EncodeUnit({kMute, nullptr, 0, 0, value}); }

std::uint16_t EncodeUnit(const DecodedUnit& d) {
    const unsigned code = d.mnemonic != nullptr ? d.mnemonic->code : 0;
    const unsigned r = d.reg & 7, r2 = d.reg2 & 7, byte = d.value & 0xFF;
    unsigned u = kPadUnit;
    switch (d.layout) {
    case kPad: break;
    case kFixed: u = code; break;
    case kRegisterForm: u = (code & 0xF) << 6 | r << 3 | r2; break;
    case kOneRegister: u = 0x0080 | (code & 7) << 3 | r; break;
    case kTransmitByte: u = 0x0100 | byte; break;
    case kMute: u = 0x0400 | ((d.value / kMuteStep) & 0x3FF); break;
    case kImmediateForm: u = (code & 0x1F) << 11 | r << 8 | byte; break;
    case kDecrementJump: u = 0x1000 | r << 8 | byte; break;
    case kConditionalJump: u = 0x1800 | (code & 7) << 8 | byte; break;
    case kWord: u = 0x2000 | (d.value & 0x1FFF); break;
    case kBlockJump: u = (code & 0xC000) | (d.value & 0x3FFF); break;
    }
    return static_cast<std::uint16_t>(u);
}

std::optional<DecodedUnit> DecodeUnit(std::uint16_t u) {
    const UnitRange* range = nullptr;
    for (const UnitRange& r : kCodeSpace)
        if (u >= r.first && u <= r.last) range = &r;
    if (range == nullptr) return std::nullopt;
    DecodedUnit d{range->layout};
    switch (d.layout) {
    case kPad: case kFixed: break;
    case kRegisterForm: d.reg = (u >> 3) & 7; d.reg2 = u & 7; break;
    case kOneRegister: d.reg = u & 7; break;
    case kTransmitByte: case kConditionalJump: d.value = u & 0xFF; break;
    case kMute: d.value = (u - 0x0400u) * kMuteStep; break;
    case kImmediateForm: case kDecrementJump: d.reg = (u >> 8) & 7; d.value = u & 0xFF; break;
    case kWord: d.value = u - 0x2000u; break;
    case kBlockJump: d.value = u & 0x3FFF; break;
    }
    if (d.layout == kPad || d.layout == kMute || d.layout == kWord) return d;
    const std::optional<unsigned> code = CodeField(d.layout, u);
    for (const Mnemonic& m : kMnemonics) {
        if (Takes(m.operands, d.layout) && (!code || m.code == *code)) {
            d.mnemonic = &m;
            break;
        }
    }
    if (d.mnemonic == nullptr || (d.mnemonic->operands == kPort && !PortAccepted(*d.mnemonic, d.value)))
        return std::nullopt;
    return d;
}

int StepDistance(const DecodedUnit& unit) { return static_cast<std::int8_t>(unit.value & 0xFF); }

unsigned BlockStart(const DecodedUnit& unit) { return 2 * unit.value; }

std::string StepText(const DecodedUnit& d, std::string_view target) {
    if (d.layout == kPad) return {};
    if (d.layout == kWord) return FormatText("W%0.4u", d.value);
    if (d.layout == kMute) return FormatText("M%u", d.value);
    std::string text(d.mnemonic->prefix);
    switch (d.layout) {
    case kRegisterForm: return text + FormatText("R%u_R%u", d.reg, d.reg2);
    case kOneRegister: return text + FormatText("R%u", d.reg);
    case kTransmitByte: return text + FormatText("%X", d.value);
    case kImmediateForm:
        if (d.mnemonic->operands == kPort) return text + FormatText("R%u_", d.reg) + std::string(kPorts[d.value].name);
        return text + FormatText("R%u_%X", d.reg, d.value);
    case kDecrementJump: return text + FormatText("R%u_STEP", d.reg) + std::string(target);
    case kConditionalJump: return text + "STEP" + std::string(target);
    case kBlockJump: return text + std::string(target);
    default: return text;
    }
}

}  // namespace zlt
