#include "player/machine.h"

#include "base/bytes.h"
#include "base/format.h"
#include "reader/sentence_listing.h"
#include "sentence/instructions.h"
#include "trigger/key_table.h"

#include <algorithm>
#include <array>
#include <string_view>
#include <utility>

namespace zlt::player {

namespace {

using enum UnitLayout;

constexpr std::size_t kStackDepth = 16;
constexpr std::int64_t kMicrosPerSecond = 1000000;

// What each instruction does, by its mnemonic.
enum class Op {
    kMov, kAdd, kSub, kCmp, kAnd, kOrl, kXor, kXch, kBits, kShl, kShr, kSwap, kTxd, kBcd2Bin, kBin2Bcd,
    kPush, kPop, kIor, kIow, kDjnz, kJz, kJnz, kJc, kJnc, kJg, kJge, kJl, kJle, kCall, kJmp, kRet, kSetc,
    kClrc, kOther,
};
constexpr std::pair<std::string_view, Op> kOps[] = {
    {"^MOV_", Op::kMov},   {"^ADD_", Op::kAdd},   {"^SUB_", Op::kSub},         {"^CMP_", Op::kCmp},
    {"^AND_", Op::kAnd},   {"^ORL_", Op::kOrl},   {"^XOR_", Op::kXor},         {"^XCH_", Op::kXch},
    {"^BITS_", Op::kBits}, {"^SHL_", Op::kShl},   {"^SHR_", Op::kShr},         {"^SWAP_", Op::kSwap},
    {"^TXD_", Op::kTxd},   {"^BCD2BIN_", Op::kBcd2Bin}, {"^BIN2BCD_", Op::kBin2Bcd}, {"^PUSH_", Op::kPush},
    {"^POP_", Op::kPop},   {"^IOR_", Op::kIor},   {"^IOW_", Op::kIow},         {"^DJNZ_", Op::kDjnz},
    {"^JZ_", Op::kJz},     {"^JNZ_", Op::kJnz},   {"^JC_", Op::kJc},           {"^JNC_", Op::kJnc},
    {"^JG_", Op::kJg},     {"^JGE_", Op::kJge},   {"^JL_", Op::kJl},           {"^JLE_", Op::kJle},
    {"^CALL_", Op::kCall}, {"^JMP_", Op::kJmp},   {"^RET", Op::kRet},          {"^SETC", Op::kSetc},
    {"^CLRC", Op::kClrc},
};

Op OpOf(const Mnemonic& m) {
    for (const auto& [prefix, op] : kOps)
        if (prefix == m.prefix) return op;
    return Op::kOther;
}

// The module's clock: a calendar date and time, and a day of the week of its
// own that IOW may set and that moves on at midnight.
class Clock {
public:
    explicit Clock(const CivilTime& at) : t_(at), weekday_(Weekday(at)) {}

    void Advance(std::int64_t us) {
        micros_ += us;
        const CivilTime next = FromSeconds(ToSeconds(t_) + micros_ / kMicrosPerSecond);
        micros_ %= kMicrosPerSecond;
        const long long midnights = (ToSeconds(Midnight(next)) - ToSeconds(Midnight(t_))) / 86400;
        weekday_ = static_cast<int>((weekday_ + midnights) % 7);
        t_ = next;
    }

    unsigned Read(std::string_view port) const {
        if (port == "YEAR") return static_cast<unsigned>(t_.year % 100);
        if (port == "MONTH") return static_cast<unsigned>(t_.month);
        if (port == "DAY") return static_cast<unsigned>(t_.day);
        if (port == "DAYOFWEEK") return static_cast<unsigned>(weekday_);
        if (port == "HOUR") return static_cast<unsigned>(t_.hour);
        if (port == "MINUTE") return static_cast<unsigned>(t_.minute);
        return static_cast<unsigned>(t_.second);
    }

    // False, changing nothing, for a value outside the field's range.
    bool Write(std::string_view port, unsigned value) {
        const int v = static_cast<int>(value);
        if (port == "YEAR" && v <= 99) t_.year = t_.year - t_.year % 100 + v;
        else if (port == "MONTH" && v >= 1 && v <= 12) t_.month = v;
        else if (port == "DAY" && v >= 1 && v <= DaysInMonth(t_.year, t_.month)) t_.day = v;
        else if (port == "DAYOFWEEK" && v <= 6) weekday_ = v;
        else if (port == "HOUR" && v <= 23) t_.hour = v;
        else if (port == "MINUTE" && v <= 59) t_.minute = v;
        else if (port == "SECOND" && v <= 59) t_.second = v;
        else return false;
        t_.day = std::min(t_.day, DaysInMonth(t_.year, t_.month));  // 31 March to February: its last day
        return true;
    }

private:
    static CivilTime Midnight(const CivilTime& t) { return {t.year, t.month, t.day}; }

    CivilTime t_;
    int weekday_;
    std::int64_t micros_ = 0;  // into the current second
};

// The RANDOM port: SplitMix64 from the seed, the high byte of each value.
class Random {
public:
    explicit Random(std::uint64_t seed) : state_(seed) {}
    unsigned Next() {
        std::uint64_t z = state_ += 0x9E3779B97F4A7C15;
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EB;
        return static_cast<unsigned>((z ^ (z >> 31)) >> 56);
    }

private:
    std::uint64_t state_;
};

struct Registers {
    std::array<std::uint8_t, 8> r{};
    bool carry = false;
    bool zero = false;
};

std::vector<Change> ChangesOf(const Registers& before, const Registers& after) {
    std::vector<Change> changes;
    for (unsigned i = 0; i < after.r.size(); ++i)
        if (before.r[i] != after.r[i]) changes.push_back({FormatText("R%u", i), after.r[i]});
    if (before.carry != after.carry) changes.push_back({"C", after.carry});
    if (before.zero != after.zero) changes.push_back({"Z", after.zero});
    return changes;
}

class Machine {
public:
    Machine(const Player& player, const std::vector<std::string>& stepText, std::uint8_t optionByte,
            const PlayOptions& options)
        : player_(player), units_(player.image().units), stepText_(stepText), optionByte_(optionByte),
          options_(options), clock_(options.at), random_(options.seed) {}

    RunResult Go(unsigned start) {
        pc_ = start;
        while (Step()) {
        }
        return std::move(run_);
    }

private:
    bool End(Ending ending, std::string message) {
        run_.ending = ending;
        run_.message = message;
        run_.trace.push_back({TraceEvent::Kind::kEnd, run_.lengthUs, pc_, std::move(message), {}, 0, true});
        return false;
    }

    bool Play(std::optional<unsigned> word, std::int64_t us) {
        run_.sounds.push_back({word, us});
        run_.lengthUs += us;
        clock_.Advance(us);
        if (run_.lengthUs <= std::int64_t{options_.maxSeconds} * kMicrosPerSecond) return true;
        return End(Ending::kTimeLimit, FormatText("stopped after %u seconds of playback", options_.maxSeconds));
    }

    bool PlayWord(unsigned n) {
        const WordInfo* w = player_.Word(n);
        if (w == nullptr || !w->used) return End(Ending::kFault, FormatText("W%0.4u has no audio in the image", n));
        const std::int64_t samples = w->byteLength / (w->bits / 8);
        return Play(n, (samples * kMicrosPerSecond + w->sampleRate / 2) / w->sampleRate);
    }

    unsigned ReadPort(unsigned port) {
        const std::string_view name = kPorts[port].name;
        if (name.starts_with("X[")) {  // "X[15..8]": eight inputs from bit 8 on
            unsigned lowBit = 0;
            for (std::size_t i = name.find("..") + 2; name[i] != ']'; ++i) lowBit = 10 * lowBit + (name[i] - '0');
            return (options_.inputs >> lowBit) & 0xFF;
        }
        if (name == "OPTION") return optionByte_;
        if (name == "RANDOM") return random_.Next();
        return clock_.Read(name);
    }

    // Runs the unit at pc_; false once the run has ended.
    bool Step() {
        if (pc_ == 0 || pc_ >= units_.size())
            return End(Ending::kFault, FormatText("the code runs out of the sentence table at unit %u", pc_));
        if (units_[pc_] == kEndMark) return End(Ending::kEndMark, "end mark");
        if (steps_ == options_.maxSteps)
            return End(Ending::kStepLimit,
                       FormatText("stopped after %u steps without reaching its end", options_.maxSteps));
        ++steps_;
        const std::optional<DecodedUnit> d = DecodeUnit(units_[pc_]);
        if (!d) return End(Ending::kFault, FormatText("unit %u: 0x%04X is no code unit", pc_, unsigned{units_[pc_]}));
        const std::size_t event = run_.trace.size();
        run_.trace.push_back({TraceEvent::Kind::kStep, run_.lengthUs, pc_, stepText_[pc_], {}, 0, true});
        const Registers before = regs_;
        next_ = pc_ + 1;
        const bool going = Execute(*d);
        run_.trace[event].changes = ChangesOf(before, regs_);
        pc_ = next_;
        return going;
    }

    bool Execute(const DecodedUnit& d) {
        switch (d.layout) {
        case kPad: return true;
        case kWord: return PlayWord(d.value);
        case kMute: return Play(std::nullopt, std::int64_t{d.value} * 1000);
        default: break;
        }
        auto& r = regs_.r;
        bool& carry = regs_.carry;
        bool& zero = regs_.zero;
        std::uint8_t& a = r[d.reg];
        const unsigned b = d.layout == kRegisterForm ? r[d.reg2] : d.value;
        auto set = [&](unsigned value) {
            a = static_cast<std::uint8_t>(value);
            zero = a == 0;
        };
        auto jump = [&](bool taken) {
            if (taken) next_ = static_cast<unsigned>(static_cast<int>(pc_) + StepDistance(d));
        };
        switch (OpOf(*d.mnemonic)) {
        case Op::kMov: a = static_cast<std::uint8_t>(b); break;
        case Op::kAdd: carry = a + b > 0xFF; set(a + b); break;
        case Op::kSub: carry = a < b; set(a - b); break;
        case Op::kCmp: carry = a < b; zero = a == b; break;
        case Op::kAnd: set(a & b); break;
        case Op::kOrl: set(a | b); break;
        case Op::kXor: set(a ^ b); break;
        case Op::kXch: std::swap(a, r[d.reg2]); break;
        case Op::kBits: zero = (a & b) == 0; break;
        case Op::kShl: { const bool out = a & 0x80; set(a << 1 | carry); carry = out; break; }
        case Op::kShr: { const bool out = a & 1; set(a >> 1 | carry << 7); carry = out; break; }
        case Op::kSwap: set((a << 4 | a >> 4) & 0xFF); break;
        case Op::kBcd2Bin: carry = (a >> 4) > 9 || (a & 0xF) > 9; set((a >> 4) * 10 + (a & 0xF)); break;
        case Op::kBin2Bcd: carry = a > 99; set((a % 100 / 10) << 4 | a % 10); break;
        case Op::kTxd:
            run_.trace.push_back({TraceEvent::Kind::kSerial, run_.lengthUs, pc_, "TXD", {},
                                  d.layout == kOneRegister ? a : d.value, true});
            break;
        case Op::kIor: a = static_cast<std::uint8_t>(ReadPort(d.value)); break;
        case Op::kIow: {
            const std::string_view port = kPorts[d.value].name;
            const bool accepted = clock_.Write(port, a);
            run_.trace.push_back({TraceEvent::Kind::kClock, run_.lengthUs, pc_, std::string(port), {}, a, accepted});
            break;
        }
        case Op::kPush:
            if (values_.size() == kStackDepth) return End(Ending::kStackOverflow, "value stack overflow: a 17th ^PUSH");
            values_.push_back(a);
            break;
        case Op::kPop:
            if (values_.empty()) return End(Ending::kStackUnderflow, "^POP from an empty value stack");
            a = values_.back();
            values_.pop_back();
            break;
        case Op::kDjnz: --a; jump(a != 0); break;
        case Op::kJz: jump(zero); break;
        case Op::kJnz: jump(!zero); break;
        case Op::kJc: jump(carry); break;
        case Op::kJnc: jump(!carry); break;
        case Op::kJg: jump(!carry && !zero); break;
        case Op::kJge: jump(!carry); break;
        case Op::kJl: jump(carry); break;
        case Op::kJle: jump(carry || zero); break;
        case Op::kCall:
            if (returns_.size() == kStackDepth)
                return End(Ending::kStackOverflow, "return stack overflow: a 17th nested ^CALL");
            returns_.push_back(next_);
            next_ = BlockStart(d);
            break;
        case Op::kJmp: next_ = BlockStart(d); break;
        case Op::kRet:
            if (returns_.empty()) return End(Ending::kReturn, "^RET outside any call");
            next_ = returns_.back();
            returns_.pop_back();
            break;
        case Op::kSetc: carry = true; break;
        case Op::kClrc: carry = false; break;
        case Op::kOther: return End(Ending::kFault, FormatText("unit %u: no step to run", pc_));
        }
        return true;
    }

    const Player& player_;
    const std::vector<std::uint16_t>& units_;
    const std::vector<std::string>& stepText_;
    const std::uint8_t optionByte_;
    const PlayOptions& options_;
    Clock clock_;
    Random random_;
    Registers regs_;
    std::vector<std::uint8_t> values_;
    std::vector<unsigned> returns_;
    unsigned pc_ = 0;    // the unit being run
    unsigned next_ = 0;  // the unit to run after it
    unsigned steps_ = 0;
    RunResult run_;
};

}  // namespace

bool EndsBySelf(Ending ending) { return ending == Ending::kEndMark || ending == Ending::kReturn; }

std::optional<Player> Player::Open(std::span<const std::uint8_t> file, const DecodedImage& image,
                                   std::string& error) {
    std::vector<SentenceListing> sentences;
    if (!ListSentences(image, sentences, error)) return std::nullopt;
    Player p;
    p.file_ = file;
    p.image_ = &image;
    // Each unit's step as the sentence listing writes it.
    p.stepText_.resize(image.units.size());
    for (const SentenceListing& s : sentences)
        for (std::size_t i = 0; i < s.steps.size(); ++i)
            if (s.stepUnits[i] != 0) p.stepText_[s.stepUnits[i]] = s.steps[i];
    // OPTION reads the high byte of the first option flags word.
    const std::span<const std::uint8_t> keyTable = SectionBytes(file, image.header.Slot(kSectionKeyTable));
    p.optionByte_ = static_cast<std::uint8_t>(GetU16(&keyTable[key_table::kOptionFlags1]) >> 8);
    return p;
}

RunResult Player::Execute(unsigned start, const PlayOptions& options) const {
    return Machine(*this, stepText_, optionByte_, options).Go(start);
}

const WordInfo* Player::Word(unsigned n) const {
    const auto it = std::lower_bound(image_->words.begin(), image_->words.end(), n,
                                     [](const WordInfo& w, unsigned number) { return w.number < number; });
    return it != image_->words.end() && it->number == n ? &*it : nullptr;
}

}  // namespace zlt::player
