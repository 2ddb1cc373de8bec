// A trigger entry through the trigger stage's entry parser, as an ordinary
// and as a clock trigger, and its clock condition through every form. A
// condition that gives a word must read back from that word's text. A check
// of the entry finds an error exactly when the entry is refused, the first
// with the entry's error line.
#include "fuzz_support.h"
#include "trigger/clock_condition.h"
#include "trigger/trigger_table.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    zlt::SetOutputCallback(zlt::fuzz::Discard);
    const std::string_view value(reinterpret_cast<const char*>(data), size);
    if (const auto word = zlt::ClockConditionWord(value)) {
        const auto text = zlt::ClockConditionText(*word);
        if (!text || zlt::ClockConditionWord(*text) != word) std::abort();
    }
    if (value.empty()) return 0;
    // Sentences 0 to 15 are defined; the tables an entry fills start empty.
    static auto* const ctx = [] {
        auto* c = new zlt::LinkContext;
        c->ClearTables();
        c->projectPath = "fuzz.zlp";
        for (unsigned n = 0; n < 16; ++n) c->sentenceIndex[n] = static_cast<std::uint16_t>(2 * n + 1);
        return c;
    }();
    ctx->keyTable.fill(0);
    ctx->triggerTable.fill(0);
    for (unsigned t : {5u, 7900u}) {
        ctx->report.Start(zlt::Reporter::Mode::kLink, ctx->projectPath);
        const auto link = zlt::fuzz::RunInLinkMode([&] { return zlt::ParseTriggerEntry(*ctx, t, value); });
        // A bound clock trigger always has its condition word.
        const std::uint8_t* slot = &ctx->keyTable[zlt::ClockSlotOffset(7900)];
        if (link.ok && t == 7900 && ctx->triggerTable[t] != 0 && (slot[3] & 0x80) == 0) std::abort();
        ctx->report.Start(zlt::Reporter::Mode::kCheck, ctx->projectPath);
        zlt::ParseTriggerEntry(*ctx, t, value);
        zlt::fuzz::RequireCheckAgrees(link, ctx->report.Diagnostics());
    }
    return 0;
}
