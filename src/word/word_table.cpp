#include "word/word_table.h"

#include "link/bytes.h"
#include "link/format.h"
#include "link/message.h"

namespace zlt {

// Words are not read yet: a project that names any clip is refused rather
// than linked without it.
bool ParseWordTable(LinkContext& ctx) {
    for (unsigned n = 0; n < kEntryCount; ++n) {
        std::string key = FormatText("W%0.4d", static_cast<int>(n));
        std::string path = ctx.reader->ReadString("ZLP.Word", key, "");
        if (!path.empty()) {
            LnkPrintf("\nErr: Can not access file %s", path.c_str());
            return false;
        }
    }
    return true;
}

bool PlaceWords(LinkContext& ctx) {
    ctx.wordImagePages = 0;
    return true;
}

bool WriteWordTableSection(LinkContext& ctx, DirSlot& slot) {
    std::uint8_t bytes[8 * kEntryCount];
    for (std::size_t n = 0; n < kEntryCount; ++n) {
        PutU32(&bytes[8 * n], ctx.wordTable[n].format);
        PutU32(&bytes[8 * n + 4], ctx.wordTable[n].length);
    }
    if (!ctx.image.Write(bytes, sizeof bytes)) {
        LnkPrintf("\nErr: Can not wrtie file %s", ctx.imagePath.c_str());
        return false;
    }
    slot.pageCount = PagesFor(sizeof bytes);
    slot.byteLength = sizeof bytes;
    return true;
}

}  // namespace zlt
