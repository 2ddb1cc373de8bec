#include "player/report.h"

#include "base/format.h"

namespace zlt::player {

namespace {

std::string Millis(std::int64_t us) {
    return FormatText("%u.%0.3u", static_cast<unsigned>(us / 1000), static_cast<unsigned>(us % 1000));
}

}  // namespace

int NumberOf(const std::vector<NamedSentence>& sentences, unsigned unit) {
    for (const NamedSentence& s : sentences)
        if (s.start == unit) return static_cast<int>(s.number);
    return -1;
}

std::string SentenceName(const std::vector<NamedSentence>& sentences, unsigned unit) {
    const int n = NumberOf(sentences, unit);
    return n < 0 ? FormatText("unit %u", unit) : FormatText("S%0.4d", n);
}

const char* EndingName(Ending ending) {
    switch (ending) {
    case Ending::kEndMark: return "endMark";
    case Ending::kReturn: return "return";
    case Ending::kStepLimit: return "stepLimit";
    case Ending::kTimeLimit: return "timeLimit";
    case Ending::kStackOverflow: return "stackOverflow";
    case Ending::kStackUnderflow: return "stackUnderflow";
    case Ending::kFault: return "fault";
    }
    return "fault";
}

std::string TraceText(const RunResult& run) {
    std::string out = FormatText("%10s %5s  %s\n", "ms", "unit", "step");
    for (const TraceEvent& e : run.trace) {
        std::string what;
        switch (e.kind) {
        case TraceEvent::Kind::kStep:
            what = FormatText("%-24s", e.text.c_str());
            for (const Change& c : e.changes)
                what += c.name.size() == 1 ? FormatText(" %s=%u", c.name.c_str(), c.value)
                                           : FormatText(" %s=%0.2X", c.name.c_str(), c.value);
            break;
        case TraceEvent::Kind::kSerial: what = FormatText("> TXD %0.2X", e.value); break;
        case TraceEvent::Kind::kClock:
            what = FormatText("> %s = %0.2u", e.text.c_str(), e.value) + (e.accepted ? "" : " (out of range: ignored)");
            break;
        case TraceEvent::Kind::kEnd: what = "end: " + e.text; break;
        }
        while (!what.empty() && what.back() == ' ') what.pop_back();
        out += FormatText("%10s %5u  %s\n", Millis(e.timeUs).c_str(), e.unit, what.c_str());
    }
    return out;
}

std::string RunJson(const RunResult& run, unsigned start, unsigned rate) {
    std::string out = FormatText("{\n  \"start\": %u,\n  \"rate\": %u,\n  \"lengthMs\": %s,\n  \"ending\": \"%s\","
                                 "\n  \"endsBySelf\": %s,\n  \"message\": ",
                                 start, rate, Millis(run.lengthUs).c_str(), EndingName(run.ending),
                                 EndsBySelf(run.ending) ? "true" : "false") +
                      JsonString(run.message) + ",\n  \"trace\": [";
    const char* separator = "\n    ";
    for (const TraceEvent& e : run.trace) {
        out += separator + FormatText("{\"timeMs\": %s, \"unit\": %u, ", Millis(e.timeUs).c_str(), e.unit);
        separator = ",\n    ";
        switch (e.kind) {
        case TraceEvent::Kind::kStep: {
            out += "\"step\": " + JsonString(e.text) + ", \"changes\": {";
            for (std::size_t i = 0; i < e.changes.size(); ++i)
                out += FormatText("%s\"%s\": %u", i ? ", " : "", e.changes[i].name.c_str(), e.changes[i].value);
            out += "}}";
            break;
        }
        case TraceEvent::Kind::kSerial: out += FormatText("\"serial\": %u}", e.value); break;
        case TraceEvent::Kind::kClock:
            out += FormatText("\"clock\": \"%s\", \"value\": %u, \"accepted\": %s}", e.text.c_str(), e.value,
                              e.accepted ? "true" : "false");
            break;
        case TraceEvent::Kind::kEnd: out += "\"end\": " + JsonString(e.text) + "}"; break;
        }
    }
    return out + "\n  ]\n}\n";
}

std::string AgendaText(const Agenda& agenda, const std::string& triggerMode,
                       const std::vector<NamedSentence>& sentences) {
    if (!agenda.readsClock)
        return "The trigger mode " + (triggerMode.empty() ? std::string("of this image is unknown and") : triggerMode) +
               " does not read the clock slots: no clock trigger speaks.\n";
    std::string out;
    for (const AgendaEntry& e : agenda.entries)
        out += CivilTimeText(e.minute, false) + FormatText("  T%0.4u  ", e.trigger) +
               SentenceName(sentences, e.startUnit) + "\n";
    if (agenda.cut) out += FormatText("(the first %u entries only)\n", static_cast<unsigned>(agenda.entries.size()));
    return out;
}

std::string AgendaJson(const Agenda& agenda, const std::vector<NamedSentence>& sentences) {
    std::string out = FormatText("{\n  \"readsClock\": %s,\n  \"cut\": %s,\n  \"entries\": [",
                                 agenda.readsClock ? "true" : "false", agenda.cut ? "true" : "false");
    const char* separator = "\n    ";
    for (const AgendaEntry& e : agenda.entries) {
        out += separator + FormatText("{\"time\": \"%s\", \"trigger\": %u, \"startUnit\": %u, \"sentence\": %d}",
                                      CivilTimeText(e.minute, false).c_str(), e.trigger, unsigned{e.startUnit},
                                      NumberOf(sentences, e.startUnit));
        separator = ",\n    ";
    }
    return out + "\n  ]\n}\n";
}

}  // namespace zlt::player
