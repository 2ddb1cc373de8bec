#include "base/section_writer.h"

#include "base/bytes.h"
#include "base/message.h"

namespace zlt {

bool EmitSection(LinkContext& ctx, DirSlot& slot, std::span<const std::uint8_t> bytes) {
    if (!ctx.image.Write(bytes.data(), bytes.size()) || !ctx.image.PadToPage(bytes.size())) {
        LnkPrintf("\nErr: Can not wrtie file %s", ctx.imagePath.c_str());
        return false;
    }
    slot.byteLength = static_cast<std::uint32_t>(bytes.size());
    slot.pageCount = PagesFor(bytes.size());
    return true;
}

}  // namespace zlt
