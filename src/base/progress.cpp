#include "base/progress.h"

#include <atomic>

namespace zlt {

namespace {
std::atomic<PageProgress> g_progress{nullptr};
}  // namespace

void SetPageProgress(PageProgress fn) { g_progress.store(fn); }

void ReportPageProgress(unsigned pagesDone, unsigned pagesTotal) {
    if (PageProgress fn = g_progress.load()) fn(pagesDone, pagesTotal);
}

}  // namespace zlt
