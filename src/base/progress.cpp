#include "base/progress.h"

#include <atomic>

namespace zlt {

namespace {
std::atomic<PageProgress> g_progress{nullptr};
std::atomic<InputNotify> g_inputNotify{nullptr};
}  // namespace

void SetPageProgress(PageProgress fn) { g_progress.store(fn); }

void ReportPageProgress(unsigned pagesDone, unsigned pagesTotal) {
    if (PageProgress fn = g_progress.load()) fn(pagesDone, pagesTotal);
}

void SetInputNotify(InputNotify fn) { g_inputNotify.store(fn); }

void ReportInput(const char* path) {
    if (InputNotify fn = g_inputNotify.load()) fn(path);
}

}  // namespace zlt
