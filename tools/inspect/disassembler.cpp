#include "inspect/disassembler.h"

#include "base/format.h"
#include "sentence/instructions.h"

#include <map>
#include <set>

namespace zlt::inspect {

namespace {

constexpr std::uint16_t kEndMark = 0xFFFF;

const char* const kRegisterOps[16] = {nullptr, "CMP", nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                      "MOV",   "ADD", "SUB",   "AND",   "ORL",   "XOR",   "XCH",   "BITS"};
const char* const kOneRegisterOps[8] = {"SHL", "SHR", "SWAP", "TXD", "BCD2BIN", "BIN2BCD", "PUSH", "POP"};
const char* const kConditions[8] = {"JZ", "JNZ", "JC", "JNC", "JG", "JGE", "JL", "JLE"};
bool IsStepReference(std::uint16_t u) { return u >= 0x1000 && u <= 0x1FFF; }
bool IsBlockReference(std::uint16_t u) { return u >= 0x8000 && u != kEndMark; }

int Distance(std::uint16_t u) { return static_cast<std::int8_t>(u & 0xFF); }

std::string PortText(const char* mnemonic, unsigned r, const Port& port) {
    return FormatText("^%s_R%u_", mnemonic, r) + std::string(port.name);
}

std::string Label(unsigned unit) { return FormatText("L%u", unit); }

}  // namespace

std::string UnitText(std::uint16_t u, unsigned at) {
    const unsigned r1 = (u >> 3) & 7, r2 = u & 7, r = (u >> 8) & 7, imm = u & 0xFF;
    if (u == 0x0000) return "^BLK_" + Label(at + 1);
    if (u == 0x0020) return "^RET";
    if (u == 0x0021) return "^SETC";
    if (u == 0x0022) return "^CLRC";
    if (u >= 0x0040 && u <= 0x007F) return FormatText("^CMP_R%u_R%u", r1, r2);
    if (u >= 0x0080 && u <= 0x00BF) return FormatText("^%s_R%u", kOneRegisterOps[(u >> 3) & 7], r2);
    if (u >= 0x0100 && u <= 0x01FF) return FormatText("^TXD_%X", imm);
    if (u >= 0x0200 && u <= 0x03FF) return FormatText("^%s_R%u_R%u", kRegisterOps[(u >> 6) & 0xF], r1, r2);
    if (u >= 0x0400 && u <= 0x07FF) return FormatText("M%u", (u - 0x0400u) * 50);
    if (u >= 0x0800 && u <= 0x0FFF) return FormatText("^CMP_R%u_%X", r, imm);
    if (u >= 0x1000 && u <= 0x17FF) return FormatText("^DJNZ_R%u_STEP%u", r, imm);
    if (u >= 0x1800 && u <= 0x1FFF) return FormatText("^%s_STEP%u", kConditions[r], imm);
    if (u >= 0x2000 && u <= 0x3FFF) return FormatText("W%0.4u", u - 0x2000u);
    if (u >= 0x4000 && u <= 0x6FFF) return FormatText("^%s_R%u_%X", kRegisterOps[u >> 11], r, imm);
    if (u >= 0x7000 && u <= 0x77FF && imm < kPorts.size()) return PortText("IOR", r, kPorts[imm]);
    if (u >= 0x7800 && u <= 0x7FFF && imm < kPorts.size() && kPorts[imm].writable)
        return PortText("IOW", r, kPorts[imm]);
    if (u >= 0x8000 && u <= 0xBFFF) return "^CALL_" + Label(2u * (u & 0x3FFF));
    if (u >= 0xC000 && u < kEndMark) return "^JMP_" + Label(2u * (u & 0x3FFF));
    if (u == kEndMark) return "^EOP";
    return {};
}

bool Disassemble(const Image& image, std::vector<SentenceListing>& out, std::string& error) {
    const auto& units = image.units;
    out.clear();

    // The code runs from unit 1 to the end mark after the last unit in use,
    // or to the last sentence a trigger names (a sentence may be an end mark alone).
    unsigned end = 0;
    for (unsigned k = units.size() - 1; k >= 1; --k)
        if (units[k] != kEndMark) {
            end = k + 1;
            break;
        }
    for (const TriggerBinding& t : image.triggers) end = std::max<unsigned>(end, t.startUnit);
    if (end >= units.size()) {
        error = "the last sentence has no end mark";
        return false;
    }

    std::set<unsigned> blockStarts;
    for (unsigned k = 1; k <= end; ++k)
        if (IsBlockReference(units[k])) blockStarts.insert(2u * (units[k] & 0x3FFF));

    // A sentence ends at an end mark, unless a step reference spans it: then
    // that end mark was an ^EOP step inside the sentence.
    std::vector<int> spanning(end + 2, 0);
    for (unsigned k = 1; k <= end; ++k) {
        if (!IsStepReference(units[k])) continue;
        const int target = static_cast<int>(k) + Distance(units[k]);
        if (target < 1 || target > static_cast<int>(end)) {
            error = FormatText("unit %u: step reference outside the code", k);
            return false;
        }
        const unsigned lo = std::min<unsigned>(k, static_cast<unsigned>(target));
        const unsigned hi = std::max<unsigned>(k, static_cast<unsigned>(target));
        ++spanning[lo];
        --spanning[hi];
    }
    std::vector<bool> endsSentence(end + 1, false);
    int open = 0;
    for (unsigned k = 1; k <= end; ++k) {
        open += spanning[k];
        endsSentence[k] = units[k] == kEndMark && open == 0;
    }

    for (unsigned start = 1; start <= end;) {
        unsigned last = start;
        while (last <= end && !endsSentence[last]) ++last;
        if (last > end) {
            error = FormatText("unit %u: sentence without end mark", start);
            return false;
        }

        SentenceListing s{static_cast<std::uint16_t>(start), static_cast<std::uint16_t>(last), {}};
        std::map<unsigned, unsigned> stepAt;  // unit index -> first step that records it
        std::vector<std::pair<std::size_t, unsigned>> references;  // step, target unit
        auto declare = [&](unsigned unit) { s.steps.push_back("^BLK_" + Label(unit)); };
        for (unsigned k = start; k <= last; ++k) {
            const std::uint16_t u = units[k];
            const bool padded = k > start && units[k - 1] == 0x0000;
            if (blockStarts.count(k) && !padded) {
                stepAt.emplace(k, s.steps.size());
                declare(k);
            }
            if (k == last) break;  // the end mark itself is not a step
            std::string text = UnitText(u, k);
            if (text.empty()) {
                error = FormatText("unit %u: 0x%04X is no code unit", k, unsigned{u});
                return false;
            }
            if (u == 0x0000 && (k % 2 == 0)) {
                error = FormatText("unit %u: pad unit before an odd unit", k);
                return false;
            }
            stepAt.emplace(k, s.steps.size());
            if (IsStepReference(u)) references.emplace_back(s.steps.size(), k + Distance(u));
            s.steps.push_back(std::move(text));
        }
        stepAt.emplace(last, s.steps.size());  // the step after the last lands on the end mark
        if (s.steps.size() > 64 || (!references.empty() && s.steps.size() > 63)) {
            error = FormatText("sentence at unit %u has more than 64 steps", start);
            return false;
        }
        for (auto [step, target] : references) {
            auto it = stepAt.find(target);
            if (it == stepAt.end()) {
                error = FormatText("unit %u: step reference into the middle of nowhere", s.start + 0u);
                return false;
            }
            std::string& text = s.steps[step];
            text = text.substr(0, text.rfind("STEP") + 4) + std::to_string(it->second);
        }
        out.push_back(std::move(s));
        start = last + 1;
    }
    for (unsigned b : blockStarts) {
        if (b == 0 || b > end) {
            error = FormatText("a CALL or JMP targets unit %u, outside the code", b);
            return false;
        }
    }
    return true;
}

}  // namespace zlt::inspect
