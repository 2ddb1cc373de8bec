#include "word/word_image.h"

namespace zlt {

bool WriteWordImageSection(LinkContext& ctx, DirSlot& slot) {
    slot.pageCount = ctx.wordImagePages;
    slot.byteLength = ctx.wordImagePages * 512;
    return true;
}

}  // namespace zlt
