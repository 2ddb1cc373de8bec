// An image read from a file: only a regular file, its header first, never
// more than its directory describes, and mapped rather than copied, so that
// neither a FIFO nor a device nor a huge file can hold or swell the reader.
#pragma once

#include "inspect/image_model.h"

#include <optional>
#include <string>

namespace zlt::inspect {

// The image at path, checked and decoded (ParseImage); nothing with the
// first fault in error.
std::optional<Image> LoadImage(const std::string& path, std::string& error);

}  // namespace zlt::inspect
