// The trigger stage: section ZLP.Trigger.
#pragma once

#include "link/context.h"

namespace zlt {

bool ParseTriggerTable(LinkContext& ctx);

}  // namespace zlt
