// A sentence made audible: the run of the machine, rendered as samples, and
// a WAV file of them.
#pragma once

#include "player/machine.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace zlt::player {

struct Rendering : RunResult {
    unsigned rate = 0;                  // Hz
    std::vector<std::int16_t> samples;  // one channel
};

// The highest sample rate among the words a run plays; 8000 when it plays none.
unsigned DefaultRate(const Player& player, const RunResult& run);

// Runs the code from unit `start` and renders all it played, whether it
// ended by itself or was stopped: at options.rate, or DefaultRate when that
// is 0. Every word is decoded from the word image and resampled with soxr
// where its rate differs (when the rates are equal its samples are copied:
// an 8-bit sample s becomes (s - 128) * 256); every pause is silence.
// Returns false with the reason in error when the resampler fails.
bool Render(const Player& player, unsigned start, const PlayOptions& options, Rendering& out, std::string& error);

// A WAV file of the samples, mono 16-bit PCM, as libsndfile writes it.
std::optional<std::vector<std::uint8_t>> WavFileBytes(std::span<const std::int16_t> samples, unsigned rate,
                                                      std::string& error);

}  // namespace zlt::player
