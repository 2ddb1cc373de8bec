// The sentence player's machine: runs the code of a read image from one
// unit, the way docs/step-language.md tells ("How the player runs a
// sentence"), and records every step it takes and every sound it plays.
// Sound is made from that record by render.h.
#pragma once

#include "player/civil_time.h"
#include "reader/decoded_image.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace zlt::player {

struct PlayOptions {
    CivilTime at;                // the clock when the sentence starts
    std::uint32_t inputs = 0;    // X[7..0] reads the low byte, X[31..24] the high one
    std::uint64_t seed = 0;      // the RANDOM port's sequence
    unsigned maxSteps = 100000;  // steps before a sentence that does not end is stopped
    unsigned maxSeconds = 600;   // of playback before it is stopped
    unsigned rate = 0;           // of the rendering; 0: the highest rate among the words played
};

// How a run ended. The first three are the ways a sentence ends by itself.
enum class Ending {
    kEndMark,         // the end mark, or ^EOP
    kReturn,          // ^RET outside any call
    kStepLimit,       // maxSteps steps taken
    kTimeLimit,       // maxSeconds played
    kStackOverflow,   // a 17th value on the value stack, or a 17th call
    kStackUnderflow,  // ^POP from an empty value stack
    kFault,           // a unit that no step makes, code left, a word without audio
};
bool EndsBySelf(Ending ending);

struct Change {
    std::string name;  // R0 to R7, C, Z
    unsigned value;
};

struct TraceEvent {
    enum class Kind {
        kStep,    // a step taken: text, changes
        kSerial,  // a byte sent by ^TXD: value
        kClock,   // a clock field written by ^IOW: text (the port), value, accepted
        kEnd,     // text: how the run ended
    };
    Kind kind = Kind::kStep;
    std::int64_t timeUs = 0;  // into the playback
    unsigned unit = 0;
    std::string text;
    std::vector<Change> changes;
    unsigned value = 0;
    bool accepted = true;
};

// A word or a pause, in the order played.
struct Sound {
    std::optional<unsigned> word;  // none for a pause
    std::int64_t lengthUs = 0;
};

struct RunResult {
    std::vector<TraceEvent> trace;
    std::vector<Sound> sounds;
    std::int64_t lengthUs = 0;
    Ending ending = Ending::kEndMark;
    std::string message;  // how it ended, as the end event says it
};

class Player {
public:
    // An image ready to play: its sentences listed for the step texts, the
    // option byte read. `file` and `image` must outlive the player.
    static std::optional<Player> Open(std::span<const std::uint8_t> file, const DecodedImage& image,
                                      std::string& error);

    // Runs the code from unit `start` (a sentence's first unit, or any).
    RunResult Execute(unsigned start, const PlayOptions& options) const;

    std::span<const std::uint8_t> file() const { return file_; }
    const DecodedImage& image() const { return *image_; }
    // The defined word n; nullptr when the image has none.
    const WordInfo* Word(unsigned n) const;

private:
    std::span<const std::uint8_t> file_;
    const DecodedImage* image_ = nullptr;
    std::vector<std::string> stepText_;  // by unit index
    std::uint8_t optionByte_ = 0;
};

}  // namespace zlt::player
