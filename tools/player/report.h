// Runs and agendas as text for people and as JSON for programs.
#pragma once

#include "player/agenda.h"
#include "player/machine.h"

#include <cstdint>
#include <string>
#include <vector>

namespace zlt::player {

// A sentence by its number (the project's S key, or the inspector's count)
// and its first unit.
struct NamedSentence {
    unsigned number = 0;
    std::uint16_t start = 0;
};

// The number of the sentence that starts at unit, or -1.
int NumberOf(const std::vector<NamedSentence>& sentences, unsigned unit);

// "S0002" for the sentence that starts at unit, "unit 11" when none does.
std::string SentenceName(const std::vector<NamedSentence>& sentences, unsigned unit);

// "endMark", "return", "stepLimit", ...
const char* EndingName(Ending ending);

// One line per event: the time in milliseconds, the unit, the step and the
// registers and flags it changed ("R1=03 Z=1"); a serial byte as "> TXD 55",
// a clock field as "> HOUR = 09", the end as "end: ...".
std::string TraceText(const RunResult& run);

// {"start": ..., "rate": ..., "lengthMs": ..., "ending": ..., "endsBySelf": ...,
//  "message": ..., "trace": [{"timeMs": ..., "unit": ..., "step": ...,
//  "changes": {"R1": 3}}, {..., "serial": 85}, {..., "clock": "HOUR",
//  "value": 9, "accepted": true}, {..., "end": "end mark"}]}
std::string RunJson(const RunResult& run, unsigned start, unsigned rate);

// "2026-12-25 09:30  T7934  S0000" a line, or a line saying that the
// trigger mode does not read the clock.
std::string AgendaText(const Agenda& agenda, const std::string& triggerMode,
                       const std::vector<NamedSentence>& sentences);
std::string AgendaJson(const Agenda& agenda, const std::vector<NamedSentence>& sentences);

}  // namespace zlt::player
