#include "trigger/trigger_table.h"

#include "link/format.h"
#include "link/message.h"

namespace zlt {

// Triggers are not compiled yet: a project that binds any is refused rather
// than linked without them.
bool ParseTriggerTable(LinkContext& ctx) {
    for (unsigned t = 0; t < kEntryCount; ++t) {
        std::string key = FormatText("T%0.4d", static_cast<int>(t));
        if (!ctx.reader->ReadString("ZLP.Trigger", key, "").empty()) {
            LnkPrintf("\nErr: Inavlid code in T%0.4d of file %s", static_cast<int>(t),
                      ctx.projectPath.c_str());
            return false;
        }
    }
    return true;
}

}  // namespace zlt
