// The firmware images carried with the library, one per trigger mode, found
// by their resource id (4097 to 4111). The build embeds the images from the
// folder of image files (cmake/EmbedFirmware.cmake): on Windows as data
// resources of the module, found in src/platform/firmware_resources_windows.cpp;
// elsewhere as read-only data, with this function generated beside them.
#pragma once

#include <cstdint>
#include <span>

namespace zlt {

// The image's bytes, or an empty span when the library carries none.
std::span<const std::uint8_t> FindFirmwareImage(unsigned id);

}  // namespace zlt
