// A word's clip as the studio shows it: the format the word table takes from
// it, and its samples, decoded the way the linker transforms them into the
// word image.
#pragma once

#include "word/word_table.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace zlt::studio {

struct ClipWord {
    WordFormat format;                  // as the word table takes it (not used, no start page)
    std::vector<std::int16_t> samples;  // when asked for: 16-bit, one channel
};

// Reads the clip at path (a path that names it here). On a fault of the clip
// or one that makes it no word, returns nothing with the checker's message
// for it in error.
std::optional<ClipWord> ReadClipWord(const std::string& path, bool withSamples, std::string& error);

}  // namespace zlt::studio
