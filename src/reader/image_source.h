// An image read from a file: only a regular file, its header first, never
// more than its directory describes, and mapped rather than copied, so that
// neither a FIFO nor a device nor a huge file can hold or swell the reader.
#pragma once

#include "platform/files.h"
#include "reader/decoded_image.h"

#include <memory>
#include <optional>
#include <span>
#include <string>

namespace zlt {

struct LoadedImage {
    std::unique_ptr<platform::MappedFile> mapped;  // keeps `file` alive
    std::span<const std::uint8_t> file;
    DecodedImage image;
};

// The image at path, checked and decoded (ReadImage); nothing with the first
// fault in error.
std::optional<LoadedImage> LoadImage(const std::string& path, std::string& error);

}  // namespace zlt
