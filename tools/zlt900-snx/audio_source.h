// An audio file read through libsndfile, one channel at a time: every frame
// is mixed down to the mean of its channels, as floats in [-1, 1].
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace zlt::snx {

class AudioSource {
public:
    AudioSource() = default;
    AudioSource(const AudioSource&) = delete;
    AudioSource& operator=(const AudioSource&) = delete;
    ~AudioSource();

    // Opens path. On failure returns false with a description in error.
    bool Open(const std::string& path, std::string& error);

    unsigned rate() const { return rate_; }
    unsigned channels() const { return channels_; }
    // The frame count the file declares; may be short of or past what
    // ReadMono delivers for damaged or streamed files.
    std::uint64_t frames() const { return frames_; }
    // Bits of precision of the stored samples: 8 or 16 for integer formats
    // no wider than that, 32 for wider, floating-point and compressed ones.
    unsigned sourceBits() const { return sourceBits_; }

    // Reads up to out.size() frames mixed down to one channel; returns the
    // count read, 0 at the end. A read error shows in error and ends reading.
    std::size_t ReadMono(std::span<float> out, std::string& error);

private:
    void* file_ = nullptr;  // SNDFILE*
    unsigned rate_ = 0;
    unsigned channels_ = 0;
    std::uint64_t frames_ = 0;
    unsigned sourceBits_ = 0;
    std::vector<float> interleaved_;
};

}  // namespace zlt::snx
