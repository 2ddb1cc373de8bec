#include "sentence/sentence_table.h"

#include "link/bytes.h"
#include "link/format.h"
#include "link/message.h"

namespace zlt {

// Sentences are not compiled yet: a project that holds any is refused
// rather than linked without them.
bool CompileSentences(LinkContext& ctx) {
    unsigned nextUnit = 1;
    for (unsigned n = 0; n < kEntryCount; ++n) {
        std::string key = FormatText("S%0.4d", static_cast<int>(n));
        if (!ctx.reader->ReadString("ZLP.Sentence", key, "").empty()) {
            LnkPrintf("\nErr: Inavlid code in S%0.4d(Step%0.3d) of file %s", static_cast<int>(n), 0,
                      ctx.projectPath.c_str());
            return false;
        }
    }
    LnkPrintf("\n        Total used STEP = %d", static_cast<int>(nextUnit));
    return true;
}

bool ResolveBlocks(LinkContext& ctx) {
    ctx.labels.Clear();
    return true;
}

bool WriteSentenceTableSection(LinkContext& ctx, DirSlot& slot) {
    std::uint8_t bytes[2 * kSentenceUnits];
    for (std::size_t k = 0; k < kSentenceUnits; ++k) PutU16(&bytes[2 * k], ctx.sentenceTable[k]);
    if (!ctx.image.Write(bytes, sizeof bytes)) {
        LnkPrintf("\nErr: Can not wrtie file %s", ctx.imagePath.c_str());
        return false;
    }
    slot.pageCount = PagesFor(sizeof bytes);
    slot.byteLength = sizeof bytes;
    return true;
}

}  // namespace zlt
