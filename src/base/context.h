// The state of one link: paths, the project reader, the image being written
// and every table the stages fill. There is one LinkContext per process; the
// pipeline clears it at the start of every link.
#pragma once

#include "base/diagnostic.h"
#include "base/image.h"
#include "platform/clock.h"
#include "project/ini_file.h"

#include <array>
#include <bitset>
#include <cstdint>
#include <memory>
#include <string>

namespace zlt {

inline constexpr unsigned kEntryCount = 8192;        // words, sentences, triggers
inline constexpr unsigned kSentenceUnits = 32768;
inline constexpr std::size_t kMaxPathLength = 255;

// One word table entry: two 32-bit words (layout in word/word_table.h).
struct WordEntry {
    std::uint32_t format = 0;  // StartPage, FormatFlags
    std::uint32_t length = 0;  // LengthUnits, RateCode, Used
};

struct LinkContext {
    std::string projectPath;
    std::string imagePath;
    std::unique_ptr<IniFile> reader;
    ImageFile image;
    ImageHeader header;
    std::uint32_t pageCounter = 0;

    std::array<std::uint8_t, kKeyTableBytes> keyTable{};
    std::array<std::uint16_t, kEntryCount> triggerTable{};
    std::array<std::uint16_t, kSentenceUnits> sentenceTable{};
    std::array<WordEntry, kEntryCount> wordTable{};
    std::array<std::uint16_t, kEntryCount> sentenceIndex{};

    std::uint32_t wordImagePages = 0;         // set by PlaceWords
    std::uint32_t wordImagePagesWritten = 0;  // by WriteWordImageSection, for progress
    LinkTime linkTime{};               // taken once, before the sections are written
    std::string modelName;             // set by WriteFirmwareSection
    std::string triggerModeName;       // set by WriteFirmwareSection

    // How faults are reported: printed in a link, collected in a check.
    Reporter report;
    // Check only: words whose clip ends before its sample data does.
    std::bitset<kEntryCount> clipDataShort;
    // Check only: sentences with a fault. What binds them is not reported as
    // well; those that could not be ended have no sentence index entry.
    std::bitset<kEntryCount> faultySentences;

    // Clears the working tables for a new link.
    void ClearTables();
};

}  // namespace zlt
