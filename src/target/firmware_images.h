// The firmware images carried with the library, one per trigger mode, found
// by their resource id (4097 to 4111). Defined by the build from the folder
// of image files.
#pragma once

#include <cstdint>
#include <span>

namespace zlt {

// The image's bytes, or an empty span when the library carries none.
std::span<const std::uint8_t> FindFirmwareImage(unsigned id);

}  // namespace zlt
