#include "sentence/instructions.h"

#include "sentence/labels.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace zlt {
namespace {

struct EncodeCase {
    std::string step;
    std::uint16_t unit;  // 0: invalid step
};

// Encodes a step text as the compiler does, before any step number or
// label number is completed. Labels are numbered from 1 per call.
std::uint16_t Encode(const std::string& step) {
    LabelTable labels;
    const Mnemonic* m = FindMnemonic(step);
    if (m == nullptr || !m->StoresUnit()) return 0;
    return EncodeInstruction(*m, step, labels);
}

void ExpectUnits(const std::vector<EncodeCase>& cases) {
    for (const auto& c : cases)
        EXPECT_EQ(Encode(c.step), c.unit) << c.step << " gives 0x" << std::hex << Encode(c.step);
}

// Every group of instructions is linked in the golden image "blocks"; these
// are the forms it leaves out.
TEST(Instructions, FormsTheGoldenImagesLeaveOut) {
    ExpectUnits({
        {"^ADD_R3_1F", 0x4B1F}, {"^SUB_R7_R1", 0x02B9}, {"^AND_R4_0F", 0x5C0F}, {"^ORL_R6_R6", 0x0336},
        {"^XOR_R5_AA", 0x6DAA}, {"^TXD_0", 0x0100}, {"^TXD_xyz", 0x0100}, {"^CLRC_x", 0x0022},
        {"^EOPX", 0xFFFF}, {"^SETCARRY", 0x0021}, {"^SHL_", 0}, {"^PUSH", 0}, {"^TXD_", 0},
    });
}

// Only the second character of a register names it; the first is examined
// only where it tells a register from an immediate. Operands are at most 31
// bytes; immediates above 0xFF never spill into the opcode.
TEST(Instructions, OperandQuirksAndBounds) {
    ExpectUnits({
        {"^MOV_R9_R1", 0x0201},   // 9 is no register digit: R0
        {"^MOV_X3_R1", 0x0219},   // first character of the first operand not examined
        {"^MOV_R2_r1", 0x4200},   // lower-case r: an immediate without digits
        {"^MOV_R2_R", 0x0210}, {"^MOV_R2_Rx", 0x0210}, {"^MOV_R2_R12", 0x0211},
        {"^SHL_5", 0x0080}, {"^SHL_Q3", 0x0083}, {"^ADD_R1_R2_junk", 0x024A},
        {"^XCH_R1_05", 0}, {"^BITS_R0_FF", 0}, {"^XCH_R1_r2", 0},
        {"^MOV_R0_ff", 0x40FF}, {"^MOV_R0_0xFF", 0x40FF}, {"^MOV_R0_0X1a", 0x401A},
        {"^MOV_R0_7G", 0x4007}, {"^MOV_R0_G7", 0x4000}, {"^MOV_R0_0x", 0x4000}, {"^MOV_R0_\t12", 0x4012},
        {"^MOV_R0_100", 0}, {"^MOV_R0_-1", 0}, {"^TXD_100", 0}, {"^CMP_R0_FFFFFFFFFF", 0}, {"^MOV_R0_-0", 0x4000},
        {"^MOV_R1", 0}, {"^MOV_R1_", 0}, {"^MOV__R1", 0}, {"^MOV_", 0}, {"^MOVR1_R2", 0},
        {"^MOV_R1_" + std::string(29, '0') + "FF", 0x41FF}, {"^MOV_R1_" + std::string(30, '0') + "FF", 0},
        {"^MOV_R1" + std::string(29, 'x') + "_R2", 0x020A}, {"^MOV_R1" + std::string(30, 'x') + "_R2", 0},
        {"^SHL_R" + std::string(30, '1'), 0x0081}, {"^SHL_R" + std::string(31, '1'), 0},
        // Step numbers above 255 are kept as 0xFF, which the step-reference check refuses.
        {"^DJNZ_R7_STEP63", 0x173F}, {"^DJNZ_R2_STEP", 0}, {"^DJNZ_R2_STEPx", 0}, {"^DJNZ_R2STEP1", 0},
        {"^DJNZ__STEP1", 0}, {"^JZ_STEP", 0}, {"^JZ_step1", 0}, {"^JZ_STEP-1", 0}, {"^JZ_STEP12abc", 0x180C},
        {"^JZ_STEP64", 0x1840}, {"^JZ_STEP255", 0x18FF}, {"^JZ_STEP256", 0x18FF}, {"^JZ_STEP99999999999", 0x18FF},
        {"^JZ_STEP" + std::string(30, '0') + "7", 0x1807}, {"^JZ_STEP" + std::string(31, '0') + "7", 0},
        {"^CALL_", 0}, {"^JMP_", 0}, {"^CALL_" + std::string(31, 'L'), 0x8001}, {"^CALL_" + std::string(32, 'L'), 0},
    });
}

TEST(Instructions, PortsPerInstruction) {
    const std::vector<std::string> ports = {"X[7..0]", "X[15..8]", "X[23..16]", "X[31..24]",
                                            "OPTION", "YEAR", "MONTH", "DAY", "DAYOFWEEK",
                                            "HOUR", "MINUTE", "SECOND", "RANDOM"};
    for (unsigned p = 0; p < ports.size(); ++p) {
        EXPECT_EQ(Encode("^IOR_R3_" + ports[p]), 0x7300 + p) << ports[p];
        bool writable = p >= 5 && p <= 11;
        EXPECT_EQ(Encode("^IOW_R3_" + ports[p]), writable ? 0x7B00 + p : 0) << ports[p];
    }
    ExpectUnits({
        {"^IOR_R0_hour", 0}, {"^IOR_R0_HOURS", 0}, {"^IOR_R0_", 0}, {"^IOR_HOUR", 0},
    });
}

TEST(Instructions, BlockJumpsTakeLabelNumbers) {
    LabelTable labels;
    const Mnemonic* call = FindMnemonic("^CALL_A_B");
    const Mnemonic* jmp = FindMnemonic("^JMP_A");
    EXPECT_EQ(EncodeInstruction(*call, "^CALL_A_B", labels), 0x8001);
    EXPECT_STREQ(labels.Name(1), "A_B");  // underscores belong to the label
    EXPECT_EQ(EncodeInstruction(*jmp, "^JMP_A", labels), 0xC002);
    EXPECT_EQ(EncodeInstruction(*jmp, "^JMP_A_B", labels), 0xC001);
}

// Within a group the first prefix in test order decides; a prefix that takes
// no operand ignores what follows it.
TEST(Instructions, PrefixOrder) {
    struct Case {
        std::string step;
        std::string prefix;  // "" when no prefix matches
    };
    const std::vector<Case> cases = {
        {"^JNC_STEP1", "^JNC_"}, {"^JNZ_STEP1", "^JNZ_"}, {"^JN_STEP1", ""},
        {"^JGE_STEP1", "^JGE_"}, {"^JLE_STEP1", "^JLE_"}, {"^JMPX", ""},
        {"^RETURN", "^RET"}, {"^REM_RET", "^REM_"}, {"^REM", ""}, {"^REMARK", ""},
        {"^BLK_BITS_", "^BLK_"}, {"^BITS_BLK_", "^BITS_"}, {"^BLK", ""},
        {"^SETC_", "^SETC"}, {"^SET", ""}, {"^mov_R0_R1", ""}, {"^Q", ""}, {"^", ""},
        {"^^MOV_R0_R1", ""}, {"MOV_R0_R1", ""},
    };
    for (const auto& c : cases) {
        const Mnemonic* m = FindMnemonic(c.step);
        EXPECT_EQ(m ? std::string(m->prefix) : "", c.prefix) << c.step;
    }
}

// Units read back as the step texts that make them; units that no step
// makes read as nothing.
TEST(CodeUnits, StepTextsOfUnits) {
    const std::pair<std::uint16_t, const char*> cases[] = {
        {0x020A, "^MOV_R1_R2"}, {0x410A, "^MOV_R1_A"}, {0x0047, "^CMP_R0_R7"}, {0x0905, "^CMP_R1_5"},
        {0x03FF, "^BITS_R7_R7"}, {0x0085, "^SHL_R5"}, {0x00B8, "^POP_R0"}, {0x009A, "^TXD_R2"},
        {0x0141, "^TXD_41"}, {0x7009, "^IOR_R0_HOUR"}, {0x790A, "^IOW_R1_MINUTE"}, {0x0400, "M0"},
        {0x07FF, "M51150"}, {0x2003, "W0003"}, {0x3FFF, "W8191"}, {0x0020, "^RET"}, {0x0022, "^CLRC"},
        {0xFFFF, "^EOP"}, {0x1B05, "^JNC_STEP<t>"}, {0x1200, "^DJNZ_R2_STEP<t>"}, {0xC003, "^JMP_<t>"},
        {0x0000, ""}, {0x0001, nullptr}, {0x0023, nullptr}, {0x0030, nullptr},
        {0x700D, nullptr},  // IOR of port 13
        {0x7800, nullptr},  // IOW of an input port
    };
    for (const auto& [unit, text] : cases) {
        const std::optional<DecodedUnit> d = DecodeUnit(unit);
        EXPECT_EQ(d ? StepText(*d, "<t>") : "(none)", text ? text : "(none)") << std::hex << unit;
    }
    EXPECT_EQ(StepDistance(*DecodeUnit(0x10FF)), -1);
    EXPECT_EQ(BlockStart(*DecodeUnit(0xC003)), 6u);
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
