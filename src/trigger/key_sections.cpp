#include "trigger/key_sections.h"

#include "base/bytes.h"
#include "base/message.h"
#include "platform/clock.h"

#include <cstring>

namespace zlt {

bool WriteKeyTableSection(LinkContext& ctx, DirSlot& slot) {
    std::uint8_t* kt = ctx.keyTable.data();
    std::memcpy(kt, "NVK", 4);
    PutU16(kt + 0x1C, 512);
    PutU16(kt + 0x1E, 0);
    const LinkTime t = GetLocalTime();
    const std::uint16_t stamp[8] = {t.year, t.month, t.dayOfWeek, t.day,
                                    t.hour, t.minute, t.second, t.millisecond};
    for (int i = 0; i < 8; ++i) PutU16(kt + kKeyTimeStamp + 2 * i, stamp[i]);

    if (!ctx.image.Write(kt, ctx.keyTable.size())) {
        LnkPrintf("\nErr: Can not wrtie file %s", ctx.imagePath.c_str());
        return false;
    }
    slot.pageCount = PagesFor(ctx.keyTable.size());
    slot.byteLength = static_cast<std::uint32_t>(ctx.keyTable.size());
    return true;
}

bool WriteTriggerTableSection(LinkContext& ctx, DirSlot& slot) {
    std::uint8_t bytes[kTriggerTableSize];
    for (std::size_t t = 0; t < ctx.triggerTable.size(); ++t) PutU16(&bytes[2 * t], ctx.triggerTable[t]);
    if (!ctx.image.Write(bytes, sizeof bytes)) {
        LnkPrintf("\nErr: Can not wrtie file %s", ctx.imagePath.c_str());
        return false;
    }
    slot.pageCount = PagesFor(sizeof bytes);
    slot.byteLength = sizeof bytes;
    return true;
}

}  // namespace zlt
