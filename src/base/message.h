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
// Returns the number of characters sent.
template <typename... Args>
int LnkPrintf(Format<Args...> format, Args... args) {
    return LnkPrintfChecked(format.text, args...);
}

// True while the output callback runs on this thread.
bool InOutputCallback();

// While a MessageTap lives, the messages sent on its thread go to its
// function instead of the output callback: a check runs the stages of a
// link without printing their lines, and reads the lines it needs.
class MessageTap {
public:
    using Function = void (*)(const char* text, void* userData);
    MessageTap(Function fn, void* userData);
    ~MessageTap();
    MessageTap(const MessageTap&) = delete;
    MessageTap& operator=(const MessageTap&) = delete;

private:
    Function savedFn_;
    void* savedData_;
};

}  // namespace zlt
