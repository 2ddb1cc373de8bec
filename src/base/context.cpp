#include "base/context.h"

namespace zlt {

void LinkContext::ClearTables() {
    header.Clear();
    keyTable.fill(0);
    triggerTable.fill(0);
    sentenceTable.fill(0xFFFF);
    wordTable.fill(WordEntry{});
    sentenceIndex.fill(0);
    pageCounter = 0;
    wordImagePages = 0;
    wordImagePagesWritten = 0;
    linkTime = {};
    modelName.clear();
    triggerModeName.clear();
    clipDataShort.reset();
    faultySentences.reset();
}

}  // namespace zlt
