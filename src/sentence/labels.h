// Code blocks and jumps: the label table, block declarations, the
// resolution of step references within a sentence and of CALL and JMP
// targets across sentences.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace zlt {

struct LinkContext;
struct SentenceSite;

// Block labels, numbered from 1 in the order their names are first met (by
// a block declaration, a CALL or a JMP). Names compare byte for byte,
// case-sensitively, and are found through a hash index.
class LabelTable {
public:
    // Names held at most. Label numbers go into 14 bits of a CALL or JMP
    // unit, so every number up to this capacity fits.
    static constexpr unsigned kCapacity = 8190;

    // The number of the label called `name`, adding it when it is new;
    // 0 when the table is full.
    std::uint16_t FindOrAdd(std::string_view name);

    // Accessors by label number; a number of 0 or above Count() has no
    // entry: Name() gives nullptr, the getters 0, the setters false.
    const char* Name(std::uint16_t number) const;
    // The sentence that declared the block.
    std::uint16_t Sentence(std::uint16_t number) const { return Get(number, &Entry::sentence); }
    bool SetSentence(std::uint16_t number, std::uint16_t sentence) {
        return Set(number, &Entry::sentence, sentence);
    }
    // Unit index of the block's first code unit; 0 while undeclared.
    std::uint16_t BlockStart(std::uint16_t number) const { return Get(number, &Entry::blockStart); }
    bool SetBlockStart(std::uint16_t number, std::uint16_t start) {
        return Set(number, &Entry::blockStart, start);
    }

    std::uint16_t Count() const { return static_cast<std::uint16_t>(entries_.size()); }

    // Releases every name; the next label added is number 1 again.
    void Clear();

private:
    struct Hash {
        using is_transparent = void;
        std::size_t operator()(std::string_view s) const {
            return std::hash<std::string_view>{}(s);
        }
    };
    struct Entry {
        const std::string* name;  // key of its node in index_, which never moves
        std::uint16_t sentence = 0;
        std::uint16_t blockStart = 0;
    };

    Entry* At(std::uint16_t number);
    const Entry* At(std::uint16_t number) const;
    std::uint16_t Get(std::uint16_t number, std::uint16_t Entry::*field) const;
    bool Set(std::uint16_t number, std::uint16_t Entry::*field, std::uint16_t value);

    std::unordered_map<std::string, std::uint16_t, Hash, std::equal_to<>> index_;
    std::vector<Entry> entries_;  // entries_[number - 1]
};

// Steps a sentence holds at most.
inline constexpr unsigned kMaxSteps = 64;

// Per step number of one sentence: the unit index where the step began and
// whether its unit carries a step number still to be turned into a distance.
struct StepSlot {
    bool needsFix = false;
    std::uint16_t unit = 0;
};
using StepMap = std::array<StepSlot, kMaxSteps>;

// Declares the block named by ^BLK_ step number `step` of a sentence: it
// starts at the next free unit, made even first by a pad unit 0x0000.
// Reports a full table or a second declaration of the same label.
bool DeclareBlock(LinkContext& ctx, LabelTable& labels, const SentenceSite& sentence, std::string_view stepText,
                  unsigned step, unsigned& nextUnit);

// Replaces the step number in the low byte of every unit marked in `steps`
// by the signed 8-bit distance from that unit to the target step's first
// unit. Reports a target the sentence does not reach (in a check, every one).
bool ResolveStepReferences(LinkContext& ctx, const StepMap& steps, const SentenceSite& sentence);

// The block resolution pass, after every sentence is compiled: replaces the
// label numbers of CALL and JMP units by their block starts halved. Reports a
// label that no step declares (in a check, each label once per sentence);
// empties the label table whatever the outcome.
bool ResolveBlocks(LinkContext& ctx, LabelTable& labels);

}  // namespace zlt
