#include "trigger/key_sections.h"

#include "base/bytes.h"
#include "base/section_writer.h"

#include <cstring>

namespace zlt {

bool WriteKeyTableSection(LinkContext& ctx, DirSlot& slot) {
    std::uint8_t* kt = ctx.keyTable.data();
    std::memcpy(kt, "NVK", 4);
    PutU16(kt + 0x1C, 512);
    PutU16(kt + 0x1E, 0);
    const LinkTime& t = ctx.linkTime;
    const std::uint16_t stamp[8] = {t.year, t.month, t.dayOfWeek, t.day,
                                    t.hour, t.minute, t.second, t.millisecond};
    for (int i = 0; i < 8; ++i) PutU16(kt + kKeyTimeStamp + 2 * i, stamp[i]);

    return EmitSection(ctx, slot, ctx.keyTable);
}

bool WriteTriggerTableSection(LinkContext& ctx, DirSlot& slot) {
    static_assert(2 * kEntryCount == kTriggerTableBytes);
    std::array<std::uint8_t, kTriggerTableBytes> bytes;
    for (std::size_t t = 0; t < kEntryCount; ++t) PutU16(&bytes[2 * t], ctx.triggerTable[t]);
    return EmitSection(ctx, slot, bytes);
}

}  // namespace zlt
