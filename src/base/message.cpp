#include "base/message.h"

#include <atomic>
#include <cstdarg>
#include <cstdio>

namespace zlt {

namespace {
std::atomic<OutputCallback> g_output{nullptr};
std::atomic<void*> g_progress{nullptr};
thread_local int t_callbackDepth = 0;
thread_local bool t_quiet = false;
}  // namespace

QuietMessages::QuietMessages() : saved_(t_quiet) { t_quiet = true; }

QuietMessages::~QuietMessages() { t_quiet = saved_; }

void SetOutputCallback(OutputCallback fn) { g_output.store(fn); }
void SetProgressCallback(void* fn) { g_progress.store(fn); }
bool InOutputCallback() { return t_callbackDepth > 0; }

void LnkPuts(const char* text) {
    if (t_quiet) return;
    OutputCallback fn = g_output.load();
    if (fn == nullptr) {
        std::fputs(text, stdout);
        return;
    }
    ++t_callbackDepth;
    fn(text);
    --t_callbackDepth;
}

// The formats reaching here were checked by FormatString at compile time.
#pragma GCC diagnostic ignored "-Wformat-nonliteral"

int LnkPrintfChecked(const char* format, ...) {
    if (t_quiet) return 0;
    char buf[kMessageBufferSize];
    va_list ap;
    va_start(ap, format);
    int n = std::vsnprintf(buf, sizeof buf, format, ap);
    va_end(ap);
    if (n < 0) {
        buf[0] = '\0';
        n = 0;
    } else if (static_cast<std::size_t>(n) >= sizeof buf) {
        n = static_cast<int>(sizeof buf - 1);
    }
    LnkPuts(buf);
    return n;
}

}  // namespace zlt
