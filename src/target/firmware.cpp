#include "target/firmware.h"

#include "base/message.h"
#include "base/names.h"
#include "base/section_writer.h"
#include "target/firmware_images.h"

#include <algorithm>

namespace zlt {

const char* const kTriggerModeNames[15] = {
    "TGM_SINGLE_M0", "TGM_CYCLE_M0", "TGM_BIN_M0",    "TGM_BIN_M2",   "TGM_BIN10_M0",
    "TGM_PBIN_M0",   "TGM_PBIN_M2",  "TGM_PBIN10_M0", "TGM_RUART_M0", "TGM_RUART_M2",
    "TGM_FUART_M0",  "TGM_FUART_M2", "TGM_AUART_M0",  "TGM_HGPS2_M0", "TGM_HGPS2_M2",
};

std::optional<unsigned> FirmwareIdOf(std::string_view triggerMode) {
    for (unsigned i = 0; i < std::size(kTriggerModeNames); ++i)
        if (EqualsIgnoringCase(triggerMode, kTriggerModeNames[i])) return kFirstFirmwareId + i;
    return std::nullopt;
}

std::optional<unsigned> IdentifyFirmware(std::span<const std::uint8_t> image) {
    for (unsigned id = kFirstFirmwareId; id < kFirstFirmwareId + std::size(kTriggerModeNames); ++id) {
        std::span<const std::uint8_t> carried = FindFirmwareImage(id);
        if (!carried.empty() && std::equal(carried.begin(), carried.end(), image.begin(), image.end())) return id;
    }
    return std::nullopt;
}

namespace {

// The firmware image of the project's trigger mode; empty after reporting
// the fault when there is none.
std::span<const std::uint8_t> TriggerModeImage(LinkContext& ctx) {
    const IniFile& ini = *ctx.reader;
    const std::string mode = ini.ReadString("ZLP.System", "TG_Mode", "");
    const std::optional<unsigned> id = FirmwareIdOf(mode);
    const TextSpan at = ValueSpan(ini, "ZLP.System", "TG_Mode");
    if (mode.empty() || !id) {
        Finding f = ini.Find("ZLP.System", "TG_Mode") == nullptr
                        ? Found<Diag::kMissingKey>(at, "TG_Mode", "ZLP.System", "TG_Mode", "TG_Mode=TGM_SINGLE_M0")
                        : Found<Diag::kBadTriggerMode>(at, "TG_Mode", mode);
        if (const char* near = mode.empty() ? nullptr : Closest(mode, kTriggerModeNames))
            f.message += FormatText("; did you mean `%s`?", near);
        ctx.report.Fail(std::move(f), "\nErr: Unknown or Undefine TG_MODE !!!");
        return {};
    }
    ctx.triggerModeName = mode;
    std::span<const std::uint8_t> image = FindFirmwareImage(*id);
    if (image.empty())
        ctx.report.Fail(Found<Diag::kFirmwareMissing>(at, "TG_Mode", kTriggerModeNames[*id - kFirstFirmwareId]),
                        "\nErr: Internal resource fail, please call to NVK");
    return image;
}

}  // namespace

bool CheckTriggerMode(LinkContext& ctx) { return !TriggerModeImage(ctx).empty(); }

bool WriteFirmwareSection(LinkContext& ctx, DirSlot& slot) {
    ctx.modelName = kModelName;
    std::span<const std::uint8_t> image = TriggerModeImage(ctx);
    return !image.empty() && EmitSection(ctx, slot, image);
}

}  // namespace zlt
