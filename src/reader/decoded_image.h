// An image read back: the container checked and every section decoded, by
// the same definitions that wrote it, into the values a project names. The
// inspector, the sentence player and the studio read images through it.
#pragma once

#include "base/image.h"
#include "platform/clock.h"
#include "word/word_table.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace zlt {

struct OptionValue {
    std::string section;
    std::string key;
    std::string value;  // as the project would write it
};

struct TriggerBinding {
    unsigned trigger = 0;
    std::string modes;           // the three mode letters, e.g. "LUN"
    std::uint16_t startUnit = 0; // the sentence's first code unit
    std::optional<std::uint32_t> clockWord;  // for a clock trigger
};

struct WordInfo : WordFormat {
    unsigned number = 0;
};

// The code of one sentence: the units from `start` to its end mark.
struct SentenceCode {
    std::uint16_t start = 0;
    std::uint16_t endMark = 0;
};

struct DecodedImage {
    ImageHeader header;                      // the section directory
    std::uint32_t pages = 0;                 // of the whole file, the header's included
    std::optional<unsigned> firmwareId;      // when the firmware is one the linker carries
    std::string triggerMode;                 // its trigger mode, or empty
    std::string modelId;
    LinkTime linkTime{};
    std::vector<OptionValue> options;        // every option, in the option stage's order
    std::vector<TriggerBinding> triggers;    // the bound triggers by number
    std::vector<WordInfo> words;             // the defined words by number
    std::vector<std::uint16_t> units;        // the whole sentence table, unit 0 included
    std::vector<SentenceCode> sentences;     // in unit order; every unit in them decodes
    std::vector<std::uint16_t> blockStarts;  // every unit a CALL or JMP goes to, ascending
    std::string readme;
};

// Checks and decodes a whole image file. On a fault returns nothing and
// describes the first fault in `error`.
std::optional<DecodedImage> ReadImage(std::span<const std::uint8_t> file, std::string& error);

// The word image pages of a used word of an image that ReadImage read from
// `file`; empty for an unused word.
std::span<const std::uint8_t> WordPagesOf(std::span<const std::uint8_t> file, const DecodedImage& image,
                                          const WordInfo& word);

// The samples a used word holds in the word image of `file`: unsigned bytes
// for 8-bit words, signed 16-bit little-endian pairs for 16-bit words.
std::vector<std::uint8_t> WordSamples(std::span<const std::uint8_t> file, const DecodedImage& image,
                                      const WordInfo& word);

}  // namespace zlt
