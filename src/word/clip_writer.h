// Writing Sonorium clips: a header with every field under the caller's
// control (bad headers included), and sample data encoded so that the
// linker's block transform turns it back into the samples. Also the way
// back from word image pages to samples.
//
// Samples as the word image holds them: 8-bit samples are unsigned bytes,
// a page is 512 of them in order; 16-bit samples are signed, a page holds
// the low bytes of 256 samples and then their high bytes, each sample with
// its sign bit flipped (offset binary).
#pragma once

#include "word/clip.h"

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace zlt {

struct ClipFields {
    std::array<std::uint8_t, 16> signature{'S', 'o', 'n', 'o', 'r', 'i', 'u', 'm',
                                           ' ', 'F', 'o', 'r', 'm', 'a', 't', '\0'};
    std::array<std::uint8_t, 4> formatTag{'S', 'N', 'X', '\0'};
    std::uint32_t version = kClipVersionLast;
    std::uint8_t keyIndexA = 0;
    std::uint8_t keyIndexB = 1;
    std::array<std::uint8_t, 62> keyArea{};
    std::uint16_t channels = 1;
    std::uint16_t bitsPerChannel = 16;
    std::uint32_t sampleRate = 16000;
    std::uint32_t dataOffset = kClipHeaderSize;
    std::uint32_t dataLength = 0;
};

ClipHeader BuildClipHeader(const ClipFields& fields);

// Clip data that the linker transforms into the given samples, with the key
// bytes of header. The data is as long as the samples: one byte per 8-bit
// sample, two per 16-bit sample.
std::vector<std::uint8_t> EncodeSamples8(const ClipHeader& header, std::span<const std::uint8_t> samples);
std::vector<std::uint8_t> EncodeSamples16(const ClipHeader& header, std::span<const std::int16_t> samples);

// The first `count` samples held by word image pages.
std::vector<std::uint8_t> DecodePages8(std::span<const std::uint8_t> pages, std::size_t count);
std::vector<std::int16_t> DecodePages16(std::span<const std::uint8_t> pages, std::size_t count);

// A clip file's bytes: the header at offset 0 and the data from the header's
// DataOffset on, with zero bytes between them. Where a DataOffset below 128
// makes them overlap, the header wins.
std::vector<std::uint8_t> ClipFileBytes(const ClipHeader& header, std::span<const std::uint8_t> data);

// A complete one-channel clip of the given samples: fields with
// BitsPerChannel and DataLength set to fit them.
std::vector<std::uint8_t> MakeClip8(ClipFields fields, std::span<const std::uint8_t> samples);
std::vector<std::uint8_t> MakeClip16(ClipFields fields, std::span<const std::int16_t> samples);

bool WriteClipFile(const std::string& path, std::span<const std::uint8_t> bytes);

}  // namespace zlt
