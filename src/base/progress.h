// Progress of the word image, the one part of a link whose time grows with
// the project's audio: pages written of the word image's total.
#pragma once

namespace zlt {

using PageProgress = void (*)(unsigned pagesDone, unsigned pagesTotal);

void SetPageProgress(PageProgress fn);

// Calls the installed progress function, if any.
void ReportPageProgress(unsigned pagesDone, unsigned pagesTotal);

}  // namespace zlt
