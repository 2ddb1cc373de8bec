#include "trigger/key_sections.h"

#include "base/bytes.h"
#include "base/section_writer.h"
#include "trigger/key_table.h"

namespace zlt {

bool WriteKeyTableSection(LinkContext& ctx, DirSlot& slot) {
    PutKeyTableHead(ctx.keyTable, ctx.linkTime);
    return EmitSection(ctx, slot, ctx.keyTable);
}

bool WriteTriggerTableSection(LinkContext& ctx, DirSlot& slot) {
    static_assert(2 * kEntryCount == kTriggerTableBytes);
    std::array<std::uint8_t, kTriggerTableBytes> bytes;
    for (std::size_t t = 0; t < kEntryCount; ++t) PutU16(&bytes[2 * t], ctx.triggerTable[t]);
    return EmitSection(ctx, slot, bytes);
}

}  // namespace zlt
