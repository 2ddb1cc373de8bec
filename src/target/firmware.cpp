#include "target/firmware.h"

#include "base/message.h"
#include "base/section_writer.h"
#include "target/firmware_images.h"

#include <algorithm>

namespace zlt {

const char* const kTriggerModeNames[15] = {
    "TGM_SINGLE_M0", "TGM_CYCLE_M0", "TGM_BIN_M0",    "TGM_BIN_M2",   "TGM_BIN10_M0",
    "TGM_PBIN_M0",   "TGM_PBIN_M2",  "TGM_PBIN10_M0", "TGM_RUART_M0", "TGM_RUART_M2",
    "TGM_FUART_M0",  "TGM_FUART_M2", "TGM_AUART_M0",  "TGM_HGPS2_M0", "TGM_HGPS2_M2",
};

namespace {

char AsciiUpper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (AsciiUpper(a[i]) != AsciiUpper(b[i])) return false;
    return true;
}

}  // namespace

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

bool WriteFirmwareSection(LinkContext& ctx, DirSlot& slot) {
    ctx.modelName = kModelName;
    std::string mode = ctx.reader->ReadString("ZLP.System", "TG_Mode", "");
    std::optional<unsigned> id = FirmwareIdOf(mode);
    if (mode.empty() || !id) {
        LnkPrintf("\nErr: Unknown or Undefine TG_MODE !!!");
        return false;
    }
    ctx.triggerModeName = mode;

    std::span<const std::uint8_t> image = FindFirmwareImage(*id);
    if (image.empty()) {
        LnkPrintf("\nErr: Internal resource fail, please call to NVK");
        return false;
    }
    return EmitSection(ctx, slot, image);
}

}  // namespace zlt
