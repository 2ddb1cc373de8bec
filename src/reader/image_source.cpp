#include "reader/image_source.h"

#include "base/image.h"

#include <cstring>

namespace zlt {

std::optional<LoadedImage> LoadImage(const std::string& path, std::string& error) {
    auto file = std::make_unique<platform::MappedFile>();
    if (!file->Open(path)) {
        error = std::string("cannot open: ") + std::strerror(file->Error());
        return std::nullopt;
    }
    const platform::FileInfo& info = file->Info();
    if (info.kind != platform::FileKind::kRegular) {
        error = std::string("not an image file but ") + platform::KindName(info.kind);
        return std::nullopt;
    }
    std::uint8_t header[kImageHeaderSize];
    const std::size_t got = file->ReadAt(0, header, sizeof header);
    if (got < sizeof header && got < info.size) {
        error = std::string("cannot read: ") + std::strerror(file->Error());
        return std::nullopt;
    }
    std::uint64_t length = 0;
    if (!ParseDirectory(std::span<const std::uint8_t>(header, got), length, error)) return std::nullopt;
    if (info.size != length) {
        error = "file is " + std::to_string(info.size) + " bytes, its directory describes " + std::to_string(length);
        return std::nullopt;
    }
    if (!file->Map(length)) {
        error = std::string("cannot map: ") + std::strerror(file->Error());
        return std::nullopt;
    }
    const std::string_view bytes = file->Bytes();
    const std::span<const std::uint8_t> span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
    std::optional<DecodedImage> image = ReadImage(span, error);
    if (!image) return std::nullopt;
    return LoadedImage{std::move(file), span, std::move(*image)};
}

}  // namespace zlt
