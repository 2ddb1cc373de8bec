// The word table: section ZLP.Word, word placing and section ZLT_WTAB.BIN.
//
// Word entry, two 32-bit words, written little-endian:
//   format: bits 0-23 StartPage (page in the word image), bits 24-31
//           FormatFlags (0x25 for 8-bit, 0x17 for 16-bit one-channel clips)
//   length: bits 0-23 LengthUnits (sample bytes / 16), bits 24-27 RateCode,
//           bit 31 Used (a sentence plays the word)
#pragma once

#include "base/bytes.h"
#include "base/context.h"
#include "word/clip.h"

#include <optional>
#include <string>

namespace zlt {

inline constexpr std::uint32_t kStartPageMask = 0x00FFFFFF;
inline constexpr std::uint32_t kFormatFlagsMask = 0xFF000000;
inline constexpr std::uint32_t kOneChannel = 0x04000000;
inline constexpr std::uint32_t kEightBit = 0x21000000;
inline constexpr std::uint32_t kSixteenBit = 0x13000000;
inline constexpr std::uint32_t kLengthUnitsMask = 0x00FFFFFF;
inline constexpr unsigned kRateCodeShift = 24;
inline constexpr std::uint32_t kRateCodeMask = 0x0F000000;
inline constexpr std::uint32_t kUnusedLengthBits = 0x70000000;  // always 0
inline constexpr std::uint32_t kUsedBit = 0x80000000;

// LengthUnits counts the clip's data in units of this many bytes; a shorter
// tail is not placed.
inline constexpr std::uint32_t kLengthUnitBytes = 16;

// Clip data must stay below 2^28 bytes to fit LengthUnits, and the word
// image below 2^23 pages so that its byte length fits the directory.
inline constexpr std::uint32_t kMaxClipBytes = (1u << 28) - 1;
inline constexpr std::uint32_t kWordImagePageLimit = 1u << 23;

// The sample rates a word may have, and their RateCode.
struct RateCode {
    std::uint32_t hz;
    std::uint32_t code;
};
inline constexpr RateCode kRateCodes[] = {
    {8000, 1}, {11025, 2}, {16000, 3}, {22050, 4}, {24000, 5},
    {32000, 6}, {40000, 7}, {44100, 8}, {48000, 9},
};

// The sample rate of a RateCode, or 0 for a code no rate has.
unsigned SampleRateOfCode(unsigned code);

// An entry in the section: its two words, little-endian.
inline constexpr std::size_t kWordEntryBytes = 8;
inline void PutWordEntry(std::uint8_t* p, const WordEntry& e) {
    PutU32(p, e.format);
    PutU32(p + 4, e.length);
}
inline WordEntry GetWordEntry(const std::uint8_t* p) { return WordEntry{GetU32(p), GetU32(p + 4)}; }

constexpr bool IsDefined(const WordEntry& e) { return e.length != 0; }
constexpr bool IsUsed(const WordEntry& e) { return (e.length & kUsedBit) != 0; }
// L: bytes of sample data that go into the word image.
constexpr std::uint32_t WordBytes(const WordEntry& e) { return (e.length & kLengthUnitsMask) * kLengthUnitBytes; }
// P: pages that the word takes in the word image.
constexpr std::uint32_t WordPages(const WordEntry& e) { return PagesFor(WordBytes(e)); }

// A word entry taken apart, as readers of an image see it.
struct WordFormat {
    unsigned bits = 0;             // 8 or 16
    unsigned sampleRate = 0;       // Hz
    std::uint32_t byteLength = 0;  // L
    std::uint32_t pages = 0;       // P
    std::uint32_t startPage = 0;   // in the word image; 0 unless used
    bool used = false;
};

// The format of a defined entry; nothing for one that no clip gives (format
// flags or rate code of no clip, unused bits set) or an undefined one.
std::optional<WordFormat> DecodeWordEntry(const WordEntry& e);

// The project key of word n: "W0012" for word 12.
std::string WordKey(unsigned n);

// Where the clip path of word key stands in the project.
TextSpan WordValueSpan(const LinkContext& ctx, const std::string& key);

// The first word-table field that a clip cannot fill.
enum class WordFault { kNone, kChannels, kBitsPerChannel, kSampleRate, kDataLength };

// The entry that a checked clip header gives (Used and StartPage clear),
// or the first fault.
WordFault EntryOf(const ClipFormat& clip, WordEntry& entry);
// The clip fault that reports a word fault.
ClipFault ClipFaultOf(WordFault fault);

// What a check puts in the entry of a word whose clip it refused: defined,
// with no samples.
inline constexpr WordEntry kStandInWord{kOneChannel | kEightBit, 1u << kRateCodeShift};

// Marks word n used for a sentence; false when word n is not defined.
bool UseWord(LinkContext& ctx, unsigned n);

bool ParseWordTable(LinkContext& ctx);
bool PlaceWords(LinkContext& ctx);
bool WriteWordTableSection(LinkContext& ctx, DirSlot& slot);

}  // namespace zlt
