// The clip encoder: an audio file in, a Sonorium clip out. The audio is
// mixed down to one channel, resampled to a rate the linker accepts and
// quantised to 8 or 16 bits; the clip gets random key bytes.
#pragma once

#include <cstdint>
#include <optional>
#include <random>
#include <span>
#include <string>
#include <vector>

namespace zlt::snx {

// Clip rates are the sample rates the word table has a rate code for.
bool IsClipRate(std::uint64_t rate);
// The lowest clip rate at or above sourceRate; the highest for faster sources.
unsigned DefaultClipRate(unsigned sourceRate);
// The clip rates as a list for people: "8000, 11025, ... or 48000".
std::string ClipRatesText();

struct EncodeOptions {
    unsigned rate = 0;  // 0: DefaultClipRate of the source
    unsigned bits = 16;
    std::optional<std::uint64_t> seed;  // none: fresh random key bytes and dither
};

struct EncodedClip {
    std::vector<std::uint8_t> bytes;  // the whole clip file
    unsigned sourceRate = 0;
    unsigned sourceChannels = 0;
    unsigned rate = 0;
    unsigned bits = 0;
    std::size_t samples = 0;  // samples of audio, before the padding
    std::size_t clipped = 0;  // samples held at full scale
    bool dithered = false;
};

// The random source of one clip: key bytes, key indexes and dither.
using ClipRandom = std::mt19937_64;
ClipRandom MakeClipRandom(const std::optional<std::uint64_t>& seed);

// Quantises samples in [-1, 1] to 8 or 16 bits in the word image's sample
// conventions (unsigned bytes around 128; signed 16-bit), rounding to the
// nearest step, with triangular (TPDF) dither of one step either way when
// asked. Values past full scale are held there and counted.
class Quantizer {
public:
    Quantizer(unsigned bits, bool dither, ClipRandom& random) : bits_(bits), dither_(dither), random_(random) {}
    void Add(std::span<const float> samples);
    std::size_t size() const { return bits_ == 8 ? samples8_.size() : samples16_.size(); }
    std::size_t clipped() const { return clipped_; }
    // Pads with silence to a whole number of 16-byte units: the linker takes
    // a clip's data in such units and would drop a shorter tail.
    void PadToUnit();
    const std::vector<std::uint8_t>& samples8() const { return samples8_; }
    const std::vector<std::int16_t>& samples16() const { return samples16_; }

private:
    unsigned bits_;
    bool dither_;
    ClipRandom& random_;
    std::size_t clipped_ = 0;
    std::vector<std::uint8_t> samples8_;
    std::vector<std::int16_t> samples16_;
};

// Encodes the audio file at path. On failure returns nothing with the reason
// in error (without the path).
std::optional<EncodedClip> EncodeFile(const std::string& path, const EncodeOptions& options, std::string& error);

}  // namespace zlt::snx
