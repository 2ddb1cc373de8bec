// The project checker: every check a link makes, on every entry, without
// writing an image, with warnings for what a link accepts silently.
#pragma once

#include "base/diagnostic.h"

#include <vector>

namespace zlt {

struct LinkContext;

// Checks the project file at projectPath (clip paths are taken relative to
// the working directory, as in a link). The diagnostics come in file order,
// each note after the diagnostic it belongs to. Sends no message.
std::vector<Diagnostic> CheckProject(const char* projectPath);

// ---- The parts of a check, in check/ ----

// Sections, keys and repeated keys of the project as written.
void LintProjectText(LinkContext& ctx);

}  // namespace zlt
