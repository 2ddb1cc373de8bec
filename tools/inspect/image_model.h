// A CFO image read back: the container checked against its layout, and every
// table decoded into the values a project would have named.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zlt::inspect {

struct SectionView {
    unsigned type = 0;
    std::uint32_t firstPage = 0;
    std::uint32_t pageCount = 0;
    std::uint32_t byteLength = 0;
    std::string_view bytes;  // byteLength bytes from the first page
};

struct LinkStamp {
    unsigned year, month, dayOfWeek, day, hour, minute, second, millisecond;
};

struct OptionValue {
    std::string section;
    std::string key;
    std::string value;  // as the project would write it
};

struct TriggerBinding {
    unsigned trigger;
    std::string modes;       // three letters, e.g. "LUN"
    std::uint16_t startUnit; // the sentence's first code unit
    std::optional<std::uint32_t> clockWord;
};

struct WordInfo {
    unsigned number;
    unsigned bits;        // 8 or 16
    unsigned sampleRate;  // Hz
    std::uint32_t byteLength;  // LengthUnits x 16
    std::uint32_t pages;
    std::uint32_t startPage;
    bool used;
};

struct Image {
    std::string data;                      // the whole file
    std::array<SectionView, 9> sections{}; // index = section type, 2..8
    std::optional<unsigned> firmwareId;    // 4097..4111 when the firmware is one we carry
    std::string triggerMode;               // its mode name, or empty
    std::string modelId;
    LinkStamp stamp{};
    std::vector<OptionValue> options;
    std::vector<TriggerBinding> triggers;
    std::array<std::uint16_t, 32768> units{};
    std::vector<WordInfo> words;
    std::string readme;

    std::string_view WordImage() const { return sections[7].bytes; }
};

// Checks the container and decodes it. On failure returns nothing and puts a
// description of the first fault into `error`.
std::optional<Image> ParseImage(std::string data, std::string& error);



}  // namespace zlt::inspect
