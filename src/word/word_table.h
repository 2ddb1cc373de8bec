// The word table: section ZLP.Word, word placing and section ZLT_WTAB.BIN.
#pragma once

#include "link/context.h"

namespace zlt {

bool ParseWordTable(LinkContext& ctx);
bool PlaceWords(LinkContext& ctx);
bool WriteWordTableSection(LinkContext& ctx, DirSlot& slot);

}  // namespace zlt
