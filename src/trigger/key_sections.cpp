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
    return EmitSection(ctx, slot, LittleEndianBytes(ctx.triggerTable));
}

}  // namespace zlt
