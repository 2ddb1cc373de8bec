// Words read back out of an image: as WAV files to listen to, and as clip
// files that link back to the same word table entries and pages.
#pragma once

#include "reader/decoded_image.h"

#include <cstdint>
#include <span>
#include <vector>

namespace zlt::inspect {

// A RIFF WAVE file of one channel of PCM samples as WordSamples (reader)
// gives them.
std::vector<std::uint8_t> WavFile(const WordInfo& word, const std::vector<std::uint8_t>& samples);

// A clip that the linker reads into the same word table entry and, for a
// used word, transforms into the same pages.
std::vector<std::uint8_t> RecoveredClip(std::span<const std::uint8_t> file, const DecodedImage& image,
                                        const WordInfo& word);

}  // namespace zlt::inspect
