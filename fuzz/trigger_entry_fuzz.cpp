// A trigger entry through the trigger stage, as an ordinary and as a clock
// trigger, and its clock condition through every form.
#include "link/message.h"
#include "trigger/trigger_table.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace {
int Discard(const char*) { return 0; }
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static auto* ctx = new zlt::LinkContext;
    zlt::SetOutputCallback(Discard);
    std::string value(reinterpret_cast<const char*>(data), size);
    if (value.find('\n') != std::string::npos || value.find('\r') != std::string::npos) return 0;
    (void)zlt::ClockConditionWord(value);
    ctx->ClearTables();
    ctx->projectPath = "fuzz.zlp";
    for (unsigned n = 0; n < 16; ++n) ctx->sentenceIndex[n] = static_cast<std::uint16_t>(2 * n + 1);
    ctx->reader = zlt::IniFile::Parse("[ZLP.Trigger]\nT0005=" + value + "\nT7900=" + value + "\n");
    (void)zlt::ParseTriggerTable(*ctx);
    return 0;
}
