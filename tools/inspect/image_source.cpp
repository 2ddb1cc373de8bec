#include "inspect/image_source.h"

#include "platform/files.h"

#include <cstring>
#include <memory>

namespace zlt::inspect {

std::optional<Image> LoadImage(const std::string& path, std::string& error) {
    auto file = std::make_shared<platform::MappedFile>();
    if (!file->Open(path)) {
        error = std::string("cannot open: ") + std::strerror(file->Error());
        return std::nullopt;
    }
    const platform::FileInfo& info = file->Info();
    if (info.kind != platform::FileKind::kRegular) {
        error = std::string("not an image file but ") + platform::KindName(info.kind);
        return std::nullopt;
    }
    char header[512];
    const std::size_t got = file->ReadAt(0, header, sizeof header);
    if (got < sizeof header && got < info.size) {
        error = std::string("cannot read: ") + std::strerror(file->Error());
        return std::nullopt;
    }
    const std::optional<std::uint64_t> length = DescribedLength(std::string_view(header, got), error);
    if (!length) return std::nullopt;
    if (info.size != *length) {
        error = "file is " + std::to_string(info.size) + " bytes, its directory describes " + std::to_string(*length);
        return std::nullopt;
    }
    if (!file->Map(*length)) {
        error = std::string("cannot map: ") + std::strerror(file->Error());
        return std::nullopt;
    }
    const std::string_view bytes = file->Bytes();
    return ParseImage(std::move(file), bytes, error);
}

}  // namespace zlt::inspect
