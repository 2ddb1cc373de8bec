#include "options/option_table.h"

#include "base/bytes.h"
#include "base/message.h"

#include <algorithm>
#include <cctype>
#include <string>

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

constexpr std::uint32_t kBitsParityValues[] = {80, 81, 82};
constexpr std::uint32_t kBaudRateValues[] = {1200, 2400, 4800, 9600};

// The value as written, where it stands.
struct Written {
    const std::string* text;
    TextSpan at;
};

Written WrittenValue(const IniFile& ini, const OptionField& f) {
    return {ini.Find(f.section, f.key), ValueSpan(ini, f.section, f.key)};
}

// False after reporting the option's fault when the value is not accepted.
bool Accepted(LinkContext& ctx, const OptionField& f, std::uint32_t value) {
    const Written w = WrittenValue(*ctx.reader, f);
    const std::string text = w.text ? *w.text : std::to_string(value);
    const std::span<const std::uint32_t> accepted = AcceptedValues(f.check);
    if (accepted.empty() || std::ranges::find(accepted, value) != accepted.end()) return true;
    if (f.check == OptionCheck::kBitsParity)
        return ctx.report.Fail(Found<Diag::kBadBitsParity>(w.at, f.key, text),
                               "\nErr: Unknown or Unsupport serial bits and parity spec. !!!");
    return ctx.report.Fail(Found<Diag::kBadBaudRate>(w.at, f.key, text),
                           "\nErr: Unknown or Unsupport serial baud !!!");
}

// The length of the readable number or boolean word that text begins with.
std::size_t ReadablePrefix(std::string_view text, bool boolean) {
    if (boolean) {
        std::size_t n = 0;
        while (n < text.size() && ((text[n] | 0x20) >= 'a' && (text[n] | 0x20) <= 'z')) ++n;
        if (n > 0 && ParseProfileBool(text.substr(0, n))) return n;
    }
    std::size_t n = (!text.empty() && (text[0] == '+' || text[0] == '-')) ? 1 : 0;
    bool hex = false;
    if (text.substr(n).starts_with("0x") || text.substr(n).starts_with("0X")) {
        n += 2;
        hex = true;
    } else if (text.substr(n).starts_with("$")) {
        n += 1;
        hex = true;
    }
    const std::size_t digits = n;
    while (n < text.size() && (std::isdigit(static_cast<unsigned char>(text[n])) ||
                               (hex && std::isxdigit(static_cast<unsigned char>(text[n])))))
        ++n;
    return n > digits ? n : 0;
}

std::string DefaultText(const OptionField& f) {
    if (f.kind == OptionKind::kFlag) return f.def ? "true" : "false";
    return std::to_string(f.def);
}

// Warns about a value that a link takes without a word: unreadable (the
// default is used) or too wide for its field (it is cut).
void WarnAboutValue(LinkContext& ctx, const OptionField& f) {
    const Written w = WrittenValue(*ctx.reader, f);
    if (!w.text) return;
    const std::string& text = *w.text;
    const bool flag = f.kind == OptionKind::kFlag;
    const bool readable = flag ? ParseProfileBool(text).has_value() : ParseProfileNumber(text).has_value();
    if (!readable) {
        const std::size_t prefix = ReadablePrefix(text, flag);
        if (prefix == 0) {
            ctx.report.Warn(Found<Diag::kOptionUnreadable>(w.at, f.key, f.key, text,
                                                           flag ? "boolean" : "number", DefaultText(f)));
            return;
        }
        // Point at the text after the value, past its blanks.
        std::size_t rest = text.find_first_not_of(" \t", prefix);
        TextSpan at = w.at;
        at.column += static_cast<std::uint32_t>(rest);
        at.length -= static_cast<std::uint32_t>(rest);
        Finding finding = Found<Diag::kTrailingText>(at, f.key, text.substr(0, prefix), f.key, DefaultText(f));
        if (text[rest] == ';' || text[rest] == '#')
            finding.message += FormatText("; a remark goes on a line of its own that starts with `%s`",
                                          text[rest] == ';' ? ";" : "#");
        ctx.report.Warn(std::move(finding));
        return;
    }
    if (flag || f.check != OptionCheck::kAny) return;
    const std::uint32_t value = *ParseProfileNumber(text);
    const auto asSigned = static_cast<std::int32_t>(value);
    const bool fits = f.kind == OptionKind::kByte   ? value <= 0xFF
                      : f.kind == OptionKind::kWord ? value <= 0xFFFF
                                                    : asSigned >= -32768 && asSigned <= 65535;
    if (fits) return;
    const bool byte = f.kind == OptionKind::kByte;
    const std::uint32_t stored = value & (byte ? 0xFFu : 0xFFFFu);
    ctx.report.Warn(Found<Diag::kOptionNarrowed>(w.at, f.key, f.key, text, byte ? "8" : "16",
                                                 std::to_string(stored)));
}

}  // namespace

std::span<const OptionField> OptionFields() { return kOptions; }

std::span<const std::uint32_t> AcceptedValues(OptionCheck check) {
    switch (check) {
    case OptionCheck::kAny: break;
    case OptionCheck::kBitsParity: return kBitsParityValues;
    case OptionCheck::kBaudRate: return kBaudRateValues;
    }
    return {};
}

bool ParseOptionTable(LinkContext& ctx) {
    const IniFile& ini = *ctx.reader;
    for (const OptionField& f : kOptions) {
        if (ctx.report.Checking()) WarnAboutValue(ctx, f);
        std::uint8_t* field = &ctx.keyTable[f.offset];
        switch (f.kind) {
        case OptionKind::kByte:
            *field = static_cast<std::uint8_t>(ini.ReadUnsigned(f.section, f.key, f.def));
            break;
        case OptionKind::kWord: {
            const std::uint32_t value = ini.ReadUnsigned(f.section, f.key, f.def);
            if (!Accepted(ctx, f, value)) {
                if (!ctx.report.GoOn()) return false;
                break;
            }
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
