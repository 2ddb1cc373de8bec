// The link pipeline.
#pragma once

#include "base/context.h"

namespace zlt {

// Runs one link of the project file at projectPath into the image file at
// imagePath. Sends every progress and error line; on failure closes and
// removes the image and returns false.
// The checks of the project head (Signature, Version) and of the target
// model (Target, which also stores the Model-ID in the key table).
bool CheckHead(LinkContext& ctx);
bool CheckTarget(LinkContext& ctx);

bool MakeZltCfo(LinkContext& ctx, const char* projectPath, const char* imagePath);

}  // namespace zlt
