#include "options/option_table.h"

#include "base/bytes.h"
#include "base/message.h"

namespace zlt {

namespace {

constexpr const char* kFirmware = "ZLP.Firmware";
constexpr const char* kUart = "ZLP.Firmware.UartMode";

using namespace key_table;

constexpr OptionField kOptions[] = {
    {kFirmware, "BUSY_Signal", OptionKind::kByte, kBusySignal, 0, 0, OptionCheck::kAny},
    {kFirmware, "STOP_Signal", OptionKind::kByte, kStopSignal, 0, 0, OptionCheck::kAny},
    {kFirmware, "STOP_Pulse_Time", OptionKind::kWord, kStopPulseTime, 0, 100, OptionCheck::kAny},
    {kFirmware, "TG_Pin_Debounce_Time", OptionKind::kWord, kTgPinDebounceTime, 0, 40, OptionCheck::kAny},
    {kFirmware, "ST_Pin_Debounce_Time", OptionKind::kWord, kStPinDebounceTime, 0, 80, OptionCheck::kAny},
    {kFirmware, "Reset_Beep", OptionKind::kFlag, kOptionFlags1, kResetBeep, 1, OptionCheck::kAny},
    {kFirmware, "InterruptiableSTG_UsingPriorityRetriggerRule", OptionKind::kFlag, kOptionFlags2,
     kPriorityRetrigger, 1, OptionCheck::kAny},
    {kFirmware, "STG_ImmediateBreakCTG", OptionKind::kFlag, kOptionFlags2, kImmediateBreak, 1, OptionCheck::kAny},
    {kFirmware, "BkgndCTG_Resumable", OptionKind::kFlag, kOptionFlags2, kBackgroundResumable, 1, OptionCheck::kAny},
    {kFirmware, "UseStartupPlay", OptionKind::kFlag, kOptionFlags1, kUseStartupPlay, 0, OptionCheck::kAny},
    {kFirmware, "StartupPlayVtg", OptionKind::kSignedWord, kStartupPlayVtg, 0, 0, OptionCheck::kAny},
    {kUart, "BitsParity", OptionKind::kWord, kBitsParity, 0, 80, OptionCheck::kBitsParity},
    {kUart, "BaudRate", OptionKind::kWord, kBaudRate, 0, 9600, OptionCheck::kBaudRate},
    {kUart, "FrameLeading1", OptionKind::kByte, kFrameLeading1, 0, 0xFF, OptionCheck::kAny},
    {kUart, "FrameLeading2", OptionKind::kByte, kFrameLeading2, 0, 0xFF, OptionCheck::kAny},
    {kUart, "FrameEnding1", OptionKind::kByte, kFrameEnding1, 0, 0xFF, OptionCheck::kAny},
    {kUart, "FrameEnding2", OptionKind::kByte, kFrameEnding2, 0, 0xFF, OptionCheck::kAny},
};

// False after sending the option's message when the value is not accepted.
bool Accepted(OptionCheck check, std::uint32_t value) {
    switch (check) {
    case OptionCheck::kAny:
        return true;
    case OptionCheck::kBitsParity:
        if (value >= 80 && value <= 82) return true;
        LnkPrintf("\nErr: Unknown or Unsupport serial bits and parity spec. !!!");
        return false;
    case OptionCheck::kBaudRate:
        if (value == 1200 || value == 2400 || value == 4800 || value == 9600) return true;
        LnkPrintf("\nErr: Unknown or Unsupport serial baud !!!");
        return false;
    }
    return false;
}

}  // namespace

std::span<const OptionField> OptionFields() { return kOptions; }

bool ParseOptionTable(LinkContext& ctx) {
    const IniFile& ini = *ctx.reader;
    for (const OptionField& f : kOptions) {
        std::uint8_t* field = &ctx.keyTable[f.offset];
        switch (f.kind) {
        case OptionKind::kByte:
            *field = static_cast<std::uint8_t>(ini.ReadUnsigned(f.section, f.key, f.def));
            break;
        case OptionKind::kWord: {
            const std::uint32_t value = ini.ReadUnsigned(f.section, f.key, f.def);
            if (!Accepted(f.check, value)) return false;
            PutU16(field, static_cast<std::uint16_t>(value));
            break;
        }
        case OptionKind::kSignedWord:
            PutU16(field, static_cast<std::uint16_t>(
                              ini.ReadInteger(f.section, f.key, static_cast<std::int32_t>(f.def))));
            break;
        case OptionKind::kFlag:
            if (ini.ReadBool(f.section, f.key, f.def != 0)) PutU16(field, GetU16(field) | f.bit);
            break;
        }
    }
    return true;
}

std::string OptionValueText(const OptionField& f, KeyTableView kt) {
    const std::uint8_t* field = &kt[f.offset];
    switch (f.kind) {
    case OptionKind::kByte:
        return std::to_string(*field);
    case OptionKind::kWord:
        return std::to_string(GetU16(field));
    case OptionKind::kSignedWord:
        return std::to_string(static_cast<std::int16_t>(GetU16(field)));
    case OptionKind::kFlag:
        return (GetU16(field) & f.bit) ? "true" : "false";
    }
    return {};
}

}  // namespace zlt
