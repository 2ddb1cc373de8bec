#include "sentence/instructions.h"

#include "sentence/labels.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>

namespace zlt {
namespace {

// Encodes a step text as the compiler does, before any step number or
// label number is completed; 0 for an invalid step. Labels are numbered
// from 1 per call.
std::uint16_t Encode(const std::string& step) {
    LabelTable labels;
    const Mnemonic* m = FindMnemonic(step);
    if (m == nullptr || !m->StoresUnit()) return 0;
    return EncodeInstruction(*m, step, labels);
}

// Every group of instructions is linked in the golden image "blocks"; these
// are the quirks and bounds it leaves out. A prefix matches whole and in its
// letter case. Only the second character of a register names it; the first
// is examined only where it tells a register from an immediate. Operands
// are at most 31 bytes; immediates above 0xFF never spill into the opcode.
TEST(Instructions, OperandQuirksAndBounds) {
    const std::pair<std::string, std::uint16_t> cases[] = {
        {"^SET", 0}, {"^ret", 0}, {"^", 0}, {"^SHL_", 0},
        {"^MOV_R9_R1", 0x0201},   // 9 is no register digit: R0
        {"^MOV_X3_R1", 0x0219},   // first character of the first operand not examined
        {"^MOV_R2_r1", 0x4200},   // lower-case r: an immediate without digits
        {"^MOV_R2_R", 0x0210}, {"^MOV_R2_R/", 0x0210}, {"^MOV_R2_R12", 0x0211},
        {"^SHL_Q3", 0x0083}, {"^ADD_R1_R2_junk", 0x024A}, {"^XCH_R1_05", 0}, {"^BITS_R0_FF", 0},
        {"^MOV_R0_0xFF", 0x40FF}, {"^MOV_R0_0X1a", 0x401A}, {"^MOV_R0_7G", 0x4007}, {"^MOV_R0_G7", 0x4000},
        {"^MOV_R0_0x", 0x4000}, {"^MOV_R0_\t12", 0x4012}, {"^MOV_R0_-0", 0x4000},
        {"^MOV_R0_100", 0}, {"^MOV_R0_-1", 0}, {"^TXD_100", 0}, {"^CMP_R0_FFFFFFFFFF", 0},
        {"^MOV_R1", 0}, {"^MOV_R1_", 0}, {"^MOV__R1", 0},
        {"^MOV_R1_" + std::string(29, '0') + "FF", 0x41FF}, {"^MOV_R1_" + std::string(30, '0') + "FF", 0},
        {"^MOV_R1" + std::string(29, 'x') + "_R2", 0x020A}, {"^MOV_R1" + std::string(30, 'x') + "_R2", 0},
        {"^SHL_R" + std::string(30, '1'), 0x0081}, {"^SHL_R" + std::string(31, '1'), 0},
        // Step numbers above 255 are kept as 0xFF, which the step-reference check refuses.
        {"^DJNZ_R7_STEP63", 0x173F}, {"^DJNZ_R2_STEP", 0}, {"^DJNZ_R2STEP1", 0}, {"^DJNZ__STEP1", 0},
        {"^JZ_STEP", 0}, {"^JZ_step1", 0}, {"^JZ_STEP12abc", 0x180C}, {"^JZ_STEP256", 0x18FF},
        {"^JZ_STEP99999999999", 0x18FF},
        {"^JZ_STEP" + std::string(30, '0') + "7", 0x1807}, {"^JZ_STEP" + std::string(31, '0') + "7", 0},
        {"^CALL_", 0}, {"^CALL_" + std::string(31, 'L'), 0x8001}, {"^CALL_" + std::string(32, 'L'), 0},
        {"^IOW_R3_OPTION", 0}, {"^IOR_R0_hour", 0}, {"^IOR_R0_HOURS", 0}, {"^IOR_R0_", 0}, {"^IOR_HOUR", 0},
    };
    for (const auto& [step, unit] : cases)
        EXPECT_EQ(Encode(step), unit) << step << " gives 0x" << std::hex << Encode(step);
}

// A unit reads back as the step text that makes it: the two-register form
// and the pad unit here, the other kinds in the transcripts of the demo
// image. Units that no step makes read as nothing.
TEST(CodeUnits, StepTextsOfUnits) {
    const std::pair<std::uint16_t, const char*> cases[] = {
        {0x020A, "^MOV_R1_R2"}, {0x0000, ""}, {0x0001, nullptr}, {0x0023, nullptr},
        {0x700D, nullptr},  // IOR of port 13
        {0x7800, nullptr},  // IOW of an input port
    };
    for (const auto& [unit, text] : cases) {
        const std::optional<DecodedUnit> d = DecodeUnit(unit);
        EXPECT_EQ(d ? StepText(*d, "<t>") : "(none)", text ? text : "(none)") << std::hex << unit;
    }
}

// Every unit that decodes encodes back to itself, field by field and through
// its step text.
TEST(CodeUnits, EveryUnitEncodesBack) {
    unsigned decoded = 0;
    LabelTable labels;
    for (unsigned u = 0; u <= 0xFFFF; ++u) {
        const std::optional<DecodedUnit> d = DecodeUnit(static_cast<std::uint16_t>(u));
        if (!d) continue;
        ++decoded;
        ASSERT_EQ(EncodeUnit(*d), u) << std::hex << u;
        if (d->mnemonic == nullptr) continue;  // pad, word and mute units
        const bool jump = d->layout == UnitLayout::kBlockJump;
        const std::string text = StepText(*d, jump ? "L" : std::to_string(d->value));
        labels.Clear();
        // A CALL or JMP takes its label's number, here the first one.
        ASSERT_EQ(EncodeInstruction(*FindMnemonic(text), text, labels), jump ? (u & 0xC000) + 1 : u) << text;
    }
    EXPECT_EQ(decoded, 61476u);
}

}  // namespace
}  // namespace zlt
