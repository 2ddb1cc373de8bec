#include "options/option_table.h"

#include "link/bytes.h"
#include "link/message.h"

namespace zlt {

namespace {

constexpr const char* kFirmware = "ZLP.Firmware";
constexpr const char* kUart = "ZLP.Firmware.UartMode";

void OrFlag(LinkContext& ctx, std::size_t offset, bool set, std::uint16_t bit) {
    if (set) PutU16(&ctx.keyTable[offset], GetU16(&ctx.keyTable[offset]) | bit);
}

}  // namespace

bool ParseOptionTable(LinkContext& ctx) {
    const IniFile& ini = *ctx.reader;
    std::uint8_t* kt = ctx.keyTable.data();

    // Numbers are stored unchecked, narrowed to their field.
    kt[kOptBusySignal] = static_cast<std::uint8_t>(ini.ReadUnsigned(kFirmware, "BUSY_Signal", 0));
    kt[kOptStopSignal] = static_cast<std::uint8_t>(ini.ReadUnsigned(kFirmware, "STOP_Signal", 0));
    PutU16(kt + kOptStopPulse,
           static_cast<std::uint16_t>(ini.ReadUnsigned(kFirmware, "STOP_Pulse_Time", 100)));
    PutU16(kt + kOptTgDebounce,
           static_cast<std::uint16_t>(ini.ReadUnsigned(kFirmware, "TG_Pin_Debounce_Time", 40)));
    PutU16(kt + kOptStDebounce,
           static_cast<std::uint16_t>(ini.ReadUnsigned(kFirmware, "ST_Pin_Debounce_Time", 80)));

    OrFlag(ctx, kOptFlags1, ini.ReadBool(kFirmware, "Reset_Beep", true), 0x8000);
    OrFlag(ctx, kOptFlags2,
           ini.ReadBool(kFirmware, "InterruptiableSTG_UsingPriorityRetriggerRule", true), 0x8000);
    OrFlag(ctx, kOptFlags2, ini.ReadBool(kFirmware, "STG_ImmediateBreakCTG", true), 0x4000);
    OrFlag(ctx, kOptFlags2, ini.ReadBool(kFirmware, "BkgndCTG_Resumable", true), 0x2000);
    OrFlag(ctx, kOptFlags1, ini.ReadBool(kFirmware, "UseStartupPlay", false), 0x4000);
    PutU16(kt + kOptStartupPlayVtg,
           static_cast<std::uint16_t>(ini.ReadInteger(kFirmware, "StartupPlayVtg", 0)));

    std::uint32_t bitsParity = ini.ReadUnsigned(kUart, "BitsParity", 80);
    if (bitsParity < 80 || bitsParity > 82) {
        LnkPrintf("\nErr: Unknown or Unsupport serial bits and parity spec. !!!");
        return false;
    }
    PutU16(kt + kOptBitsParity, static_cast<std::uint16_t>(bitsParity));

    std::uint32_t baud = ini.ReadUnsigned(kUart, "BaudRate", 9600);
    if (baud != 1200 && baud != 2400 && baud != 4800 && baud != 9600) {
        LnkPrintf("\nErr: Unknown or Unsupport serial baud !!!");
        return false;
    }
    PutU16(kt + kOptBaudRate, static_cast<std::uint16_t>(baud));

    const char* frameKeys[] = {"FrameLeading1", "FrameLeading2", "FrameEnding1", "FrameEnding2"};
    for (std::size_t i = 0; i < 4; ++i)
        kt[kOptFrameBytes + i] = static_cast<std::uint8_t>(ini.ReadUnsigned(kUart, frameKeys[i], 0xFF));
    return true;
}

}  // namespace zlt
