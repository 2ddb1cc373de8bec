// Message output: every progress, detail and error line of a link goes out
// through LnkPrintf, into the host's output callback or standard output.
#pragma once

#include "base/format.h"

#include <cstddef>

namespace zlt {

using OutputCallback = int (*)(const char* text);

// One formatted message holds at most this many bytes, its NUL included.
inline constexpr std::size_t kMessageBufferSize = 1024;

void SetOutputCallback(OutputCallback fn);
void SetProgressCallback(void* fn);

// Hands text to the installed callback, or writes it to standard output.
void LnkPuts(const char* text);

int LnkPrintfChecked(const char* format, ...);

// Formats one message (cut at 1023 characters) and sends it with LnkPuts.
// Returns the number of characters sent (0 while messages are quiet).
template <typename... Args>
int LnkPrintf(Format<Args...> format, Args... args) {
    return LnkPrintfChecked(format.text, args...);
}

// True while the output callback runs on this thread.
bool InOutputCallback();

// While a QuietMessages lives, the messages sent on its thread are dropped
// without being formatted: a check runs the stages of a link without their
// lines.
class QuietMessages {
public:
    QuietMessages();
    ~QuietMessages();
    QuietMessages(const QuietMessages&) = delete;
    QuietMessages& operator=(const QuietMessages&) = delete;

private:
    bool saved_;
};

}  // namespace zlt
